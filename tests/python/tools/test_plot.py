"""The pictures: figures returned and drawn into given axes, argument problems,
loads drawn at their angle with their values, and zero diagrams kept flat."""

import math

import pytest

import flexura_tools as ft
from flexura_tools import plot

matplotlib = pytest.importorskip("matplotlib", reason="the pictures need matplotlib (the plot extra)")
matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
from matplotlib.figure import Figure  # noqa: E402

NAMES = {"force": "kN", "length": "m", "moment": "kNm"}


def beam(loads, **kw):
    return ft.Beam(span=10, E=2.1e8, I=8e-5, A=5e-3, supports=[ft.Support.pin(0, "A"), ft.Support.roller(10, "B")],
                   loads=loads, unit_names=NAMES, **kw)


@pytest.fixture(autouse=True)
def no_open_figures():
    yield
    plt.close("all")


def texts(ax):
    return [t.get_text() for t in ax.texts]


def test_diagrams_new_figure_and_given_axes():
    result = beam([ft.UniformLoad(w=-12)]).solve()
    fig = plot.diagrams(result)
    assert isinstance(fig, Figure) and len(fig.axes) == 4  # the sketch, sf, bm, d: no normal force
    given, axes = plt.subplots(1, 2)
    assert plot.diagrams(result, ["bm", "d"], ax=axes) is given and len(given.axes) == 2
    assert axes[0].get_ylabel() == "bending moment [kNm]" and any("at x = 5" in t for t in texts(axes[0]))
    empty = Figure()
    assert plot.diagrams(result, "sf", figure=empty) is empty and len(empty.axes) == 2


def test_save_png_leaves_pyplot_alone(tmp_path):
    """A loop of saved pictures must not pile up figures in pyplot (nor switch its backend)."""
    before, backend = plt.get_fignums(), matplotlib.get_backend()
    result = beam([ft.PointLoad(x=4, force=-45)]).solve()
    for k in range(3):
        plot.save_png(result, tmp_path / f"b{k}.png")
    assert plt.get_fignums() == before and matplotlib.get_backend() == backend
    assert (tmp_path / "b2.png").stat().st_size > 10_000


def test_argument_problems_are_listed_together():
    result = beam([ft.UniformLoad(w=-12)]).solve()
    _, axes = plt.subplots(1, 3)
    with pytest.raises(ft.ModelError) as caught:
        plot.diagrams(result, ["bm", "moment"], points=1, ax=axes)
    assert [p.path for p in caught.value.problems] == ["quantities[1]", "points", "ax"]
    with pytest.raises(ft.ModelError, match="ax: must be a matplotlib Axes"):
        plot.diagrams(result, ["bm"], ax="left")
    with pytest.raises(ft.ModelError, match="figure: give either ax"):
        plot.diagrams(result, ["bm"], ax=axes[0], figure=Figure())


def test_without_matplotlib_a_clear_message(monkeypatch):
    monkeypatch.setattr(plot, "available", lambda: False)
    with pytest.raises(ImportError, match=r"pip install 'flexura\[plot\]'"):
        plot.diagrams(beam([ft.UniformLoad(w=-12)]).solve())


@pytest.mark.parametrize("angle, force", [(90, -45), (30, -20), (150, 10), (-60, 8), (0, 5)])
def test_point_load_drawn_at_its_angle_with_its_value(angle, force):
    fig, ax = plt.subplots()
    plot.sketch(ax, beam([ft.PointLoad(x=4, force=force, angle=angle)]))
    (arrow,) = [a for a in ax.texts if a.get_text() == "" and a.arrow_patch is not None]
    dx, dy = arrow.xyann  # the far end, in points from the point of application
    head_far = arrow.arrowprops["arrowstyle"] == "<|-"  # pulling: the arrow starts at the beam
    pointing = math.degrees(math.atan2(dy, dx) if head_far else math.atan2(-dy, -dx))
    assert pointing == pytest.approx(math.degrees(math.atan2(math.copysign(1, force) * math.sin(math.radians(angle)),
                                                             math.copysign(1, force) * math.cos(math.radians(angle)))))
    label = f"{abs(force):g} kN" + ("" if angle == 90 else f", {angle:g}\u00b0")
    assert label in texts(ax)


def test_distributed_loads_and_moments_labelled_with_units():
    fig, ax = plt.subplots()
    plot.sketch(ax, beam([ft.UniformLoad(w=-12, x1=0, x2=6), ft.TrapezoidalLoad(w1=0, w2=-8, x1=6, x2=10),
                          ft.Moment(x=3, moment=20)]))
    assert {"12 kN/m", "8 kN/m", "20 kNm"} <= set(texts(ax))
    assert "0 kN/m" not in texts(ax)  # the trapezoid's zero end is not written


@pytest.mark.parametrize("factor", [1.0, 1e-12])
def test_zero_diagram_is_flat_and_a_small_one_is_not(factor):
    """A load on a support leaves a deflection of rounding (1e-20) that must not fill
    the panel; the same scaled by 1e-12 off the support is a real diagram."""
    flat = beam([ft.PointLoad(x=0, force=-0.3 * factor)]).solve()
    assert max(abs(v) for v in flat.diagram(50).d) < 1e-18 * factor
    real = beam([ft.PointLoad(x=4, force=-0.3 * factor)]).solve()
    fig = plot.diagrams(flat, ["d"])
    assert fig.axes[1].get_ylim() == (-1.0, 1.0) and "zero along the whole beam" in texts(fig.axes[1])
    bottom, top = plot.diagrams(real, ["d"]).axes[1].get_ylim()
    assert -1e-3 * factor < bottom < 0 < top < 1e-3 * factor


FIXED_ENDS = [ft.Support.fixed(0, "A"), ft.Support.roller(6, "B"), ft.Support.fixed(10, "C")]
ROTATIONAL_SPRING = [ft.Support.pin(0, "A"), ft.Support(x=10, ky=math.inf, km=3e4, label="C")]


@pytest.mark.parametrize("supports, extended, written", [
    (FIXED_ENDS, {"hinges": [3.0], "loads": [ft.UniformLoad(w=-12)]}, []),
    (FIXED_ENDS, {"loads": [ft.Settlement(support="B", dy=-0.02)]}, ["\u03b4 = 0.02 m"]),
    (FIXED_ENDS, {"loads": [ft.Settlement(support="A", rotation=0.001)]}, ["\u03b8 = 0.001 rad"]),
    (ROTATIONAL_SPRING, {"loads": [ft.UniformLoad(w=-12)]}, ["km = 30000 kNm/rad"]),
    (None, {"loads": [ft.Curvature(x1=2, x2=8, k1=1e-4, k2=2e-4)]}, ["\u03ba = 0.0001 \u2192 0.0002 1/m"]),
    (FIXED_ENDS, {"loads": [ft.ThermalGradient(x1=0, x2=10, alpha=1e-5, dT=-10, depth=0.5)]},
     ["\u0394T = -10, \u03b1 = 1e-05, depth 0.5 m"]),
    (FIXED_ENDS, {"sections": [ft.Section(x1=0, x2=5), ft.Section(x1=5, x2=10, I=2e-4)],
                  "loads": [ft.UniformLoad(w=-12)]}, ["I = 8e-05", "I = 0.0002"]),
])
def test_extended_model_drawn_with_its_values(supports, extended, written):
    model = ft.Beam(span=10, E=2.1e8, I=8e-5, supports=supports or [ft.Support.pin(0), ft.Support.roller(10)],
                    unit_names=NAMES, **extended)
    fig = plot.diagrams(model.solve(), ["bm", "rotation"])
    sketch, moment, rotation = fig.axes
    assert set(written) <= set(texts(sketch))
    hinges = [line for line in sketch.lines if line.get_marker() == "o" and list(line.get_ydata()) == [0.0]]
    assert [list(h.get_xdata()) for h in hinges] == [[x] for x in extended.get("hinges", [])]
    widths = {line.get_linewidth() for line in sketch.lines if list(line.get_ydata()) == [0.0, 0.0]}
    assert widths == ({3.0, 7.5} if "sections" in extended else {3.0})  # I twice as large: 2.5 times as wide
    for x in extended.get("hinges", []):  # the moment vanishes at a hinge, and the rotation is read on both sides
        xs, ys = rotation.lines[0].get_data()
        k = max(j for j in range(len(xs)) if xs[j] < x)  # the diagram's mesh reads just either side
        assert xs[k + 1] - xs[k] < 1e-6 and abs(ys[k + 1] - ys[k]) > 1e-3 and abs(model.solve().bm(x)) < 1e-9


@pytest.mark.parametrize("dy, rotation", [(-0.02, 0.0), (0.02, 0.0), (0.0, 0.001), (0.0, -0.001), (-0.01, -0.002)])
def test_settlement_arrows_point_the_way_the_base_moves_and_turns(dy, rotation):
    fig, ax = plt.subplots()
    plot.sketch(ax, ft.Beam(span=10, E=2.1e8, I=8e-5, supports=FIXED_ENDS, unit_names=NAMES,
                            loads=[ft.Settlement(support="C", dy=dy, rotation=rotation)]))
    arrows = [a for a in ax.texts if a.get_text() == "" and a.arrow_patch is not None]
    straight = [a for a in arrows if "connectionstyle" not in a.arrowprops]
    curved = [a for a in arrows if "connectionstyle" in a.arrowprops]
    assert len(straight) == (dy != 0) and len(curved) == (rotation != 0)
    for a in straight:  # the far end is 13 points above; the head at it points up
        assert a.xyann == (0, 13) and (a.arrowprops["arrowstyle"] == "<|-") == (dy > 0)
    for a in curved:  # an arc over the top, from its tail to its head: leftward turns counter-clockwise
        (tail_x, _), (head_x, _) = a.xyann, a.xy
        bulge = float(a.arrowprops["connectionstyle"].split("rad=")[1])
        assert (head_x < tail_x) == (rotation > 0) and bulge * (tail_x - head_x) > 0


@pytest.mark.parametrize("x1, x2, widths, marks, form", [
    (6, 10, [1.9, 1.2], [8], 1),    # one line fits on neither side of the pier: two lines do
    (0, 6, [1.0], [0, 3], 0),       # a support at the start: the label after it
    (16, 24, [1.5, 0.8], [20], 0),  # room before the pier
    (0, 2, [3.0], [1], None),       # nothing fits: the middle of the widest part
])
def test_section_labels_are_placed_clear_of_supports(x1, x2, widths, marks, form):
    gap = 0.24
    k, x, ha = plot.clear_place(x1, x2, widths, gap, marks)
    if form is None:
        assert ha == "center" and k == len(widths) - 1
        return
    assert (k, ha) == (form, "left") and x1 <= x and x + widths[k] <= x2
    assert not any(x - gap < m < x + widths[k] + gap for m in marks)
