"""Influence lines of a three-span continuous bridge girder.

A unit load (1 kN, downward) is moved across the whole girder; at every
position the beam is solved again and these quantities are read:

* the vertical reaction at the first interior support B,
* the bending moment at the middle of the first span,
* the bending moment over the first interior support B,
* the shear force just left and just right of B (printed only).

The ordinate at x is the value of the quantity when the unit load stands at
x, so a line multiplied by a wheel load and summed over the wheels gives the
design value for any vehicle position.

Girder: spans 24 m + 30 m + 24 m, welded plate girder (web 1600 x 16 mm,
flanges 500 x 40 mm), E = 210 GPa, G = 81 GPa. Inputs in kN, m, GPa, m^2,
m^4 through the unit factors.

Run:
    python examples/influence_lines.py                 # no gap wider than span / 1000
    python examples/influence_lines.py --points 5000 out/il.png

flexura_tools.influence_line() places the unit load at the ends, every support,
the section (on both sides of it) and evenly spaced positions between, and
checks each solve for balance.
"""

import argparse
import os
import sys
import time

import flexura_tools as ft

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


def girder(spans=SPANS):
    """The girder without loads: a fixed bearing (pin) at A, sliding bearings at B, C, D."""
    positions = [0.0]
    for length in spans:
        positions.append(positions[-1] + length)
    supports = [ft.Support.pin(positions[0], "A")] + [
        ft.Support.roller(x, label) for x, label in zip(positions[1:], "BCD")]
    web_area = 1.600 * 0.016
    flange_area = 0.500 * 0.040
    lever = 0.800 + 0.020  # centroid of a flange from the neutral axis
    return ft.Beam(
        span=positions[-1],
        E=210.0,  # GPa
        I=0.016 * 1.600 ** 3 / 12.0 + 2.0 * flange_area * lever ** 2,  # m^4
        A=web_area + 2.0 * flange_area,  # m^2
        G=81.0,  # GPa
        supports=supports,
        units=UNITS,
    )


def extremes(line):
    """((x, min ordinate), (x, max ordinate)) of an influence line."""
    kmin = min(range(len(line.value)), key=line.value.__getitem__)
    kmax = max(range(len(line.value)), key=line.value.__getitem__)
    return (line.x[kmin], line.value[kmin]), (line.x[kmax], line.value[kmax])


def girder_quantities(beam):
    """(name, label with units, section position, quantity, where, side) of the lines drawn."""
    a, b = float(beam.supports[0].x), float(beam.supports[1].x)
    mid = 0.5 * (a + b)
    return [
        ("R_B", "Reaction at B, x = %g m\n[kN per kN]" % b, b, "ry", "B", "right"),
        ("M_mid1", "Moment at x = %g m\n(mid first span) [kNm per kN]" % mid, mid, "bm", mid, "right"),
        ("M_B", "Moment over B, x = %g m\n[kNm per kN]" % b, b, "bm", b, "right"),
    ]


def shear_quantities(beam):
    """The shear beside B, which jumps by the reaction there: printed only."""
    b = float(beam.supports[1].x)
    return [("V_B%s" % side[0], "Shear just %s of B, x = %g m [kN per kN]" % (side, b), b, "sf", b, side)
            for side in ("left", "right")]


def influence_lines(beam, quantities, n):
    """{name: InfluenceLine}, no gap between load positions wider than span / n."""
    return {name: ft.influence_line(beam, quantity, at, side=side, n=n)
            for name, _, _, quantity, at, side in quantities}


def plot(beam, lines, path):
    """Write the three lines to path; return False when matplotlib is missing."""
    try:
        import matplotlib
    except ImportError:
        return False
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    supports = [float(s.x) for s in beam.supports]
    quantities = girder_quantities(beam)
    fig, axes = plt.subplots(len(quantities), 1, figsize=(10, 8.5), sharex=True)
    for ax, (name, label, section, *_) in zip(axes, quantities):
        positions, ys = lines[name].x, lines[name].value
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
        (xlo, lo), (xhi, hi) = extremes(lines[name])
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
    axes[-1].set_xlim(-1.0, float(beam.span) + 1.0)
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
    parser.add_argument("--points", type=int, default=1000,
                        help="no gap between load positions wider than span / points (default 1000)")
    args = parser.parse_args(argv)

    beam = girder()
    quantities = girder_quantities(beam) + shear_quantities(beam)

    start = time.perf_counter()
    lines = influence_lines(beam, quantities, args.points)
    elapsed = time.perf_counter() - start
    solves = sum(len(line.x) for line in lines.values())

    print("Three-span girder %s m, I = %.4f m^4, A = %.4f m^2"
          % (" + ".join("%g" % s for s in SPANS), beam.I, beam.A))
    print("Unit load 1 kN downward, no gap wider than span / %d: %d solves for %d lines in %.3f s "
          "(%.1f us per solve)\n" % (args.points, solves, len(lines), elapsed, 1e6 * elapsed / solves))
    print("  %-52s %18s %18s" % ("influence line", "min (at x [m])", "max (at x [m])"))
    for name, label, *_ in quantities:
        (xlo, lo), (xhi, hi) = extremes(lines[name])
        print("  %-52s %9.4f (%5.1f) %9.4f (%5.1f)" % (label.replace("\n", " "), lo, xlo, hi, xhi))
    print()
    if plot(beam, lines, args.png):
        print("Influence lines written to %s" % args.png)
    else:
        print("matplotlib is not installed, so no picture was drawn.")
        print("To get %s: pip install matplotlib, then run this script again." % args.png)
    return 0


if __name__ == "__main__":
    sys.exit(main())
