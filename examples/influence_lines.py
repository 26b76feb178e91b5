"""Influence lines of a three-span continuous bridge girder.

A unit load (1 kN, downward) is moved across the whole girder; at every
position the beam is solved again and three quantities are read:

* the vertical reaction at the first interior support B,
* the bending moment at the middle of the first span,
* the bending moment over the first interior support B.

The ordinate at x is the value of the quantity when the unit load stands at
x, so a line multiplied by a wheel load and summed over the wheels gives the
design value for any vehicle position.

Girder: spans 24 m + 30 m + 24 m, welded plate girder (web 1600 x 16 mm,
flanges 500 x 40 mm), E = 210 GPa, G = 81 GPa. Inputs in kN, m, GPa, m^2,
m^4 through the unit factors.

Run:
    python examples/influence_lines.py                 # 1,000 load positions
    python examples/influence_lines.py --points 5000 out/il.png

The functions are importable: influence_line(beam_def, quantity, positions)
works for any beam and any quantity read from a BeamResult.
"""

import argparse
import os
import sys
import time

import flexura

INF = float("inf")

SPANS = (24.0, 30.0, 24.0)  # m

# Each factor turns one caller unit into N or m (kN -> N, GPa -> N/m^2).
UNITS = {
    "length": 1.0,
    "force": 1e3,
    "moment": 1e3,
    "distributed": 1e3,
    "stiffness": 1e3,
    "E": 1e9,
    "G": 1e9,
    "I": 1.0,
    "A": 1.0,
    "deflection": 1e-3,  # mm
}


def girder_def(spans=SPANS):
    """The beam without loads: everything solve() needs except `loads`."""
    positions = [0.0]
    for length in spans:
        positions.append(positions[-1] + length)
    # Fixed bearing (pin) at the first support, sliding bearings elsewhere.
    supports = [(positions[0], INF, INF, 0.0)] + [(x, 0.0, INF, 0.0) for x in positions[1:]]
    web_area = 1.600 * 0.016
    flange_area = 0.500 * 0.040
    lever = 0.800 + 0.020  # centroid of a flange from the neutral axis
    return {
        "span": positions[-1],
        "e": 210.0,  # GPa
        "i": 0.016 * 1.600 ** 3 / 12.0 + 2.0 * flange_area * lever ** 2,  # m^4
        "a": web_area + 2.0 * flange_area,  # m^2
        "g": 81.0,  # GPa
        "supports": supports,
        "units": UNITS,
    }


def support_positions(beam_def):
    return [s[0] for s in beam_def["supports"]]


def solve_with_unit_load(beam_def, x, magnitude=1.0):
    """Solve the beam with one downward point load of `magnitude` at x."""
    loads = [("point", [-magnitude, x, 90.0])]
    return flexura.solve(beam_def["span"], beam_def["e"], beam_def["i"], beam_def["a"],
                         beam_def["g"], beam_def["supports"], loads, beam_def.get("units"))


# Quantities: each returns a function BeamResult -> float.

def reaction(position):
    """Vertical reaction of the support at `position` (positive upward)."""
    def read(result):
        for key, (rx, ry, m) in result.reactions().items():
            if float(key) == position:
                return ry
        raise KeyError("no support at x = %r" % position)
    return read


def bending_moment(position, two_sided=False):
    """Bending moment at `position` (positive sagging). A point load leaves
    the moment continuous, so the exact value is read. Where a concentrated
    moment (a torque, or the moment reaction of a fixed support) stands at the
    section the moment jumps; two_sided=True then reads the larger-magnitude
    side, the governing one for design."""
    if two_sided:
        return lambda result: result.get_bending_moment(position)
    return lambda result: result.eval_bm(position)


def shear_force(position, side=None):
    """Shear force at `position` (resultant of the forces left of it). The
    shear jumps where the unit load crosses the section and, at a support, by
    the reaction: side=None reads the larger-magnitude side (two-sided
    query), side=-1 or +1 the value just left or right of the section."""
    if side is None:
        return lambda result: result.get_shear_force(position)
    x = position + side * 1e-7 * max(1.0, abs(position))
    return lambda result: result.eval_sf(x)


def deflection(position):
    """Deflection at `position` (positive upward, in the deflection unit)."""
    return lambda result: result.eval_d(position)


def linspace(start, stop, count):
    if count == 1:
        return [start]
    return [start + (stop - start) * k / (count - 1) for k in range(count)]


def influence_lines(beam_def, quantities, positions):
    """One solve per load position; returns {name: [ordinate per position]}."""
    lines = {name: [] for name in quantities}
    for x in positions:
        result = solve_with_unit_load(beam_def, x)
        for name, read in quantities.items():
            lines[name].append(read(result))
    return lines


def influence_line(beam_def, quantity, positions):
    """Ordinates of one quantity for a unit load at each position."""
    return influence_lines(beam_def, {"line": quantity}, positions)["line"]


def extremes(positions, ordinates):
    """((x, min ordinate), (x, max ordinate))."""
    kmin = min(range(len(ordinates)), key=ordinates.__getitem__)
    kmax = max(range(len(ordinates)), key=ordinates.__getitem__)
    return (positions[kmin], ordinates[kmin]), (positions[kmax], ordinates[kmax])


def girder_quantities(beam_def):
    """(name, label with units, section position, quantity) of the three lines."""
    a, b = support_positions(beam_def)[:2]
    mid = 0.5 * (a + b)
    return [
        ("R_B", "Reaction at B, x = %g m\n[kN per kN]" % b, b, reaction(b)),
        ("M_mid1", "Moment at x = %g m\n(mid first span) [kNm per kN]" % mid, mid, bending_moment(mid)),
        ("M_B", "Moment over B, x = %g m\n[kNm per kN]" % b, b, bending_moment(b)),
    ]


def plot(beam_def, positions, lines, path):
    """Write the three lines to path; return False when matplotlib is missing."""
    try:
        import matplotlib
    except ImportError:
        return False
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    supports = support_positions(beam_def)
    quantities = girder_quantities(beam_def)
    fig, axes = plt.subplots(len(quantities), 1, figsize=(10, 8.5), sharex=True)
    for ax, (name, label, section, _) in zip(axes, quantities):
        ys = lines[name]
        ax.plot(positions, ys, color="tab:blue", lw=1.6)
        ax.fill_between(positions, ys, 0.0, where=[y >= 0 for y in ys], color="tab:blue", alpha=0.2)
        ax.fill_between(positions, ys, 0.0, where=[y < 0 for y in ys], color="tab:red", alpha=0.2)
        ax.axhline(0.0, color="k", lw=0.8)
        for x in supports:
            ax.plot([x], [0.0], marker="^", ms=9, color="k", clip_on=False, zorder=5)
            ax.axvline(x, color="grey", ls=":", lw=1)
        ax.axvline(section, color="tab:green", ls="--", lw=1.2)
        ax.text(section, 0.97, " section ", color="tab:green", fontsize=8, ha="right", va="top",
                transform=ax.get_xaxis_transform())
        (xlo, lo), (xhi, hi) = extremes(positions, ys)
        for x, y in ((xlo, lo), (xhi, hi)):
            if y != 0.0:
                ax.plot([x], [y], "o", color="k", ms=4)
                ax.annotate("%.3f at %.1f m" % (y, x), xy=(x, y), xytext=(8, 0),
                            textcoords="offset points", va="center", fontsize=9,
                            bbox=dict(boxstyle="round,pad=0.15", fc="white", ec="none", alpha=0.8))
        ax.set_ylabel(label)
        ax.grid(True, alpha=0.3)
    axes[0].set_title("Influence lines, three-span girder %s m (unit load 1 kN downward; supports ▲)"
                      % " + ".join("%g" % s for s in SPANS))
    axes[-1].set_xlabel("Position of the unit load x [m]")
    axes[-1].set_xlim(-1.0, beam_def["span"] + 1.0)
    fig.tight_layout()
    folder = os.path.dirname(path)
    if folder:
        os.makedirs(folder, exist_ok=True)
    fig.savefig(path, dpi=120)
    plt.close(fig)
    return True


def main(argv=None):
    parser = argparse.ArgumentParser(description="Influence lines of a three-span girder.")
    parser.add_argument("png", nargs="?", default="influence_lines.png",
                        help="where to write the picture (default: influence_lines.png here)")
    parser.add_argument("--points", type=int, default=1000, help="number of load positions (default 1000)")
    args = parser.parse_args(argv)

    girder = girder_def()
    positions = linspace(0.0, girder["span"], args.points)
    quantities = girder_quantities(girder)

    # Printed only: the shear at B jumps by the reaction, so the two-sided
    # query reads the governing (larger-magnitude) side.
    b = support_positions(girder)[1]
    shear_label = "Shear at B, x = %g m, larger side [kN per kN]" % b
    reads = {name: q for name, _, _, q in quantities}
    reads["V_B"] = shear_force(b)

    start = time.perf_counter()
    lines = influence_lines(girder, reads, positions)
    elapsed = time.perf_counter() - start

    print("Three-span girder %s m, I = %.4f m^4, A = %.4f m^2"
          % (" + ".join("%g" % s for s in SPANS), girder["i"], girder["a"]))
    print("Unit load 1 kN downward at %d positions: %d solves in %.3f s (%.1f us per solve)\n"
          % (len(positions), len(positions), elapsed, 1e6 * elapsed / len(positions)))
    print("  %-52s %18s %18s" % ("influence line", "min (at x [m])", "max (at x [m])"))
    for name, label in [(name, label) for name, label, _, _ in quantities] + [("V_B", shear_label)]:
        (xlo, lo), (xhi, hi) = extremes(positions, lines[name])
        print("  %-52s %9.4f (%5.1f) %9.4f (%5.1f)" % (label.replace("\n", " "), lo, xlo, hi, xhi))
    print()
    if plot(girder, positions, lines, args.png):
        print("Influence lines written to %s" % args.png)
    else:
        print("matplotlib is not installed, so no picture was drawn.")
        print("To get %s: pip install matplotlib, then run this script again." % args.png)
    return 0


if __name__ == "__main__":
    sys.exit(main())
