"""Quickstart: a two-span continuous steel beam solved with flexura_tools.

The beam is an IPE 300 in S355 steel, continuous over two spans of 6 m:

    A (pin, x = 0 m) ---- 6 m ---- B (roller, x = 6 m) ---- 6 m ---- C (spring, x = 12 m)

C sits on a flexible cross girder, modelled as a vertical spring of
8,000 kN/m. The beam carries a uniform load of 12 kN/m over its whole
length (slab and finishes) and a point load of 45 kN at x = 9 m (a column
from above). All inputs are in kN, m, kN/m, GPa, cm^4 and cm^2; the unit
factors tell flexura how to turn them into N and m, and the deflection is
read back in mm. flexura_tools checks the model, solves it, checks the
balance of the result and finds the exact extremes.

Run:
    python examples/quickstart.py            # writes beam.png here
    python examples/quickstart.py out/my.png # writes the picture elsewhere

The tables are printed in any case; the picture needs matplotlib
(pip install matplotlib).
"""

import argparse
import os
import sys

import flexura_tools as ft

INF = float("inf")

# Section and material: IPE 300, steel.
SPAN = 12.0  # m
E = 210.0  # GPa
G = 81.0  # GPa
I = 8356.0  # cm^4
A = 53.81  # cm^2

# Each factor turns one caller unit into the base unit (N, m):
# 1 kN = 1e3 N, 1 GPa = 1e9 N/m^2, 1 cm^4 = 1e-8 m^4, ...; deflections are
# reported in mm (1 mm = 1e-3 m).
UNITS = {
    "length": 1.0,
    "force": 1e3,
    "moment": 1e3,
    "distributed": 1e3,
    "stiffness": 1e3,
    "E": 1e9,
    "G": 1e9,
    "I": 1e-8,
    "A": 1e-4,
    "deflection": 1e-3,
}

# (name, position m, kx, ky, km): inf is rigid, 0 is free, a finite ky is a
# spring in kN/m. Only A restrains the beam horizontally.
SUPPORTS = [
    ("A", 0.0, INF, INF, 0.0),
    ("B", 6.0, 0.0, INF, 0.0),
    ("C", 12.0, 0.0, 8000.0, 0.0),
]

# Downward loads are negative at an angle of 90 degrees.
UDL = -12.0  # kN/m over the whole beam
POINT = (-45.0, 9.0)  # kN at m
LOADS = [
    ("udl", [UDL, 0.0, SPAN, 90.0]),
    ("point", [POINT[0], POINT[1], 90.0]),
]


def girder():
    """The quickstart beam as a checked model."""
    supports = [ft.Support(x=x, kx=kx, ky=ky, km=km, label=name) for name, x, kx, ky, km in SUPPORTS]
    loads = [ft.UniformLoad(w=UDL, x1=0.0, x2=SPAN), ft.PointLoad(x=POINT[1], force=POINT[0])]
    return ft.Beam(span=SPAN, E=E, I=I, A=A, G=G, supports=supports, loads=loads, units=UNITS)


def support_kind(support):
    kind = support.kind
    return "spring %g kN/m" % support.ky if kind == "spring" else kind


def peak(extreme):
    """(position, value) of the larger in size of a diagram's max and min."""
    if abs(extreme.min) > abs(extreme.max):
        return extreme.x_min, extreme.min
    return extreme.x_max, extreme.max


def print_tables(result):
    print("Two-span continuous beam, IPE 300, E = %g GPa, G = %g GPa" % (E, G))
    print("Loads: %g kN/m over 0-%g m, %g kN at x = %g m (negative = downward)\n"
          % (UDL, SPAN, POINT[0], POINT[1]))
    print("Reactions (Ry positive upward, Rx positive to the right)")
    print("  %-7s %7s  %-20s %10s %10s %10s" % ("support", "x [m]", "type", "Rx [kN]", "Ry [kN]", "M [kNm]"))
    total_ry = 0.0
    for r in result.reactions:
        total_ry += r.ry
        # Adding 0.0 turns a -0.0 reaction of a free direction into 0.0 for printing.
        print("  %-7s %7.2f  %-20s %10.3f %10.3f %10.3f"
              % (r.label, r.x, support_kind(r.support), r.rx + 0.0, r.ry + 0.0, r.m + 0.0))
    applied = UDL * SPAN + POINT[0]
    print("  check: sum Ry = %.3f kN against %.3f kN of applied load\n" % (total_ry, applied))

    extremes = result.extremes()
    rows = [("shear force", "kN", extremes.sf), ("bending moment", "kNm", extremes.bm), ("deflection", "mm", extremes.d)]
    print("Extreme values (exact, positions to 1e-9 of the span)")
    print("  %-15s %12s %10s" % ("quantity", "max |value|", "at x [m]"))
    for label, unit, extreme in rows:
        x, y = peak(extreme)
        print("  %-15s %8.3f %-3s %10.3f" % (label, y, unit, x))
    # The spring at C settles by R_C / k: a quick check of the deflection unit.
    c = result.reactions["C"]
    print("\n  settlement of spring C: %.3f mm (= -R_C / k = %.3f mm)"
          % (result.evaluator("d")(c.x), -c.ry / c.support.ky * 1e3))


def plot(result, path):
    """Write the three diagrams to path; return False when matplotlib is missing."""
    try:
        import matplotlib
    except ImportError:
        return False
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    # 1 cm spacing plus the points either side of every support and load.
    vectors = result.diagram(1201)
    extremes = result.extremes()
    xs = vectors["x"]
    fig, axes = plt.subplots(4, 1, figsize=(9, 9.5), sharex=True,
                             height_ratios=[0.8, 2, 2, 2])
    sketch, ax_sf, ax_bm, ax_d = axes

    # Sketch of the beam: supports below the axis, loads as arrows above it.
    sketch.plot([0, SPAN], [0, 0], color="k", lw=3)
    n_arrows = 13
    for j in range(n_arrows):
        x = SPAN * j / (n_arrows - 1)
        sketch.annotate("", xy=(x, 0.05), xytext=(x, 0.45),
                        arrowprops=dict(arrowstyle="->", color="tab:blue", lw=1))
    sketch.plot([0, SPAN], [0.45, 0.45], color="tab:blue", lw=1)
    sketch.text(1.5, 0.55, "%g kN/m" % abs(UDL), color="tab:blue", ha="center", va="bottom")
    sketch.annotate("", xy=(POINT[1], 0.05), xytext=(POINT[1], 0.95),
                    arrowprops=dict(arrowstyle="-|>", color="tab:red", lw=2))
    sketch.text(POINT[1] + 0.15, 0.75, "%g kN" % abs(POINT[0]), color="tab:red", va="center")
    for support in result.beam.supports:
        name, x, ky = support.label, support.x, support.ky
        if ky == INF:
            sketch.plot([x], [-0.22], marker="^", ms=12, color="k", clip_on=False)
        else:
            # A zigzag for the spring support.
            zig_x = [x, x, x - 0.12, x + 0.12, x - 0.12, x + 0.12, x, x]
            zig_y = [0.0, -0.08, -0.15, -0.25, -0.35, -0.45, -0.52, -0.6]
            sketch.plot(zig_x, zig_y, color="k", lw=1.2, clip_on=False)
            sketch.plot([x - 0.25, x + 0.25], [-0.6, -0.6], color="k", lw=2, clip_on=False)
        align = "left" if x == 0.0 else "right" if x == SPAN else "center"
        sketch.text(x, -0.75, "%s: %s" % (name, support_kind(support)), ha=align, va="top", fontsize=8)
    sketch.set_ylim(-1.25, 1.2)
    sketch.set_yticks([])
    sketch.axis("off")
    sketch.set_title("Two-span IPE 300 beam: loads and supports")

    panels = [
        (ax_sf, "sf", "Shear force V [kN]", "tab:green"),
        (ax_bm, "bm", "Bending moment M [kNm]\n(+ = sagging)", "tab:purple"),
        (ax_d, "d", "Deflection w [mm]\n(+ = upward)", "tab:orange"),
    ]
    for ax, key, label, color in panels:
        ys = vectors[key]
        ax.plot(xs, ys, color=color, lw=1.6)
        ax.fill_between(xs, ys, 0.0, color=color, alpha=0.15)
        ax.axhline(0.0, color="k", lw=0.8)
        for _, x, *_ in SUPPORTS:
            ax.axvline(x, color="grey", ls=":", lw=1)
            ax.plot([x], [0.0], marker="^", ms=8, color="k", clip_on=False)
        ax.axvline(POINT[1], color="tab:red", ls="--", lw=0.8)
        px, py = peak(extremes[key])
        ax.annotate("%.2f at %.2f m" % (py, px), xy=(px, py), xytext=(8, 0), textcoords="offset points",
                    va="center", fontsize=9,
                    bbox=dict(boxstyle="round,pad=0.15", fc="white", ec="none", alpha=0.8))
        ax.set_ylabel(label)
        ax.grid(True, alpha=0.3)
    ax_d.set_xlabel("Position along the beam x [m]")
    ax_d.set_xlim(-0.3, SPAN + 0.3)
    fig.tight_layout()
    folder = os.path.dirname(path)
    if folder:
        os.makedirs(folder, exist_ok=True)
    fig.savefig(path, dpi=120)
    plt.close(fig)
    return True


def main(argv=None):
    parser = argparse.ArgumentParser(description="Solve a two-span continuous steel beam with flexura_tools.")
    parser.add_argument("png", nargs="?", default="beam.png",
                        help="where to write the diagrams (default: beam.png in the current directory)")
    args = parser.parse_args(argv)

    result = girder().solve()
    print_tables(result)
    print()
    if plot(result, args.png):
        print("Diagrams written to %s" % args.png)
    else:
        print("matplotlib is not installed, so no picture was drawn.")
        print("To get the diagrams in %s: pip install matplotlib, then run this script again." % args.png)
    return 0


if __name__ == "__main__":
    sys.exit(main())
