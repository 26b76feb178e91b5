"""Every public name of flexura_tools is documented: a docstring of its own (or
inherited, as help() shows it), and a row in the README's reference table."""
import inspect
import re
import types
import typing
from functools import cached_property
from pathlib import Path

import flexura_tools as ft

README = Path(__file__).resolve().parents[3] / "README.md"
DOCUMENTED = (types.FunctionType, property, cached_property, staticmethod, classmethod)


def public_names():
    """(name, object) of __all__, of the public functions of its modules (plot), and
    of the public methods and properties of its classes."""
    for name in ft.__all__:
        value = getattr(ft, name)
        yield name, value
        if isinstance(value, types.ModuleType):
            yield from ((f"{name}.{n}", f) for n, f in vars(value).items()
                        if not n.startswith("_") and inspect.isfunction(f) and f.__module__ == value.__name__)
        if isinstance(value, type):
            for attr in dir(value):
                member = inspect.getattr_static(value, attr)
                if not attr.startswith("_") and isinstance(member, DOCUMENTED):
                    yield f"{name}.{attr}", getattr(value, attr) if isinstance(member, DOCUMENTED[3:]) else member


def is_alias(value):
    """A type alias (Literal, Union): Python gives it no docstring of its own; its
    row in the reference table documents it."""
    return typing.get_origin(value) is not None


def test_every_public_name_has_a_docstring():
    missing = [name for name, value in public_names()
               if not is_alias(value) and not (inspect.getdoc(value) or "").strip()]
    assert not missing, f"public names without a docstring: {', '.join(missing)}"


def reference_rows():
    section = README.read_text(encoding="utf-8").split("\n### Reference of flexura_tools\n", 1)[1]
    table = section.split("\n\n", 2)[1]
    return [re.findall(r"`([A-Za-z_][\w.]*)", row.split("|")[1]) for row in table.splitlines()[2:]]


def test_the_readme_reference_table_lists_every_public_name_and_only_those():
    listed = [name for row in reference_rows() for name in row]
    unknown = [name for name in listed if name not in ft.__all__]
    unlisted = [name for name in ft.__all__ if name not in listed]
    assert not unknown, f"the README's reference table names what flexura_tools does not export: {unknown}"
    assert not unlisted, f"public names missing from the README's reference table: {unlisted}"
