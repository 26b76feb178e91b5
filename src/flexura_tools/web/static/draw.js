// Drawing: the sketch of the beam and the diagrams, as SVG built element by element
// (no markup from text, so nothing a model holds can become markup).

const SVG = "http://www.w3.org/2000/svg";

// A value as Python's "%.6g" writes it (the command's tables), with rounding noise
// below 1e-9 of the column's scale shown as 0.
export function g6(value, scale = 0) {
  if (typeof value !== "number") return value == null ? "" : String(value);
  if (!Number.isFinite(value)) return value > 0 ? "inf" : value < 0 ? "-inf" : "nan";
  if (Math.abs(value) <= 1e-9 * scale || value === 0) return "0";
  const [mantissa, exponentText] = value.toExponential(5).split("e");
  const exponent = Number(exponentText);
  const trim = (s) => (s.includes(".") ? s.replace(/0+$/, "").replace(/\.$/, "") : s);
  if (exponent < -4 || exponent >= 6) {
    const sign = exponent < 0 ? "-" : "+";
    return `${trim(mantissa)}e${sign}${String(Math.abs(exponent)).padStart(2, "0")}`;
  }
  return trim(value.toFixed(5 - exponent));
}

export function el(name, attributes = {}, parent = null, text = null) {
  const node = document.createElementNS(SVG, name);
  for (const [key, value] of Object.entries(attributes)) node.setAttribute(key, value);
  if (text !== null) node.textContent = text;
  if (parent) parent.appendChild(node);
  return node;
}

function clear(svg, width, height) {
  svg.replaceChildren();
  svg.setAttribute("viewBox", `0 0 ${width} ${height}`);
  svg.setAttribute("width", width);
  svg.setAttribute("height", height);
}

// Horizontal scale of positions along the beam: the same for the sketch and every
// diagram, so that one x lines up across all of them.
export function scaleX(span, width) {
  const left = 56, right = 24;
  const k = (width - left - right) / span;
  return { at: (x) => left + x * k, x: (px) => (px - left) / k, left, right, width };
}

function polyline(points) {
  return points.map(([x, y]) => `${x.toFixed(2)},${y.toFixed(2)}`).join(" ");
}

function arrow(g, x0, y0, x1, y1, cls) {
  el("line", { x1: x0, y1: y0, x2: x1, y2: y1, class: cls }, g);
  const angle = Math.atan2(y1 - y0, x1 - x0), size = 7;
  const a = angle + Math.PI - 0.4, b = angle + Math.PI + 0.4;
  el("polygon", { points: polyline([[x1, y1], [x1 + size * Math.cos(a), y1 + size * Math.sin(a)],
    [x1 + size * Math.cos(b), y1 + size * Math.sin(b)]]), class: cls + " head" }, g);
}

const INF = "inf";
const isRigid = (k) => k === INF || k === Infinity;
const restraints = (s) => s.type === "pin" ? [INF, INF, 0] : s.type === "roller" ? [0, INF, 0]
  : s.type === "fixed" ? [INF, INF, INF] : [s.kx ?? 0, s.ky ?? 0, s.km ?? 0];
const num = (v) => (typeof v === "number" ? v : Number.NaN);

function drawSupport(g, support, sx, beamY, span) {
  const x = num(support.x);
  if (!Number.isFinite(x)) return;
  const px = sx.at(x);
  const [kx, ky, km] = restraints(support);
  if (km !== 0 && km !== "0") {
    const side = x <= span / 2 ? -1 : 1;
    el("line", { x1: px, y1: beamY - 22, x2: px, y2: beamY + 22, class: "support" }, g);
    for (let y = beamY - 20; y <= beamY + 20; y += 8) {
      el("line", { x1: px, y1: y, x2: px + side * 8, y2: y + 8, class: "hatch" }, g);
    }
  } else if (ky !== 0 && !isRigid(ky)) {
    const zig = [[px, beamY]];
    for (let k = 1; k <= 6; k++) zig.push([px + (k % 2 ? -6 : 6), beamY + 4 + k * 4]);
    zig.push([px, beamY + 32]);
    el("polyline", { points: polyline(zig), class: "support spring" }, g);
    el("line", { x1: px - 12, y1: beamY + 32, x2: px + 12, y2: beamY + 32, class: "support" }, g);
  } else {
    el("polygon", { points: polyline([[px, beamY], [px - 11, beamY + 18], [px + 11, beamY + 18]]),
      class: "support" }, g);
    const ground = isRigid(kx) ? beamY + 18 : beamY + 26;
    if (!isRigid(kx) || kx === 0) {
      el("circle", { cx: px - 6, cy: beamY + 22, r: 3.5, class: "support" }, g);
      el("circle", { cx: px + 6, cy: beamY + 22, r: 3.5, class: "support" }, g);
    }
    el("line", { x1: px - 15, y1: ground, x2: px + 15, y2: ground, class: "support" }, g);
  }
  const label = support.label ? `${support.label}  ` : "";
  el("text", { x: px, y: beamY + 48, class: "label", "text-anchor": "middle" }, g, `${label}${g6(x)}`);
}

function direction(load) {
  const angle = (num(load.angle ?? 90) * Math.PI) / 180;
  return [Math.cos(angle), -Math.sin(angle)];  // screen y grows downwards
}

function drawDistributed(g, load, sx, beamY, span, scale, units) {
  const x1 = num(load.x1 ?? 0), x2 = load.x2 == null ? span : num(load.x2);
  if (!(x1 < x2)) return;
  let intensity;
  if (load.type === "uniform") intensity = () => num(load.w);
  else if (load.type === "trapezoidal") intensity = (x) => num(load.w1) + (num(load.w2) - num(load.w1)) * (x - x1) / (x2 - x1);
  else intensity = (x) => (load.coefficients || []).reduce((sum, c, k) => sum + num(c) * x ** k, 0);
  const [dx, dy] = direction(load);
  const top = [];
  const steps = load.type === "polynomial" ? 24 : 1;
  for (let k = 0; k <= steps; k++) {
    const x = x1 + (x2 - x1) * k / steps;
    const h = (intensity(x) / scale) * 26;
    top.push([sx.at(x) - dx * h, beamY - 3 - dy * h]);
  }
  const base = [[sx.at(x2), beamY - 3], [sx.at(x1), beamY - 3]];
  el("polygon", { points: polyline([...top, ...base]), class: "distributed" }, g);
  const arrows = Math.max(2, Math.round((sx.at(x2) - sx.at(x1)) / 22));
  for (let k = 0; k <= arrows; k++) {
    const x = x1 + (x2 - x1) * k / arrows;
    const h = (intensity(x) / scale) * 26;
    if (Math.abs(h) > 3) arrow(g, sx.at(x) - dx * h, beamY - 3 - dy * h, sx.at(x), beamY - 3, "load thin");
  }
  const values = load.type === "uniform" ? g6(num(load.w)) : load.type === "trapezoidal"
    ? `${g6(num(load.w1))} … ${g6(num(load.w2))}` : "polynomial";
  el("text", { x: sx.at(x1) + 4, y: beamY - 34, class: "label" }, g,
    `${values}${units.distributed ? " " + units.distributed : ""}`);
}

// The sketch: beam, supports with labels and positions, loads to scale within
// their kind; point loads, moments and supports carry data-drag for moving them.
export function drawSketch(svg, model, width, units) {
  const height = 190, beamY = 104;
  clear(svg, width, height);
  const span = num(model.span);
  if (!(span > 0) || !Number.isFinite(span)) return null;
  const sx = scaleX(span, width);
  el("line", { x1: sx.at(0), y1: beamY, x2: sx.at(span), y2: beamY, class: "beam" }, svg);
  const distributed = (model.loads || []).filter((l) => ["uniform", "trapezoidal", "polynomial"].includes(l.type));
  let scale = 0;
  for (const load of distributed) {
    for (const v of [load.w, load.w1, load.w2]) if (typeof v === "number") scale = Math.max(scale, Math.abs(v));
    if (load.type === "polynomial") {
      const x1 = num(load.x1), x2 = num(load.x2);
      for (let k = 0; k <= 24; k++) {
        const x = x1 + (x2 - x1) * k / 24;
        scale = Math.max(scale, Math.abs((load.coefficients || []).reduce((s, c, j) => s + num(c) * x ** j, 0)));
      }
    }
  }
  (model.loads || []).forEach((load, k) => {
    const g = el("g", { "data-path": `loads[${k}]` }, svg);
    if (distributed.includes(load)) {
      if (scale > 0 && Number.isFinite(scale)) drawDistributed(g, load, sx, beamY, span, scale, units);
      return;
    }
    const x = num(load.x);
    if (!Number.isFinite(x)) return;
    const px = sx.at(x);
    g.setAttribute("data-drag", `loads[${k}].x`);
    g.classList.add("draggable");
    if (load.type === "moment") {
      const ccw = num(load.moment) >= 0, r = 16;
      el("path", { d: `M ${px + r} ${beamY} A ${r} ${r} 0 1 ${ccw ? 0 : 1} ${px - r} ${beamY}`, class: "load moment" }, g);
      const tipX = ccw ? px - r : px + r;
      arrow(g, tipX, beamY - 4, tipX, beamY + 2, "load");
      el("text", { x: px, y: beamY - r - 8, class: "label", "text-anchor": "middle" }, g,
        `${g6(num(load.moment))}${units.moment ? " " + units.moment : ""}`);
      el("rect", { x: px - r - 4, y: beamY - r - 4, width: 2 * r + 8, height: 2 * r + 8, class: "grip" }, g);
    } else {
      const sign = num(load.force) >= 0 ? 1 : -1;
      const [dx, dy] = direction(load);
      const length = 62;
      arrow(g, px - sign * dx * length, beamY - sign * dy * length, px, beamY, "load");
      const ty = sign * dy > 0 ? beamY - length - 6 : beamY + length + 14;
      el("text", { x: px - sign * dx * length, y: ty, class: "label", "text-anchor": "middle" }, g,
        `${g6(Math.abs(num(load.force)))}${units.force ? " " + units.force : ""}`);
      el("rect", { x: px - 9, y: Math.min(beamY, beamY - sign * dy * length) - 4, width: 18,
        height: Math.abs(sign * dy * length) + 8 || 18, class: "grip" }, g);
    }
  });
  (model.supports || []).forEach((support, k) => {
    const g = el("g", { "data-path": `supports[${k}]`, "data-drag": `supports[${k}].x`, class: "draggable" }, svg);
    drawSupport(g, support, sx, beamY, span);
  });
  el("text", { x: sx.at(span), y: 16, class: "label", "text-anchor": "end" }, svg,
    `span ${g6(span)}${units.length ? " " + units.length : ""}`);
  return sx;
}

function yScale(values, top, bottom) {
  let low = 0, high = 0;
  for (const v of values) if (Number.isFinite(v)) { low = Math.min(low, v); high = Math.max(high, v); }
  if (high - low <= 1e-300) { high = 1; low = -1; }
  const k = (bottom - top) / (high - low);
  return (v) => bottom - (v - low) * k;
}

function marker(svg, px, py, text, above, width) {
  el("circle", { cx: px, cy: py, r: 3.5, class: "extreme" }, svg);
  const anchor = px < 90 ? "start" : px > width - 90 ? "end" : "middle";
  el("text", { x: px, y: above ? py - 7 : py + 15, class: "extreme-label", "text-anchor": anchor }, svg, text);
}

// One diagram: filled to the axis, its largest and smallest values marked.
export function drawDiagram(svg, sx, xs, values, extreme, title, unit, lengthUnit) {
  const width = sx.width, height = 150;
  clear(svg, width, height);
  const y = yScale(values, 34, height - 22);
  el("text", { x: 4, y: 14, class: "title" }, svg, title + (unit ? ` [${unit}]` : ""));
  const points = xs.map((x, k) => [sx.at(x), y(values[k])]);
  el("polygon", { points: polyline([[sx.at(xs[0]), y(0)], ...points, [sx.at(xs[xs.length - 1]), y(0)]]),
    class: "area" }, svg);
  el("polyline", { points: polyline(points), class: "curve" }, svg);
  el("line", { x1: sx.at(xs[0]), y1: y(0), x2: sx.at(xs[xs.length - 1]), y2: y(0), class: "axis" }, svg);
  const scale = Math.max(Math.abs(extreme.max), Math.abs(extreme.min));
  const at = (x) => `${g6(x)}${lengthUnit ? " " + lengthUnit : ""}`;
  if (scale > 0) {
    if (Math.abs(extreme.max) > 1e-9 * scale) marker(svg, sx.at(extreme.x_max), y(extreme.max), `max ${g6(extreme.max, scale)} at ${at(extreme.x_max)}`, true, width);
    if (Math.abs(extreme.min) > 1e-9 * scale) marker(svg, sx.at(extreme.x_min), y(extreme.min), `min ${g6(extreme.min, scale)} at ${at(extreme.x_min)}`, false, width);
  }
  el("line", { class: "cursor", x1: 0, x2: 0, y1: 20, y2: height - 4, visibility: "hidden" }, svg);
  return svg;
}

// An envelope: the band between the largest and the smallest value of every member.
export function drawBand(svg, sx, xs, band, extreme, title, unit, lengthUnit) {
  const width = sx.width, height = 150;
  clear(svg, width, height);
  const y = yScale([...band.max, ...band.min], 34, height - 22);
  el("text", { x: 4, y: 14, class: "title" }, svg, title + (unit ? ` [${unit}]` : ""));
  const top = xs.map((x, k) => [sx.at(x), y(band.max[k])]);
  const bottom = xs.map((x, k) => [sx.at(x), y(band.min[k])]);
  el("polygon", { points: polyline([...top, ...bottom.reverse()]), class: "area" }, svg);
  el("polyline", { points: polyline(top), class: "curve" }, svg);
  el("polyline", { points: polyline(bottom.reverse()), class: "curve low" }, svg);
  el("line", { x1: sx.at(xs[0]), y1: y(0), x2: sx.at(xs[xs.length - 1]), y2: y(0), class: "axis" }, svg);
  const scale = Math.max(Math.abs(extreme.max), Math.abs(extreme.min));
  const at = (x) => `${g6(x)}${lengthUnit ? " " + lengthUnit : ""}`;
  if (scale > 0) {
    marker(svg, sx.at(extreme.x_max), y(extreme.max), `max ${g6(extreme.max, scale)} at ${at(extreme.x_max)}`, true, width);
    marker(svg, sx.at(extreme.x_min), y(extreme.min), `min ${g6(extreme.min, scale)} at ${at(extreme.x_min)}`, false, width);
  }
}
