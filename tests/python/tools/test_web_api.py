"""The calculator's API through httpx's ASGI transport (no sockets): every endpoint's
answer equals what flexura_tools gives for the same model, and every refusal is a
JSON list of problems with paths, the right status and the security headers."""

import json
import math
import time
from pathlib import Path

import pytest

pytest.importorskip("starlette")
httpx = pytest.importorskip("httpx")

import flexura_tools as ft  # noqa: E402
from flexura_tools.web.api import dumps  # noqa: E402
from flexura_tools.web.app import Settings, create_app  # noqa: E402

ROOT = Path(__file__).resolve().parents[3]
THREE_SPAN = (ROOT / "examples" / "three_span.json").read_bytes()
JSON = {"Content-Type": "application/json"}
# The README's girder of the workflows, as a model file.
GIRDER = ft.Beam(
    title="girder", span=65, E=3.6e7, I=2.9, A=6.1, unit_names={"length": "m", "force": "kN"},
    supports=[ft.Support.pin(0, "A"), ft.Support.roller(20, "B"), ft.Support.roller(45, "C"),
              ft.Support.roller(65, "D")],
    cases={"G": [ft.UniformLoad(w=-180)], "Q": [ft.UniformLoad(w=-27)]},
    combinations=[ft.Combination(name="ULS", factors={"G": 1.35, "Q": 1.5}),
                  ft.Combination(name="SLS", factors={"G": 1.0, "Q": 1.0})])
GIRDER_FILE = ft.to_json(GIRDER).encode()


@pytest.fixture(scope="module")
def app():
    app = create_app(Settings(workers=2, timeout=20))
    yield app
    app.app.state.pool.close()


@pytest.fixture
def anyio_backend():
    return "asyncio"


async def call(app, endpoint, body=THREE_SPAN, params=None, headers=JSON, method="POST"):
    transport = httpx.ASGITransport(app=app, raise_app_exceptions=False)
    async with httpx.AsyncClient(transport=transport, base_url="http://test") as client:
        return await client.request(method, f"/api/{endpoint}", content=body, params=params, headers=headers)


def model_with(**changes):
    data = json.loads(THREE_SPAN)
    data.update(changes)
    return json.dumps(data).encode()


@pytest.mark.anyio
async def test_solve_gives_the_layers_results_and_both_sides_of_every_jump(app):
    answer = await call(app, "solve", params={"points": "50"})
    assert answer.status_code == 200 and answer.headers["cache-control"] == "no-store"
    data = answer.json()
    result = ft.load(ROOT / "examples" / "three_span.json").solve()
    assert [(r["label"], r["ry"]) for r in data["reactions"]] == [(r.label, r.ry) for r in result.reactions]
    bm = result.extremes().bm
    assert data["extremes"]["bm"] == {"max": bm.max, "x_max": bm.x_max, "min": bm.min, "x_min": bm.x_min}
    xs, sf = data["diagram"]["x"], data["diagram"]["sf"]
    k = xs.index(9.75)  # the 45 kN load: held twice, left then right, both exact
    assert xs[k + 1] == 9.75 and sf[k] - sf[k + 1] == pytest.approx(45, abs=1e-9)
    assert sf[k] == result.raw.eval_sf(math.nextafter(9.75, 0)) and sf[k + 1] == result.raw.eval_sf(9.75)
    assert xs[-1] == 19.5 and sf[-1] == result.raw.eval_sf(math.nextafter(19.5, 0))  # the end: its left side
    assert len(xs) == len(set(xs)) + 3  # the load, and the interior supports B and C


@pytest.mark.anyio
async def test_values_left_and_right_of_a_jump_and_nothing_off_the_beam(app):
    data = (await call(app, "values", params=[("x", "9.75"), ("x", "0"), ("x", "19.5")])).json()["values"]
    assert data[0]["left"]["sf"] - data[0]["right"]["sf"] == pytest.approx(45, abs=1e-9)
    assert data[1]["left"] is None and data[2]["right"] is None
    assert data[1]["right"]["sf"] == pytest.approx(22.5697592395)


@pytest.mark.anyio
async def test_workflows_give_the_layers_envelopes(app):
    combined = (await call(app, "combinations", GIRDER_FILE)).json()
    bm = ft.envelope(GIRDER.solve_combinations()).extremes()["bm"]
    assert (combined["extremes"]["bm"]["min"], combined["extremes"]["bm"]["min_by"]) == (bm.min, "ULS")
    moving = (await call(app, "vehicle", GIRDER_FILE, {"vehicle": "lm1_lane1", "step": "0.1"})).json()
    expected = ft.moving_load(GIRDER.with_loads([]), ft.lm1_lane1(), step=0.1, quantities=("sf", "bm", "d"))
    top = expected.extremes()["bm"]
    assert moving["positions"] == len(expected.members) == 1326
    assert moving["extremes"]["bm"]["max"] == top.max and moving["extremes"]["bm"]["x_max"] == top.x_max
    assert moving["extremes"]["bm"]["max_position"]["axles"] == list(expected.position(top.max_member).axles)
    line = (await call(app, "influence", GIRDER_FILE, {"quantity": "ry", "at": "B", "points": "65"})).json()
    assert line["value"] == ft.influence_line(GIRDER, "ry", "B", n=65).value
    shear = ft.influence_line(GIRDER, "sf", 32.5)
    asked = [("quantity", "sf"), ("at", "32.5"), ("x", "32.5"), ("x", "7")]
    line = (await call(app, "influence", GIRDER_FILE, asked)).json()
    k = line["x"].index(32.5)
    assert line["values"] == [{"x": 32.5, "left": shear.value[k], "right": shear.value[k + 1]},
                              {"x": 7.0, "left": shear(7.0), "right": shear(7.0)}]
    assert line["extremes"] == {"max": max(shear.value), "x_max": 32.5, "min": min(shear.value), "x_min": 32.5}


@pytest.mark.anyio
async def test_a_vehicle_is_converted_to_the_models_units(app):
    # The girder in N and mm: every length times 1000, moments times 1e6, the same traffic.
    in_mm = ft.to_json(ft.Beam(title="girder", span=65_000, E=3.6e4, I=2.9e12, A=6.1e6,
                               unit_names={"length": "mm", "force": "N"},
                               supports=[ft.Support.pin(0), *map(ft.Support.roller, (20_000, 45_000, 65_000))])).encode()
    metres = (await call(app, "vehicle", GIRDER_FILE, {"vehicle": "hl93_truck", "step": "0.1"})).json()
    millimetres = (await call(app, "vehicle", in_mm, {"vehicle": "hl93_truck", "step": "100"})).json()
    assert millimetres["vehicle"]["weights"] == [w * 1000 for w in metres["vehicle"]["weights"]]
    for q, factor in (("sf", 1e3), ("bm", 1e6)):
        assert millimetres["extremes"][q]["max"] == pytest.approx(metres["extremes"][q]["max"] * factor, rel=1e-12)
        assert millimetres["extremes"][q]["x_max"] == pytest.approx(metres["extremes"][q]["x_max"] * 1e3, rel=1e-12)
    in_feet = json.dumps({**json.loads(GIRDER_FILE), "unit_names": {"length": "ft", "force": "kip"}}).encode()
    lane = (await call(app, "vehicle", in_feet, {"vehicle": "lm1_lane1", "step": "1"})).json()["vehicle"]
    kip, foot = 4.4482216152605, 0.3048  # in kN and m, exactly
    assert [*lane["weights"], *lane["spacings"], lane["lane"]] == pytest.approx(
        [300 / kip, 300 / kip, 1.2 / foot, 27 * foot / kip], rel=1e-15)


@pytest.mark.anyio
async def test_model_is_the_text_save_writes(app):
    data = (await call(app, "model")).json()
    assert data["text"] == ft.to_json(ft.load(ROOT / "examples" / "three_span.json"))
    info = (await call(app, "info", None, method="GET")).json()
    assert [v["key"] for v in info["vehicles"]] == ["hl93_truck", "hl93_tandem", "lm1_lane1"]


WRONG_UNITS = model_with(unit_names={"length": "cm", "force": "N"})
BIG_ACROSS = json.dumps({**json.loads(THREE_SPAN), "supports": [{"type": "roller", "x": x / 10} for x in range(51)]})
NESTED = json.dumps({**json.loads(THREE_SPAN), "title": json.loads("[" * 20 + "]" * 20)})


@pytest.mark.anyio
@pytest.mark.parametrize("endpoint, body, params, headers, status, path, words", [
    ("solve", model_with(loads=[{"type": "point", "x": 25, "force": -1}]), None, JSON, 422, "loads[0].x",
     "25 is beyond the span 19.5"),
    ("solve", b'{"flexura_model": 1, "span": ', None, JSON, 400, "", "not valid JSON"),
    ("solve", b"[" * 200_000, None, JSON, 400, "", "not valid JSON"),
    ("solve", b'{"span": 1' + b"0" * 10_000 + b"}", None, JSON, 400, "", "not valid JSON"),
    ("solve", THREE_SPAN, None, {"Content-Type": "text/plain"}, 415, "", "must be JSON"),
    ("solve", BIG_ACROSS.encode(), None, JSON, 422, "supports", "51 supports; the cap is 50"),
    ("solve", model_with(loads=[{"type": "moment", "x": 1, "moment": 1}] * 101), None, JSON, 422, "loads",
     "the cap is 100"),
    ("solve", model_with(loads=[{"type": "polynomial", "coefficients": [1] * 11, "x1": 0, "x2": 1}]), None, JSON,
     422, "loads[0].coefficients", "11 coefficients; the cap is 10"),
    ("solve", NESTED.encode(), None, JSON, 422, "", "nested more than 8 deep"),
    ("solve", model_with(flexura_model=3, hinges=[1.0] * 21), None, JSON, 422, "hinges", "21 hinges; the cap is 20"),
    ("solve", model_with(units={f"k{i}": 1 for i in range(65)}), None, JSON, 422, "", "65 keys; the cap is 64"),
    ("solve", THREE_SPAN, {"points": "1001"}, JSON, 422, "query.points", "from 2 to 1000 (the cap)"),
    ("solve", THREE_SPAN, {"pionts": "10"}, JSON, 422, "query.pionts", "is not a parameter here"),
    ("values", THREE_SPAN, {"x": "20"}, JSON, 422, "query.x[0]", "from 0 to 19.5"),
    ("values", THREE_SPAN, [("x", "1")] * 101, JSON, 422, "query.x", "from 1 to 100 positions (the cap)"),
    ("combinations", THREE_SPAN, None, JSON, 422, "combinations", "the model has none"),
    ("vehicle", WRONG_UNITS, None, JSON, 422, "unit_names.length", "name its length unit as one of m, mm, ft"),
    ("influence", THREE_SPAN, {"x": "20"}, JSON, 422, "query.x[0]", "from 0 to 19.5"),
    ("vehicle", GIRDER_FILE, {"step": "0.01"}, JSON, 422, "query.step", "the cap is 2000: use a step of at least"),
    ("vehicle", GIRDER_FILE, {"vehicle": "truck"}, JSON, 422, "query.vehicle", "hl93_truck, hl93_tandem, lm1_lane1"),
    ("influence", THREE_SPAN, {"quantity": "ry", "at": "Z"}, JSON, 422, "query.at", "is not a support"),
    ("influence", THREE_SPAN, {"quantity": "bm", "at": "x"}, JSON, 422, "query.at", "is not a number"),
    ("nothing", THREE_SPAN, None, JSON, 404, "", "no endpoint 'nothing'"),
])
async def test_refusals_name_the_problem_and_its_place(app, endpoint, body, params, headers, status, path, words):
    answer = await call(app, endpoint, body, params, headers)
    assert answer.status_code == status, answer.text
    problems = answer.json()["problems"]
    assert any(p["path"] == path and words in p["message"] for p in problems), problems
    assert "Traceback" not in answer.text and answer.headers["cache-control"] == "no-store"
    assert "script-src 'self'" in answer.headers["content-security-policy"]


@pytest.mark.anyio
async def test_a_large_body_is_refused_before_it_is_read(app):
    started = time.monotonic()
    declared = await call(app, "solve", b"x" * (10 << 20))
    assert declared.status_code == 413 and "1 MiB" in declared.json()["problems"][0]["message"]

    async def stream():  # no Content-Length: counted while it arrives
        for _ in range(10):
            yield b" " * (1 << 20)
    streamed = await call(app, "solve", stream())
    assert streamed.status_code == 413 and time.monotonic() - started < 5


@pytest.mark.anyio
async def test_page_and_assets_run_only_their_own_scripts(app):
    transport = httpx.ASGITransport(app=app)
    async with httpx.AsyncClient(transport=transport, base_url="http://test") as client:
        page = await client.get("/")
        script = await client.get("/app.js")
        missing = await client.get("/../pyproject.toml")
        method = await client.get("/api/solve")
    csp = page.headers["content-security-policy"]
    assert "default-src 'none'" in csp and "'unsafe-inline'" not in csp and "http" not in csp
    assert page.headers["x-content-type-options"] == "nosniff" and page.headers["x-frame-options"] == "DENY"
    html = page.text
    assert "<script>" not in html and " style=" not in html and " on" not in html.replace(" one", "")
    assert "http" not in html and "javascript" in script.headers["content-type"]
    assert missing.status_code == 404 and method.status_code == 405 and "problems" in method.json()


@pytest.mark.anyio
async def test_a_calculation_past_the_time_out_is_cut_off_and_the_next_answered():
    app = create_app(Settings(workers=1, timeout=1.0))
    try:
        for _ in range(20):  # until the worker has started
            if (await call(app, "solve")).status_code == 200:
                break
        # Seconds of work: 50 supports, 1,900 positions read with 40 loads of the beam's own.
        heavy = json.dumps({**json.loads(GIRDER_FILE), "supports": [{"type": "pin", "x": 0}] + [
            {"type": "roller", "x": 65 * k / 49} for k in range(1, 50)], "loads": [
            {"type": "trapezoidal", "w1": -1.0, "w2": -2.0, "x1": 65 * k / 100, "x2": 65 * (k + 1) / 100}
            for k in range(40)]}).encode()
        started = time.monotonic()
        late = await call(app, "vehicle", heavy, {"step": "0.07", "points": "1000", "own_loads": "true"})
        assert late.status_code == 503 and "longer than the server's limit of 1 s" in late.text
        assert time.monotonic() - started < 3
        for _ in range(40):  # the successor starts in the background
            answer = await call(app, "solve")
            if answer.status_code == 200:
                break
        assert answer.status_code == 200
    finally:
        app.app.state.pool.close()


def test_serve_without_the_extra_names_the_pip_line(monkeypatch, capsys):
    from flexura_tools import cli
    from flexura_tools.web import serve
    monkeypatch.setattr(serve, "available", lambda: False)
    assert cli.main(["serve", "--port", "8123"]) == 2
    assert 'pip install "flexura[web]"' in capsys.readouterr().err
    assert serve.parser().parse_args([]).host == "127.0.0.1"


@pytest.mark.parametrize("document", [{"a": [1.0, math.nan]}, {"a": [{"b": math.inf}]}, [1e308, 1e308, -math.inf],
                                      {"a": -math.inf}])
def test_an_answer_never_holds_a_number_that_is_not_finite(document):
    with pytest.raises(ValueError, match="JSON compliant"):
        dumps(document)


def test_an_answer_keeps_every_number():
    document = {"x": [0.1, 1e-5, -0.0, 5e-324, 1e308, 1e308], "big": 2 ** 70, "title": None, "é": [1, 2.5]}
    assert json.loads(dumps(document)) == document and dumps(document) == dumps(json.loads(dumps(document)))
