"""The model file: one JSON object (or TOML table) with a version key.

    {"flexura_model": 1, "title": "...", "span": 20.0, "E": 2.1e8, "I": 8.356e-5,
     "A": 5.381e-3, "G": 8.1e7, "units": {"deflection": 0.001},
     "unit_names": {"force": "kN", "length": "m"},
     "supports": [{"type": "pin", "x": 0.0, "label": "A"}, {"x": 20.0, "ky": 8000.0}],
     "loads": [{"type": "uniform", "w": -12.0}, {"type": "point", "x": 9.0, "force": -45.0}]}

Keys are the field names of the model's records. A support is either of a
type ("pin", "roller", "fixed") or gives its own kx, ky and km (0 when left
out). A load's "type" is "point", "uniform", "trapezoidal", "polynomial" or
"moment". JSON has no infinity: it is written as the text "inf" ("-inf",
"nan" likewise), which every JSON reader accepts. Numbers are written as
Python's repr, so they read back to the same bits. Unknown or repeated keys
are errors, reported with every other problem of the model.

Version 2 adds load cases and combinations; a model without them is written
as version 1, which readers of either version read:

    "flexura_model": 2, ...,
    "cases": {"D": [{"type": "uniform", "w": -12.0}], "L": [...]},
    "combinations": [{"name": "ULS", "factors": {"D": 1.35, "L": 1.5}}]

Version 3 adds sections, hinges, rotational springs (a finite km other than 0)
and the loads "settlement", "curvature" and "thermal"; a model is written as
the lowest version that holds it:

    "flexura_model": 3, ...,
    "sections": [{"x1": 0.0, "x2": 8.0}, {"x1": 8.0, "x2": 12.0, "I": 2e-4}],
    "hinges": [4.0],
    "supports": [..., {"x": 20.0, "ky": "inf", "km": 5e5}],
    "loads": [{"type": "settlement", "support": "B", "dy": -20.0},
              {"type": "thermal", "x1": 0.0, "x2": 20.0, "alpha": 1.2e-5, "dT": -10.0, "depth": 0.8}]
"""

from __future__ import annotations

import json
import math
import numbers
import os
from collections import Counter
from collections.abc import Callable, Sequence
from dataclasses import MISSING, fields
from pathlib import Path
from typing import Any, TypeVar, cast

from .checks import near_miss
from .errors import ModelError, Problem, show
from .loads import IMPOSED, LOAD_TYPES, Load, PolynomialLoad, Settlement
from .model import Beam, Combination
from .sections import Section
from .supports import INF, KINDS, Support

T = TypeVar("T")
FORMAT_KEY = "flexura_model"
VERSION = 1
CASES_VERSION = 2  # the first version with load cases and combinations
BUILD_VERSION = 3  # the first version with sections, hinges, rotational springs and imposed deformations
_BEAM_KEYS = (FORMAT_KEY, "title", "span", "E", "I", "A", "G", "units", "unit_names", "supports", "loads",
              "cases", "combinations", "sections", "hinges")
_SECTION_KEYS = tuple(f.name for f in fields(Section))
_LOADS: dict[str, type[Load]] = {cls.TYPE: cls for cls in LOAD_TYPES}
_NON_FINITE = {"inf": INF, "-inf": -INF, "nan": math.nan}
# A model file nests objects and lists five deep at most (cases, a case's loads, a
# load, its coefficients); deeper data is refused before any check walks it.
MAX_DEPTH = 8
# Unknown keys of one object reported each by name (with the near miss); more are counted.
MAX_UNKNOWN = 20


def _same(value: object, default: object) -> bool:
    """Equal to the default to the bit (so -0.0 is not 0.0), hence safe to leave out."""
    if isinstance(value, float) and isinstance(default, float):
        return value == default and math.copysign(1.0, value) == math.copysign(1.0, default)
    return value is default


def encode(value: object) -> object:
    """A value as written to JSON: non-finite floats as text, in lists and objects too;
    other real numbers (Fraction, numpy's) as the float that solve() takes them for."""
    if isinstance(value, numbers.Real) and not isinstance(value, (bool, int, float)):
        value = int(value) if isinstance(value, numbers.Integral) else float(value)
    if isinstance(value, float) and not math.isfinite(value):
        return "nan" if math.isnan(value) else ("inf" if value > 0 else "-inf")
    if isinstance(value, (list, tuple)):
        return [encode(v) for v in cast("Sequence[object]", value)]
    if isinstance(value, dict):
        return {k: encode(v) for k, v in cast("dict[str, object]", value).items()}
    return value


def _in(value: object) -> Any:
    """A number as read: ints as floats, "inf", "-inf" and "nan" as floats; anything
    else is kept, unchecked (hence Any), for the model's checks to report."""
    if isinstance(value, int) and not isinstance(value, bool):
        try:
            return float(value)
        except OverflowError:
            return value
    if isinstance(value, str) and value in _NON_FINITE:
        return _NON_FINITE[value]
    return value


def _record(item: Support | Load | Section) -> dict[str, object]:
    """The fields of a support or load that differ from their defaults."""
    out: dict[str, object] = {}
    for f in fields(item):
        value = getattr(item, f.name)
        if f.init and not _same(value, f.default):
            out[f.name] = encode(value)
    return out


def _support(support: Support) -> dict[str, object]:
    restraints = {"kx": support.kx, "ky": support.ky, "km": support.km}
    for name, kind in KINDS.items():
        if all(_same(restraints[k], v) for k, v in kind.items()):
            out = {"type": name, "x": encode(support.x)}
            if support.label is not None:
                out["label"] = support.label
            return out
    return _record(support)


def to_dict(beam: Beam) -> dict[str, object]:
    """The model as the file's object (JSON types; non-finite numbers as text)."""
    data: dict[str, object] = {FORMAT_KEY: _version(beam)}
    if beam.title:
        data["title"] = beam.title
    data.update({"span": encode(beam.span), "E": encode(beam.E), "I": encode(beam.I)})
    if beam.A is not None:
        data["A"] = encode(beam.A)
    data["G"] = encode(beam.G)
    if beam.units:
        data["units"] = {k: encode(v) for k, v in beam.units.items()}
    if beam.unit_names:
        data["unit_names"] = dict(beam.unit_names)
    data["supports"] = [_support(s) for s in beam.supports]
    data["loads"] = [_load(load) for load in beam.loads]
    if beam.cases:
        data["cases"] = {name: [_load(load) for load in loads] for name, loads in beam.cases.items()}
    if beam.combinations:
        data["combinations"] = [{"name": c.name, "factors": {k: encode(v) for k, v in c.factors.items()}}
                                for c in beam.combinations]
    if beam.sections:
        data["sections"] = [_record(section) for section in beam.sections]
    if beam.hinges:
        data["hinges"] = [encode(x) for x in beam.hinges]
    return data


def _version(beam: Beam) -> int:
    """The lowest version that holds the model."""
    loads = [*beam.loads, *(load for loads in beam.cases.values() for load in loads)]
    if beam.sections or beam.hinges or any(isinstance(load, IMPOSED) for load in loads) or any(
            s.rotational_spring() for s in beam.supports):
        return BUILD_VERSION
    return CASES_VERSION if beam.cases or beam.combinations else VERSION


def _load(load: Load) -> dict[str, object]:
    return {"type": load.TYPE, **_record(load)}


def to_json(beam: Beam) -> str:
    """The model file's text: one line per support and per load."""
    lines: list[str] = []
    for key, value in to_dict(beam).items():
        if isinstance(value, list) and value:
            records = cast("list[object]", value)
            items = ",\n".join("    " + json.dumps(item, allow_nan=False) for item in records)
            text = f"[\n{items}\n  ]"
        elif key == "cases" and isinstance(value, dict):
            cases = cast("dict[str, object]", value)
            items = ",\n".join(f"    {json.dumps(name)}: {json.dumps(loads, allow_nan=False)}"
                                for name, loads in cases.items())
            text = f"{{\n{items}\n  }}"
        else:
            text = json.dumps(value, allow_nan=False)
        lines.append(f"  {json.dumps(key)}: {text}")
    return "{\n" + ",\n".join(lines) + "\n}\n"


def save(beam: Beam, path: str | os.PathLike[str]) -> None:
    """Write the model as a JSON model file (TOML is read, not written). A model with
    a value JSON cannot hold raises ModelError with the model's problems."""
    if Path(path).suffix.lower() == ".toml":
        raise ValueError(f"{os.fspath(path)}: save() writes JSON; give a .json path")
    try:
        text = to_json(beam)
    except (TypeError, ValueError) as error:  # an object JSON has no form for
        raise ModelError(beam.problems() or [Problem("", f"cannot be written as JSON: {error}")]) from None
    Path(path).write_text(text, encoding="utf-8")


def load(path: str | os.PathLike[str]) -> Beam:
    """Read and check a model file (.toml as TOML, anything else as JSON); raise
    ModelError with every problem (text that is not UTF-8 too), OSError when the file
    cannot be read."""
    data = Path(path).read_bytes()
    try:
        text = data.decode("utf-8")
    except UnicodeDecodeError as error:
        raise ModelError([Problem("", f"is not UTF-8 text: byte 0x{data[error.start]:02x} at offset "
                                      f"{error.start} cannot be read")]) from None
    return from_toml(text) if Path(path).suffix.lower() == ".toml" else from_json(text)


class _Object(dict[str, Any]):
    """A JSON object that remembers keys given twice."""

    duplicates: list[str]


def _object(pairs: list[tuple[str, Any]]) -> _Object:
    obj = _Object(pairs)
    obj.duplicates = [k for k, count in Counter(k for k, _ in pairs).items() if count > 1]
    return obj


def _bare_constant(name: str) -> float:
    raise ValueError(f'{name} is not a JSON number; write it as text ("inf", "-inf" or "nan")')


def from_json(text: str) -> Beam:
    """The checked Beam of a model file's JSON text (load() of a .json file)."""
    try:
        data = json.loads(text, object_pairs_hook=_object, parse_constant=_bare_constant)
    except json.JSONDecodeError as error:
        raise ModelError([Problem("", f"not valid JSON: {error.msg} (line {error.lineno}, "
                                      f"column {error.colno})")]) from None
    except ValueError as error:  # a bare Infinity, or an integer of more digits than Python reads
        raise ModelError([Problem("", f"not valid JSON: {error}")]) from None
    except RecursionError:
        raise ModelError([Problem("", f"not a model file: nested deeper than {MAX_DEPTH} levels")]) from None
    return from_dict(data)


def from_toml(text: str) -> Beam:
    """The checked Beam of a model file's TOML text (Python 3.11 and newer)."""
    try:
        import tomllib
    except ImportError:  # Python 3.10
        raise ModelError([Problem("", "TOML model files need Python 3.11 or newer; use JSON")]) from None
    try:
        data = tomllib.loads(text)
    except ValueError as error:  # TOMLDecodeError, or an integer of more digits than Python reads
        raise ModelError([Problem("", f"not valid TOML: {error}")]) from None
    except RecursionError:
        raise ModelError([Problem("", f"not a model file: nested deeper than {MAX_DEPTH} levels")]) from None
    return from_dict(data)


def from_dict(data: object) -> Beam:
    """The Beam of a model file's object, checked; ModelError lists every problem."""
    deep = _too_deep(data)
    if deep is not None:
        raise ModelError([Problem(deep, f"nests lists or objects deeper than a model file does ({MAX_DEPTH} levels)")])
    reader = _Reader()
    beam = reader.beam(data)
    if beam is not None and not reader.problems:
        return beam.check()  # the model's own checks, run once (the calculator's solve: 7% of its time)
    found = reader.problems
    if beam is not None:
        found += [p for p in beam.problems() if not reader.covers(p.path)]
    raise ModelError(found)


def _kept(value: object) -> Any:
    """A value as read, unchecked, for the model's checks to report."""
    return value


def _too_deep(data: object) -> str | None:
    """The path of the first value nested deeper than MAX_DEPTH, or None. Walked
    without recursion, so any depth (and a cycle in Python data) ends."""
    stack: list[tuple[object, str, int]] = [(data, "", 0)]
    while stack:
        value, path, depth = stack.pop()
        if isinstance(value, dict):
            items = [(_join(path, k), v) for k, v in cast("dict[object, object]", value).items()]
        elif isinstance(value, list):
            items = [(f"{path}[{k}]", v) for k, v in enumerate(cast("list[object]", value))]
        else:
            continue
        if depth == MAX_DEPTH:
            return path
        stack += [(v, p, depth + 1) for p, v in items]
    return None


def _join(path: str, key: object) -> str:
    """A key's path; an empty key shows as "" so that the path is never empty."""
    name = key if key != "" else '""'
    return f"{path}.{name}" if path else str(name)


class _Reader:
    """Builds the model's records from the file's objects, noting what it could not
    read; each record it could not build stands as None, so that indices hold."""

    def __init__(self) -> None:
        self.problems: list[Problem] = []
        self._bad: list[str] = []
        self.version: object = BUILD_VERSION

    def newer(self, path: str, since: int) -> None:
        """Something that came with a later version than the file's: named, with the version to write."""
        if isinstance(self.version, int) and self.version < since:
            self.fail(path, f'came with version {since}: write "{FORMAT_KEY}": {since}')

    def fail(self, path: str, message: str) -> None:
        self.problems.append(Problem(path, message))
        self._bad.append(path)

    def covers(self, path: str) -> bool:
        """Whether a problem at path was already reported by the reader."""
        return any(path == bad or path.startswith((bad + ".", bad + "[")) for bad in self._bad)

    def keys(self, obj: dict[str, object], path: str, known: tuple[str, ...], required: tuple[str, ...],
             hint: str = "") -> bool:
        """Report unknown, repeated and missing keys; False when a required one is missing.
        Unknown keys past the first MAX_UNKNOWN are counted, not each reported."""
        unknown = [key for key in obj if key not in known]
        for key in unknown[:MAX_UNKNOWN]:
            self.fail(_join(path, key), f"is not a known key{near_miss(key, known) or hint}")
        if len(unknown) > MAX_UNKNOWN:
            self.fail(path, f"has {len(unknown) - MAX_UNKNOWN} more keys that are not known ({len(unknown)} in all)")
        self.repeated(obj, path)
        missing = [k for k in required if k not in obj]
        for key in missing:
            self.fail(_join(path, key), "is missing")
        return not missing

    def repeated(self, obj: object, path: str) -> None:
        for key in dict.fromkeys(getattr(obj, "duplicates", ())):
            self.fail(_join(path, key), "is given more than once")

    def beam(self, value: object) -> Beam | None:
        data = self.record(value, "")
        if data is None:
            return None
        version = data.get(FORMAT_KEY)
        if FORMAT_KEY not in data:
            self.fail(FORMAT_KEY, f'is missing: a model file starts with "{FORMAT_KEY}": {VERSION}')
        elif isinstance(version, bool) or version not in (VERSION, CASES_VERSION, BUILD_VERSION):
            self.fail(FORMAT_KEY, f"version {show(version)} is not known here; this reader knows "
                                  f"{VERSION}, {CASES_VERSION} and {BUILD_VERSION}")
            return None
        self.version = version
        self.keys(data, "", _BEAM_KEYS, ("span", "E", "I", "supports"))
        for key in ("cases", "combinations"):
            if key in data:
                self.newer(key, CASES_VERSION)
        for key in ("sections", "hinges"):
            if key in data:
                self.newer(key, BUILD_VERSION)
        supports = [self.read(self.support, item, f"supports[{k}]")
                    for k, item in enumerate(self.items(data, "supports"))]
        loads = [self.read(self.load, item, f"loads[{k}]") for k, item in enumerate(self.items(data, "loads"))]
        cases = {name: [self.read(self.load, item, f"cases.{name}[{k}]") for k, item in enumerate(items)]
                 for name, items in self.case_lists(data).items()}
        combinations = [self.read(self.combination, item, f"combinations[{k}]")
                        for k, item in enumerate(self.items(data, "combinations"))]
        sections = [self.read(self.section, item, f"sections[{k}]") for k, item in enumerate(self.items(data, "sections"))]
        hinges = [_in(x) for x in self.items(data, "hinges")]
        area = data.get("A")
        # None stands for a record that could not be read
        unchecked: Any = (supports, loads, cases, combinations, sections)
        return Beam(
            span=_in(data.get("span")), E=_in(data.get("E")), I=_in(data.get("I")),
            A=None if area is None else _in(area), G=_in(data.get("G", INF)),
            supports=unchecked[0], loads=unchecked[1],
            units=self.mapping(data, "units", _in), unit_names=self.mapping(data, "unit_names", _kept),
            title=_kept(data.get("title", "")), cases=unchecked[2], combinations=unchecked[3],
            sections=unchecked[4], hinges=hinges)

    def section(self, item: object, path: str) -> Section | None:
        obj = self.record(item, path)
        if obj is None or not self.keys(obj, path, _SECTION_KEYS, ("x1", "x2")):
            return None
        return Section(**{k: _in(v) for k, v in obj.items()})

    def read(self, build: Callable[[object, str], T | None], item: object, path: str) -> T | None:
        """One record, or None (its problems reported, and any others of it left out)."""
        record = build(item, path)
        if record is None:
            self._bad.append(path)
        return record

    def items(self, data: dict[str, object], key: str) -> list[object]:
        value = data.get(key, [])
        if isinstance(value, list):
            return cast("list[object]", value)
        self.fail(key, f"must be a list [...], got {show(value)}")
        return []

    def mapping(self, data: dict[str, object], key: str, convert: Callable[[object], Any]) -> dict[str, Any]:
        value = data.get(key, {})
        if isinstance(value, dict):
            return {k: convert(v) for k, v in cast("dict[str, object]", value).items()}
        self.fail(key, f"must be an object {{...}}, got {show(value)}")
        return {}

    def case_lists(self, data: dict[str, object]) -> dict[str, list[object]]:
        """The load cases as read: each a name and its list of load objects."""
        value = data.get("cases", {})
        if not isinstance(value, dict):
            self.fail("cases", f'must be an object {{"name": [loads...]}}, got {show(value)}')
            return {}
        self.repeated(cast(object, value), "cases")
        out: dict[str, list[object]] = {}
        for name, items in cast("dict[str, object]", value).items():
            if isinstance(items, list):
                out[name] = cast("list[object]", items)
            else:
                self.fail(f"cases.{name}", f"must be a list of loads [...], got {show(items)}")
        return out

    def combination(self, item: object, path: str) -> Combination | None:
        obj = self.record(item, path)
        if obj is None or not self.keys(obj, path, ("name", "factors"), ("name", "factors")):
            return None
        factors = obj["factors"]
        if not isinstance(factors, dict):
            self.fail(f"{path}.factors", f'must be an object {{"case": factor, ...}}, got {show(factors)}')
            return None
        self.repeated(cast(object, factors), f"{path}.factors")
        values = {k: _in(v) for k, v in cast("dict[str, object]", factors).items()}
        return Combination(name=_kept(obj["name"]), factors=values)

    def record(self, item: object, path: str) -> dict[str, object] | None:
        if isinstance(item, dict):
            return cast("dict[str, object]", item)
        self.fail(path, "a model file holds one object {...}" if not path else "must be an object {...}")
        return None

    def support(self, item: object, path: str) -> Support | None:
        obj = self.record(item, path)
        if obj is None:
            return None
        kind = obj.get("type")
        if "type" in obj and not (isinstance(kind, str) and kind in KINDS):
            hint = near_miss(kind, KINDS) if isinstance(kind, str) else ""
            self.fail(f"{path}.type", f"{show(kind)} is not a support type{hint} (pin, roller, fixed; "
                                      "or leave out the type and give kx, ky and km)")
            return None
        known: tuple[str, ...] = ("x", "kx", "ky", "km", "label")
        hint = ""
        if kind is not None:
            known, hint = ("type", "x", "label"), f" (a {kind} sets kx, ky and km itself)"
        if not self.keys(obj, path, known, ("x",), hint):
            return None
        restraints: dict[str, Any] = KINDS[kind] if isinstance(kind, str) else {
            k: _in(obj.get(k, 0.0)) for k in ("kx", "ky", "km")}
        support = Support(x=_in(obj["x"]), label=_kept(obj.get("label")), **restraints)
        if isinstance(support.km, float) and support.rotational_spring():
            self.newer(f"{path}.km", BUILD_VERSION)
        return support

    def load(self, item: object, path: str) -> Load | None:
        obj = self.record(item, path)
        if obj is None:
            return None
        kind = obj.get("type")
        cls = _LOADS.get(kind) if isinstance(kind, str) else None
        if cls is None:
            types = ", ".join(_LOADS)
            if "type" not in obj:
                self.fail(f"{path}.type", f"is missing ({types})")
            else:
                hint = near_miss(kind, _LOADS) if isinstance(kind, str) else ""
                self.fail(f"{path}.type", f"{show(kind)} is not a load type{hint} ({types})")
            return None
        names = tuple(f.name for f in fields(cls))
        required = tuple(f.name for f in fields(cls) if f.default is MISSING)
        if not self.keys(obj, path, ("type", *names), required):
            return None
        values: dict[str, Any] = {k: _in(v) for k, v in obj.items() if k in names}
        if cls in IMPOSED:
            self.newer(f"{path}.type", BUILD_VERSION)
        if cls is Settlement:  # a support's index stays a whole number
            values["support"] = _kept(obj["support"])
        if cls is PolynomialLoad:
            coefficients = obj["coefficients"]
            if not isinstance(coefficients, list):
                self.fail(f"{path}.coefficients", f"must be a list of numbers, got {show(coefficients)}")
                return None
            values["coefficients"] = [_in(c) for c in cast("list[object]", coefficients)]
        return cls(**values)
