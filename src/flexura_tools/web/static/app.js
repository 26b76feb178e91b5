// The calculator page: an editor of the model file, the results of every edit
// from the server, and the workflows. The model is held exactly as the model
// file holds it, so keys this page does not edit travel through unchanged.

import { drawBand, drawDiagram, drawSketch, g6, scaleX } from "./draw.js";

const $ = (selector, root = document) => root.querySelector(selector);
const NAMES = { nf: "Normal force", sf: "Shear force", bm: "Bending moment", d: "Deflection" };
const QUANTITY_UNIT = { nf: "force", sf: "force", bm: "moment", d: "deflection" };
const SIGNS = { nf: "compression +", sf: "", bm: "sagging +", d: "up +" };
const NAMES_KNM = { length: "m", force: "kN", moment: "kNm", distributed: "kN/m", stiffness: "kN/m",
  E: "kN/m²", I: "m⁴", A: "m²", G: "kN/m²", deflection: "mm" };
// Each preset names the units and gives the unit factors that make them consistent
// (the factor is the size of the unit in the analysis's base unit); it leaves the numbers alone.
const PRESETS = {
  "kN-m": { units: { deflection: 0.001 }, names: NAMES_KNM },
  "N-mm": { units: {}, names: { length: "mm", force: "N", moment: "Nmm", distributed: "N/mm", stiffness: "N/mm",
    E: "N/mm²", I: "mm⁴", A: "mm²", G: "N/mm²", deflection: "mm" } },
  "kip-ft": { units: { E: 144, G: 144, I: 1 / 20736, A: 1 / 144, deflection: 1 / 12 },
    names: { length: "ft", force: "kip", moment: "kip-ft", distributed: "kip/ft", stiffness: "kip/ft",
      E: "ksi", I: "in⁴", A: "in²", G: "ksi", deflection: "in" } },
};
const LOAD_FIELDS = {
  point: ["x", "force", "angle"],
  uniform: ["w", "x1", "x2", "angle"],
  trapezoidal: ["w1", "w2", "x1", "x2", "angle"],
  polynomial: ["coefficients", "x1", "x2", "angle"],
  moment: ["x", "moment"],
};
const OPTIONAL = new Set(["angle", "x1", "x2", "A", "label", "kx", "ky", "km"]);
const FIELD_UNIT = { x: "length", x1: "length", x2: "length", span: "length", force: "force", w: "distributed",
  w1: "distributed", w2: "distributed", moment: "moment", kx: "stiffness", ky: "stiffness", E: "E", I: "I",
  A: "A", G: "G" };
const DEFAULT_MODEL = {
  flexura_model: 1, title: "Two-span beam (kN, m; deflections in mm)", span: 12, E: 2.1e8, I: 8.356e-5,
  G: "inf", units: { deflection: 0.001 }, unit_names: { ...NAMES_KNM },
  supports: [{ type: "pin", x: 0, label: "A" }, { type: "roller", x: 6, label: "B" },
    { type: "roller", x: 12, label: "C" }],
  loads: [{ type: "uniform", w: -12 }, { type: "point", x: 9, force: -45 }],
};

const state = { model: structuredClone(DEFAULT_MODEL), result: null, scale: null, info: null, tab: "beam" };
let busy = 0;

function setBusy(change) {
  busy += change;
  document.body.dataset.busy = busy > 0 ? "1" : "0";
}

// ---- numbers as typed ------------------------------------------------------------

// Text to a model value: a JSON number, "inf" / "-inf" as the model file writes
// infinity, anything else kept as text for the server to name.
function parseValue(text) {
  const t = text.trim();
  if (/^[-+]?inf(inity)?$/i.test(t)) return t.startsWith("-") ? "-inf" : "inf";
  if (/^[-+]?(\d+\.?\d*|\.\d+)(e[-+]?\d+)?$/i.test(t)) return Number(t);
  return t;
}

const showValue = (v) => (v === undefined || v === null ? "" : Array.isArray(v) ? v.join(", ") : String(v));
const unitOf = (kind) => (state.model.unit_names || {})[kind] || "";

// ---- the model sent to the server -------------------------------------------------

function modelForServer() {
  const m = structuredClone(state.model);
  const cases = m.cases && Object.keys(m.cases).length > 0;
  const combinations = Array.isArray(m.combinations) && m.combinations.length > 0;
  if (!cases) delete m.cases;
  if (!combinations) delete m.combinations;
  if (m.flexura_model === 1 || m.flexura_model === 2) m.flexura_model = cases || combinations ? 2 : 1;
  return m;
}

async function post(endpoint, params = []) {
  const query = new URLSearchParams(params).toString();
  setBusy(1);
  try {
    const response = await fetch(`/api/${endpoint}${query ? "?" + query : ""}`, {
      method: "POST", headers: { "Content-Type": "application/json" }, body: JSON.stringify(modelForServer()),
    });
    return { status: response.status, data: await response.json() };
  } catch (error) {
    return { status: 0, data: { problems: [{ path: "", message: `no answer from the server: ${error.message}` }] } };
  } finally {
    setBusy(-1);
  }
}

// Runs `task` `delay` ms after the last call, one run at a time; calls during a run
// start one more run after it, which reads the model as it is then.
function debounced(delay, task) {
  let timer = null, running = false, again = false, counted = false;
  // The page counts as busy from the first call until nothing is waiting or running.
  const settle = () => {
    if (counted && timer === null && !running) { counted = false; setBusy(-1); }
  };
  const fire = async () => {
    timer = null;
    if (running) { again = true; return; }
    running = true;
    try { await task(); } finally {
      running = false;
      if (again) { again = false; fire(); } else settle();
    }
  };
  return () => {
    if (!counted) { counted = true; setBusy(1); }
    clearTimeout(timer);
    timer = setTimeout(fire, delay);
  };
}

// ---- problems beside their fields -------------------------------------------------

function parentPath(path) {
  const bracket = path.match(/^(.*)\[\d+\]$/);
  if (bracket) return bracket[1];
  const dot = path.lastIndexOf(".");
  return dot > 0 ? path.slice(0, dot) : "";
}

function clearProblems(root) {
  for (const node of root.querySelectorAll(".problem")) node.remove();
  for (const node of root.querySelectorAll(".invalid")) node.classList.remove("invalid");
}

function showProblems(root, problems, fallback) {
  clearProblems(root);
  fallback.replaceChildren();
  for (const { path, message } of problems) {
    let target = null;
    for (let p = path; p !== "" && !target; p = parentPath(p)) {
      target = root.querySelector(`[data-path="${CSS.escape(p)}"]`);
    }
    const note = document.createElement("div");
    note.className = "problem";
    note.textContent = target ? message : path ? `${path}: ${message}` : message;
    if (!target) { fallback.appendChild(note); continue; }
    target.classList.add("invalid");
    if (target.matches("input, select")) (target.closest("label") || target).after(note);
    else target.appendChild(note);
  }
}

// ---- the editor ------------------------------------------------------------------

function input(parent, { label, path, get, set, size = 8, kind = "value" }) {
  const wrap = document.createElement("label");
  wrap.textContent = label + " ";
  const box = document.createElement("input");
  box.value = showValue(get());
  box.size = size;
  box.dataset.path = path;
  box.spellcheck = false;
  box.addEventListener("input", () => {
    const text = box.value;
    if (kind === "text") set(text === "" ? undefined : text);
    else if (kind === "list") set(text.trim() === "" ? [] : text.split(",").map(parseValue));
    else set(text.trim() === "" ? undefined : parseValue(text));
    changed();
  });
  wrap.appendChild(box);
  parent.appendChild(wrap);
  return box;
}

function select(parent, { label, path, options, value, onChange }) {
  const wrap = document.createElement("label");
  wrap.textContent = label ? label + " " : "";
  const box = document.createElement("select");
  box.dataset.path = path;
  for (const [key, text] of options) box.add(new Option(text, key, false, key === value));
  box.addEventListener("change", () => onChange(box.value));
  wrap.appendChild(box);
  parent.appendChild(wrap);
  return box;
}

function button(parent, text, title, onClick) {
  const b = document.createElement("button");
  b.type = "button";
  b.textContent = text;
  b.title = title;
  b.addEventListener("click", onClick);
  parent.appendChild(b);
  return b;
}

function fieldLabel(key) {
  if (key === "angle") return "angle [°]";
  if (key === "coefficients") return `c0, c1, … [${unitOf("distributed") || "per length"}]`;
  const unit = unitOf(FIELD_UNIT[key]);
  return unit ? `${key} [${unit}]` : key;
}

function keyInput(parent, object, key, path, options = {}) {
  return input(parent, {
    label: fieldLabel(key), path: path ? `${path}.${key}` : key, size: options.size || 8, kind: options.kind,
    get: () => object[key],
    set: (v) => { if (v === undefined && OPTIONAL.has(key)) delete object[key]; else object[key] = v ?? ""; },
  });
}

function presetOf(model) {
  const names = model.unit_names || {};
  for (const [key, preset] of Object.entries(PRESETS)) {
    const units = model.units || {};
    const same = Object.keys(preset.units).length === Object.keys(units).length
      && Object.entries(preset.units).every(([k, v]) => units[k] === v);
    if (same && names.length === preset.names.length && names.force === preset.names.force) return key;
  }
  return "custom";
}

function renderBeamFields() {
  const box = $("#beam-fields");
  box.replaceChildren(box.firstElementChild);
  const m = state.model;
  input(box, { label: "Title", path: "title", size: 40, kind: "text", get: () => m.title,
    set: (v) => { if (v === undefined) delete m.title; else m.title = v; } });
  const preset = presetOf(m);
  select(box, { label: "Units", path: "unit_names", value: preset,
    options: [["kN-m", "kN, m"], ["N-mm", "N, mm"], ["kip-ft", "kip, ft (E in ksi, I in in⁴)"],
      ...(preset === "custom" ? [["custom", "as in the model file"]] : [])],
    onChange: (key) => {
      m.units = { ...PRESETS[key].units };
      m.unit_names = { ...PRESETS[key].names };
      renderEditor();
      changed();
    } });
  for (const key of ["span", "E", "I", "A", "G"]) keyInput(box, m, key, "", { size: 10 });
}

const SUPPORT_KINDS = [["pin", "pin"], ["roller", "roller"], ["fixed", "fixed"], ["custom", "springs / custom"]];

function renderSupports() {
  const rows = $("#supports .rows");
  rows.replaceChildren();
  state.model.supports = Array.isArray(state.model.supports) ? state.model.supports : [];
  state.model.supports.forEach((support, k) => {
    const path = `supports[${k}]`;
    const row = document.createElement("div");
    row.className = "row";
    row.dataset.path = path;
    rows.appendChild(row);
    select(row, { label: "", path: `${path}.type`, options: SUPPORT_KINDS, value: support.type || "custom",
      onChange: (kind) => {
        for (const key of ["type", "kx", "ky", "km"]) delete support[key];
        if (kind === "custom") Object.assign(support, { kx: 0, ky: "inf", km: 0 });
        else support.type = kind;
        renderEditor();
        changed();
      } });
    keyInput(row, support, "x", path, { size: 6 });
    keyInput(row, support, "label", path, { size: 4, kind: "text" });
    if (!support.type) for (const key of ["kx", "ky", "km"]) keyInput(row, support, key, path, { size: 7 });
    button(row, "×", "Remove this support", () => { state.model.supports.splice(k, 1); renderEditor(); changed(); });
  });
}

function newLoad(kind, old = {}) {
  const x = typeof old.x === "number" ? old.x : typeof old.x1 === "number" ? old.x1 : 0;
  const span = typeof state.model.span === "number" ? state.model.span : 10;
  const fresh = {
    point: { type: "point", x, force: -10 },
    uniform: { type: "uniform", w: -10 },
    trapezoidal: { type: "trapezoidal", w1: 0, w2: -10, x1: x, x2: span },
    polynomial: { type: "polynomial", coefficients: [-10], x1: x, x2: span },
    moment: { type: "moment", x, moment: 10 },
  }[kind];
  if ("angle" in old && LOAD_FIELDS[kind].includes("angle")) fresh.angle = old.angle;
  return fresh;
}

function renderLoads(rows, list, prefix) {
  rows.replaceChildren();
  list.forEach((load, k) => {
    const path = `${prefix}[${k}]`;
    const row = document.createElement("div");
    row.className = "row";
    row.dataset.path = path;
    rows.appendChild(row);
    select(row, { label: "", path: `${path}.type`, value: load.type,
      options: Object.keys(LOAD_FIELDS).map((kind) => [kind, kind]),
      onChange: (kind) => { list[k] = newLoad(kind, load); renderEditor(); changed(); } });
    for (const key of LOAD_FIELDS[load.type] || []) {
      keyInput(row, load, key, path, { size: key === "coefficients" ? 14 : 6, kind: key === "coefficients" ? "list" : "value" });
    }
    button(row, "×", "Remove this load", () => { list.splice(k, 1); renderEditor(); changed(); });
  });
}

function renderCases() {
  const rows = $("#cases .rows");
  rows.replaceChildren();
  const cases = state.model.cases || {};
  for (const name of Object.keys(cases)) {
    const box = document.createElement("fieldset");
    box.dataset.path = `cases.${name}`;
    const legend = document.createElement("legend");
    legend.textContent = `Case ${name}`;
    box.appendChild(legend);
    const loadRows = document.createElement("div");
    box.appendChild(loadRows);
    renderLoads(loadRows, cases[name], `cases.${name}`);
    button(box, "Add load", `Add a load to case ${name}`, () => { cases[name].push(newLoad("uniform")); renderEditor(); changed(); });
    button(box, "Remove case", `Remove case ${name}`, () => {
      delete cases[name];
      for (const c of state.model.combinations || []) if (c.factors) delete c.factors[name];
      renderEditor();
      changed();
    });
    rows.appendChild(box);
  }
}

function renderCombinations() {
  const rows = $("#combinations .rows");
  rows.replaceChildren();
  const names = Object.keys(state.model.cases || {});
  (state.model.combinations || []).forEach((combination, k) => {
    const path = `combinations[${k}]`;
    const row = document.createElement("div");
    row.className = "row";
    row.dataset.path = path;
    rows.appendChild(row);
    keyInput(row, combination, "name", path, { size: 8, kind: "text" });
    combination.factors = combination.factors || {};
    for (const name of new Set([...names, ...Object.keys(combination.factors)])) {
      input(row, { label: `× ${name}`, path: `${path}.factors.${name}`, size: 5, get: () => combination.factors[name],
        set: (v) => { if (v === undefined) delete combination.factors[name]; else combination.factors[name] = v; } });
    }
    button(row, "×", "Remove this combination", () => { state.model.combinations.splice(k, 1); renderEditor(); changed(); });
  });
}

function renderEditor() {
  renderBeamFields();
  renderSupports();
  state.model.loads = Array.isArray(state.model.loads) ? state.model.loads : [];
  renderLoads($("#loads .rows"), state.model.loads, "loads");
  renderCases();
  renderCombinations();
  drawAll();
}

// ---- results ---------------------------------------------------------------------

function width(node) {
  return Math.max(320, Math.floor(node.getBoundingClientRect().width || 800) - 2);
}

function table(node, header, rows) {
  node.replaceChildren();
  const head = node.createTHead().insertRow();
  for (const text of header) {
    const th = document.createElement("th");
    th.textContent = text;
    head.appendChild(th);
  }
  const body = node.createTBody();
  for (const cells of rows) {
    const row = body.insertRow();
    for (const text of cells) row.insertCell().textContent = text;
  }
}

const bracket = (kind) => (unitOf(kind) ? ` [${unitOf(kind)}]` : "");
const nonZero = (e) => e.max !== 0 || e.min !== 0;

function drawAll() {
  const sketch = $("#sketch");
  state.scale = drawSketch(sketch, state.model, width($("#beam-view")), state.model.unit_names || {});
  $("#sheet-title").textContent = state.model.title || "";
  renderSheetModel();
  const r = state.result;
  const diagrams = $("#diagrams");
  diagrams.replaceChildren();
  if (!r || !state.scale) return;
  for (const q of ["nf", "sf", "bm", "d"]) {
    if (q === "nf" && !nonZero(r.extremes.nf)) continue;
    const svg = document.createElementNS("http://www.w3.org/2000/svg", "svg");
    svg.id = `diagram-${q}`;
    diagrams.appendChild(svg);
    const title = NAMES[q] + (SIGNS[q] ? ` (${SIGNS[q]})` : "");
    drawDiagram(svg, state.scale, r.diagram.x, r.diagram[q], r.extremes[q], title, unitOf(QUANTITY_UNIT[q]), unitOf("length"));
  }
  const reactions = r.reactions;
  const scale = Math.max(0, ...reactions.flatMap((x) => [Math.abs(x.rx), Math.abs(x.ry), Math.abs(x.m)]));
  table($("#reactions"), ["support", `x${bracket("length")}`, "type", `rx${bracket("force")}`, `ry${bracket("force")}`, `m${bracket("moment")}`],
    reactions.map((x) => [x.label || "", g6(x.x), x.kind, g6(x.rx, scale), g6(x.ry, scale), g6(x.m, scale)]));
  const rows = [];
  for (const q of ["nf", "sf", "bm", "d"]) {
    const e = r.extremes[q];
    if (q === "nf" && !nonZero(e)) continue;
    const size = Math.max(Math.abs(e.max), Math.abs(e.min));
    rows.push([NAMES[q].toLowerCase() + bracket(QUANTITY_UNIT[q]), g6(e.max, size), g6(e.x_max), g6(e.min, size), g6(e.x_min)]);
  }
  table($("#extremes"), ["quantity", "max", `at x${bracket("length")}`, "min", `at x${bracket("length")}`], rows);
}

function renderSheetModel() {
  const m = state.model;
  const lines = [`span ${showValue(m.span)}${bracket("length")}, E ${showValue(m.E)}${bracket("E")}, `
    + `I ${showValue(m.I)}${bracket("I")}` + (m.A !== undefined ? `, A ${showValue(m.A)}${bracket("A")}` : "")
    + `, G ${showValue(m.G ?? "inf")}${bracket("G")}`];
  for (const s of m.supports || []) lines.push(`support ${s.label || ""} ${s.type || `kx ${showValue(s.kx)}, ky ${showValue(s.ky)}, km ${showValue(s.km)}`} at x = ${showValue(s.x)}`);
  for (const load of m.loads || []) {
    lines.push(`${load.type} load: ` + (LOAD_FIELDS[load.type] || []).filter((k) => k in load)
      .map((k) => `${k} ${showValue(load[k])}`).join(", "));
  }
  const box = $("#sheet-model");
  box.replaceChildren(...lines.map((text) => Object.assign(document.createElement("div"), { textContent: text })));
}

const solveSoon = debounced(25, async () => {
  const { status, data } = await post("solve");
  if (status === 200) {
    state.result = data;
    $("#results").classList.remove("stale");
    showProblems($("#editor"), [], $("#general-problems"));
    drawAll();
    readSoon();
  } else {
    $("#results").classList.add("stale");
    showProblems($("#editor"), data.problems || [], $("#general-problems"));
  }
});

// ---- the cursor: exact values from the server, both sides at a jump ---------------

let cursorX = null;

function snap(x) {
  const r = state.result, sx = state.scale;
  if (!r || !sx) return x;
  let best = x, distance = 6;
  for (const f of r.features) {
    const d = Math.abs(sx.at(f) - sx.at(x));
    if (d < distance) { best = f; distance = d; }
  }
  return best;
}

const readSoon = debounced(0, async () => {
  if (cursorX === null || !state.result) return;
  const x = cursorX;
  const { status, data } = await post("values", [["x", String(x)]]);
  if (status !== 200 || x !== cursorX) return;
  const { left, right } = data.values[0];
  const parts = [];
  for (const q of ["nf", "sf", "bm", "d"]) {
    const e = state.result.extremes[q];
    if (q === "nf" && !nonZero(e)) continue;
    const scale = Math.max(Math.abs(e.max), Math.abs(e.min));
    const l = left && left[q], r = right && right[q];
    const jump = left && right && Math.abs(l - r) > 1e-9 * scale;
    const text = jump ? `${g6(l, scale)} | ${g6(r, scale)}` : g6(right ? r : l, scale);
    parts.push(`${NAMES[q].toLowerCase()} ${text}${unitOf(QUANTITY_UNIT[q]) ? " " + unitOf(QUANTITY_UNIT[q]) : ""}`);
  }
  $("#readout").textContent = `x = ${g6(x)}${unitOf("length") ? " " + unitOf("length") : ""}: ${parts.join(" · ")}`
    + (parts.some((p) => p.includes(" | ")) ? "  (left | right of the jump)" : "");
});

function moveCursor(event) {
  const sx = state.scale, r = state.result;
  if (!sx || !r) return;
  const rect = event.currentTarget.getBoundingClientRect();
  const px = event.clientX - rect.left;
  const x = snap(Math.min(r.span, Math.max(0, sx.x(px))));
  cursorX = x;
  for (const line of document.querySelectorAll("#diagrams .cursor")) {
    line.setAttribute("x1", sx.at(x));
    line.setAttribute("x2", sx.at(x));
    line.setAttribute("visibility", "visible");
  }
  readSoon();
}

// ---- dragging loads and supports in the sketch -------------------------------------

function startDrag(event) {
  const grip = event.target.closest("[data-drag]");
  if (!grip || !state.scale) return;
  const match = grip.dataset.drag.match(/^(loads|supports)\[(\d+)\]\.x$/);
  const item = match && state.model[match[1]][Number(match[2])];
  if (!item) return;
  event.preventDefault();
  const svg = $("#sketch");
  svg.setPointerCapture(event.pointerId);
  const span = Number(state.model.span);
  const step = 10 ** Math.floor(Math.log10(span / 500));
  const move = (e) => {
    const rect = svg.getBoundingClientRect();
    const x = Math.min(span, Math.max(0, state.scale.x(e.clientX - rect.left)));
    item.x = Number((Math.round(x / step) * step).toFixed(12));
    const box = document.querySelector(`[data-path="${grip.dataset.drag}"]`);
    if (box) box.value = String(item.x);
    changed();
  };
  const stop = () => { svg.removeEventListener("pointermove", move); svg.removeEventListener("pointerup", stop); };
  svg.addEventListener("pointermove", move);
  svg.addEventListener("pointerup", stop);
}

// ---- workflows ----------------------------------------------------------------------

function renderEnvelope(box, data, heading, describe) {
  box.replaceChildren();
  const h = document.createElement("h3");
  h.textContent = heading;
  box.appendChild(h);
  const span = Number(state.model.span);
  const sx = span > 0 ? scaleX(span, width(box)) : null;
  for (const [q, band] of Object.entries(data.bands)) {
    if (q === "nf" && !nonZero(data.extremes.nf)) continue;
    const svg = document.createElementNS("http://www.w3.org/2000/svg", "svg");
    box.appendChild(svg);
    if (sx) drawBand(svg, sx, data.x, band, data.extremes[q], `${NAMES[q]}, envelope`, unitOf(QUANTITY_UNIT[q]), unitOf("length"));
  }
  const rows = [];
  for (const [q, e] of Object.entries(data.extremes)) {
    if (q === "nf" && !nonZero(e)) continue;
    const size = Math.max(Math.abs(e.max), Math.abs(e.min));
    rows.push([NAMES[q].toLowerCase() + bracket(QUANTITY_UNIT[q]), g6(e.max, size), g6(e.x_max), describe(e, "max"),
      g6(e.min, size), g6(e.x_min), describe(e, "min")]);
  }
  const extremes = document.createElement("table");
  table(extremes, ["quantity", "max", `at x${bracket("length")}`, "by", "min", `at x${bracket("length")}`, "by"], rows);
  const reactions = document.createElement("table");
  table(reactions, ["support", `x${bracket("length")}`, `ry max${bracket("force")}`, "by", `ry min${bracket("force")}`, "by"],
    data.reactions.map((r) => [r.label || "", g6(r.x), g6(r.ry.max), r.ry.max_by, g6(r.ry.min), r.ry.min_by]));
  box.append(extremes, reactions);
}

const combinationsSoon = debounced(60, async () => {
  const box = $("#combination-results");
  if (!(state.model.combinations || []).length) { box.replaceChildren(); return; }
  const { status, data } = await post("combinations");
  if (status === 200) {
    showProblems($("#flows-view"), [], box);
    renderEnvelope(box, data, `Envelope of the combinations ${data.names.join(", ")}`, (e, side) => e[`${side}_by`]);
  } else {
    box.replaceChildren();
    showProblems($("#flows-view"), data.problems || [], box);
  }
});

function vehicleParams() {
  const key = $("#vehicle-key").value;
  const params = [["vehicle", key], ["step", $("#vehicle-step").value.trim()],
    ["directions", $("#vehicle-directions").value], ["own_loads", $("#vehicle-own").checked ? "true" : "false"]];
  if (key === "hl93_truck") params.push(["rear_spacing", $("#rear-spacing").value.trim()]);
  $("#rear-spacing-field").hidden = key !== "hl93_truck";
  return params;
}

const vehicleSoon = debounced(80, async () => {
  const box = $("#vehicle-results");
  const { status, data } = await post("vehicle", vehicleParams());
  clearProblems($("#vehicle"));
  if (status === 200) {
    renderEnvelope(box, data, `${data.vehicle.name}: ${data.positions} positions`, (e, side) => {
      const p = e[`${side}_position`];
      return `${p.direction}, axles at ${p.axles.filter((a) => a >= 0 && a <= state.result?.span).map((a) => g6(a)).join(", ")}`;
    });
  } else {
    box.replaceChildren();
    showProblems($("#vehicle"), data.problems || [], box);
  }
});

// The influence line: asked of the server on every change of the model or the
// panel; the cursor over it reads the exact ordinate there (a solve under the unit
// load at that x), both sides at the section, where the line jumps.
const REACTIONS = new Set(["rx", "ry", "m"]);
const IL_UNIT = { nf: "force", sf: "force", bm: "moment", d: "deflection", rx: "force", ry: "force", m: "moment" };
const IL_NAMES = { ...NAMES, rx: "Reaction rx", ry: "Reaction ry", m: "Reaction m" };
let influenceX = null;

function influenceParams(extra = []) {
  const q = $("#il-quantity").value, reaction = REACTIONS.has(q);
  const support = $("#il-support"), chosen = support.value;
  support.replaceChildren(...(state.model.supports || []).map((s) => new Option(
    s.label ? `${s.label} (x = ${showValue(s.x)})` : `x = ${showValue(s.x)}`, s.label || showValue(s.x))));
  if ([...support.options].some((o) => o.value === chosen)) support.value = chosen;
  $("#il-at-field").hidden = reaction;
  $("#il-support-field").hidden = !reaction;
  // The problems of `at` stand beside the field shown.
  $("#il-at").dataset.path = reaction ? "query.at-unused" : "query.at";
  support.dataset.path = reaction ? "query.at" : "query.at-unused";
  const at = reaction ? support.value : $("#il-at").value.trim();
  return [["quantity", q], ["at", at], ["side", $("#il-side").value], ...extra];
}

function ordinateUnit(q) {
  const [u, f] = [unitOf(IL_UNIT[q]), unitOf("force")];
  return u && f ? `${u} per ${f}` : "";
}

function renderInfluence(box, data) {
  box.replaceChildren();
  const q = data.quantity;
  const where = REACTIONS.has(q) ? `at the support at x = ${g6(data.at)}` : `at x = ${g6(data.at)}`;
  const h = document.createElement("h3");
  h.textContent = `Influence line of the ${IL_NAMES[q].toLowerCase()} ${where}`;
  const readout = Object.assign(document.createElement("div"), { id: "influence-readout", className: "readout",
    textContent: "Point at the line to read the exact ordinate with the unit load there." });
  const svg = document.createElementNS("http://www.w3.org/2000/svg", "svg");
  svg.id = "influence-line";
  box.append(h, readout, svg);
  const span = Number(state.model.span);
  if (!(span > 0)) return;
  state.influenceScale = scaleX(span, width(box));
  drawDiagram(svg, state.influenceScale, data.x, data.value, data.extremes, "Ordinate (the effect of a unit load at x)",
    ordinateUnit(q), unitOf("length"));
  svg.addEventListener("pointermove", (event) => {
    const sx = state.influenceScale, rect = svg.getBoundingClientRect();
    influenceX = Math.min(span, Math.max(0, sx.x(event.clientX - rect.left)));
    if (Math.abs(sx.at(influenceX) - sx.at(data.at)) < 6) influenceX = data.at;  // snaps to the section
    const line = $(".cursor", svg);
    line.setAttribute("x1", sx.at(influenceX));
    line.setAttribute("x2", sx.at(influenceX));
    line.setAttribute("visibility", "visible");
    influenceReadSoon();
  });
}

const influenceSoon = debounced(60, async () => {
  const box = $("#influence-results");
  const { status, data } = await post("influence", influenceParams());
  if (status === 200) {
    showProblems($("#influence"), [], box);
    renderInfluence(box, data);
  } else {
    box.replaceChildren();
    showProblems($("#influence"), data.problems || [], box);
  }
});

const influenceReadSoon = debounced(0, async () => {
  if (influenceX === null) return;
  const x = influenceX;
  const { status, data } = await post("influence", influenceParams([["points", "2"], ["x", String(x)]]));
  const readout = $("#influence-readout");
  if (status !== 200 || x !== influenceX || !readout) return;
  const { left, right } = data.values[0];
  const size = Math.max(Math.abs(data.extremes.max), Math.abs(data.extremes.min));
  const jump = Math.abs(left - right) > 1e-9 * size;
  const unit = ordinateUnit(data.quantity);
  readout.textContent = `unit load at x = ${g6(x)}${unitOf("length") ? " " + unitOf("length") : ""}: `
    + (jump ? `${g6(left, size)} | ${g6(right, size)}` : g6(right, size)) + (unit ? ` ${unit}` : "")
    + (jump ? "  (the load just left | just right of the section)" : "");
});

function runFlows() {
  if (state.tab !== "flows") return;
  for (const node of document.querySelectorAll(".length-unit")) node.textContent = bracket("length").trim();
  combinationsSoon();
  vehicleSoon();
  influenceSoon();
}

// ---- the model as a file and as a link ----------------------------------------------

function encodeModel(model) {
  const bytes = new TextEncoder().encode(JSON.stringify(model));
  let binary = "";
  for (const b of bytes) binary += String.fromCharCode(b);
  return btoa(binary).replace(/\+/g, "-").replace(/\//g, "_").replace(/=+$/, "");
}

function decodeModel(text) {
  const binary = atob(text.replace(/-/g, "+").replace(/_/g, "/"));
  return JSON.parse(new TextDecoder().decode(Uint8Array.from(binary, (c) => c.charCodeAt(0))));
}

function notice(text) {
  $("#notice").textContent = text;
}

function changed() {
  history.replaceState(null, "", "#model=" + encodeModel(modelForServer()));
  drawAll();
  solveSoon();
  runFlows();
}

function useModel(model, source) {
  if (typeof model !== "object" || model === null || Array.isArray(model)) {
    notice(`${source}: not a model file (a model file holds one JSON object)`);
    return;
  }
  state.model = model;
  state.result = null;
  renderEditor();
  changed();
}

async function save() {
  const { status, data } = await post("model");
  const text = status === 200 ? data.text : JSON.stringify(state.model, null, 2) + "\n";
  if (status !== 200) notice("Saved as typed: the model has problems, which the next opening will show.");
  const name = (state.model.title || "beam").replace(/[^\w-]+/g, "_").replace(/^_+|_+$/g, "").slice(0, 60) || "beam";
  const link = document.createElement("a");
  link.href = URL.createObjectURL(new Blob([text], { type: "application/json" }));
  link.download = `${name}.json`;
  document.body.appendChild(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 1000);
}

async function openFile(event) {
  const file = event.target.files[0];
  if (!file) return;
  try {
    useModel(JSON.parse(await file.text()), file.name);
  } catch (error) {
    notice(`${file.name}: not valid JSON (${error.message})`);
  }
  event.target.value = "";
}

function share() {
  const url = location.href;
  if (navigator.clipboard && window.isSecureContext) {
    navigator.clipboard.writeText(url).then(() => notice("Link copied: it holds the whole model."), () => notice(url));
  } else {
    notice(url);
  }
}

function selectTab(tab) {
  state.tab = tab;
  $("#tab-beam").setAttribute("aria-selected", String(tab === "beam"));
  $("#tab-flows").setAttribute("aria-selected", String(tab === "flows"));
  $("#flows-view").hidden = tab !== "flows";
  $("#beam-view").hidden = tab !== "beam";
  $("#editor").hidden = tab !== "beam";
  if (tab === "beam") drawAll();
  runFlows();
}

async function start() {
  document.body.dataset.busy = "0";
  const hash = location.hash.match(/^#model=(.+)$/);
  if (hash) {
    try { state.model = decodeModel(hash[1]); } catch (error) { notice(`The link's model cannot be read: ${error.message}`); }
  }
  try {
    state.info = await (await fetch("/api/info")).json();
    for (const v of state.info.vehicles) $("#vehicle-key").add(new Option(v.name, v.key, false, v.key === "lm1_lane1"));
  } catch (error) {
    notice(`The server does not answer: ${error.message}`);
  }
  $("#add-support").addEventListener("click", () => {
    const xs = state.model.supports.map((s) => Number(s.x)).filter(Number.isFinite);
    state.model.supports.push({ type: "roller", x: xs.length ? Math.max(...xs) : 0 });
    renderEditor();
    changed();
  });
  $("#add-load").addEventListener("click", () => { state.model.loads.push(newLoad("point")); renderEditor(); changed(); });
  $("#add-case").addEventListener("click", () => {
    const name = $("#new-case").value.trim();
    state.model.cases = state.model.cases || {};
    if (!name || name in state.model.cases) { notice(`Give a new case a name of its own.`); return; }
    state.model.cases[name] = [newLoad("uniform")];
    renderEditor();
    changed();
  });
  $("#add-combination").addEventListener("click", () => {
    state.model.combinations = state.model.combinations || [];
    const factors = Object.fromEntries(Object.keys(state.model.cases || {}).map((name) => [name, 1]));
    state.model.combinations.push({ name: `C${state.model.combinations.length + 1}`, factors });
    renderEditor();
    changed();
  });
  for (const id of ["#vehicle-key", "#vehicle-step", "#rear-spacing", "#vehicle-directions", "#vehicle-own"]) {
    $(id).addEventListener(id === "#vehicle-step" || id === "#rear-spacing" ? "input" : "change", vehicleSoon);
  }
  for (const id of ["#il-quantity", "#il-at", "#il-support", "#il-side"]) {
    $(id).addEventListener(id === "#il-at" ? "input" : "change", influenceSoon);
  }
  $("#tab-beam").addEventListener("click", () => selectTab("beam"));
  $("#tab-flows").addEventListener("click", () => selectTab("flows"));
  $("#open-file").addEventListener("change", openFile);
  $("#save").addEventListener("click", save);
  $("#share").addEventListener("click", share);
  $("#print").addEventListener("click", () => window.print());
  $("#sketch").addEventListener("pointerdown", startDrag);
  $("#diagrams").addEventListener("pointermove", moveCursor);
  window.addEventListener("resize", debounced(100, async () => drawAll()));
  window.addEventListener("hashchange", () => {
    const m = location.hash.match(/^#model=(.+)$/);
    if (m && m[1] !== encodeModel(modelForServer())) {
      try { useModel(decodeModel(m[1]), "the link"); } catch (error) { notice(`The link's model cannot be read: ${error.message}`); }
    }
  });
  vehicleParams();
  renderEditor();
  changed();
}

start();
