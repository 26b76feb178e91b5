import importlib
import importlib.util
import inspect
import os
import shutil
import subprocess
import sys
import sysconfig
import textwrap
import weakref
from pathlib import Path

import pytest

import flexura
from shared import CENTRE_LOAD, QUERIES, solve

def test_public_names():
    assert flexura.__all__ == ["solve", "BeamResult", "__doc__"]
    assert isinstance(flexura.__doc__, str) and "\n" not in flexura.__doc__
    namespace = {}
    exec("from flexura import *", namespace)
    assert namespace["__doc__"] == flexura.__doc__ and namespace["solve"] is flexura.solve


def test_reimport_returns_the_same_module():
    saved = sys.modules.pop("flexura")
    try:
        assert importlib.import_module("flexura") is saved
        assert saved.__all__ == ["solve", "BeamResult", "__doc__"]
    finally:
        sys.modules["flexura"] = saved


@pytest.mark.parametrize("name, signature, doc", [
    ("solve", "(span, e, i, a, g, supports, loads, units=None)",
     "Build and solve a beam. `supports` are (pos, kx, ky, km) with float('inf')\nfor rigid; `loads` are "
     "(kind, params) where kind is point/udl/trap/torque/\ndist. Raises ValueError if the beam is unstable / singular."),
    ("reactions", "()", "{position_str: [Rx, Ry, M]} in the caller's force/moment units."),
    ("plotting_vectors", "(n=200)", "{x, nf, sf, bm, d} sampled over the library's mesh (n linspace points\n"
                                    "plus +/-1e-7 around every support/load feature), as plain lists."),
] + [(q, "(x)", None) for q in QUERIES])
def test_signatures_and_docstrings(centre, name, signature, doc):
    target = flexura.solve if name == "solve" else getattr(centre, name)
    assert str(inspect.signature(target)) == signature
    assert target.__doc__ == doc


def test_beam_result_type():
    cls = flexura.BeamResult
    assert cls.__name__ == cls.__qualname__ == "BeamResult" and cls.__bases__ == (object,)
    assert cls.__module__ == "flexura"
    assert cls.__doc__ == ("Solved beam. Query methods mirror flexura's `get_*` (evaluate just\noff each side "
                           "of x and keep the larger-magnitude value), so a singularity at\na support/load is "
                           "handled identically.")
    with pytest.raises(TypeError, match="^No constructor defined for BeamResult$"):
        cls()
    with pytest.raises(TypeError):
        type("Sub", (cls,), {})
    r = solve([CENTRE_LOAD])
    assert not hasattr(r, "__dict__")
    with pytest.raises(AttributeError):
        r.extra = 1
    with pytest.raises(TypeError):
        weakref.ref(r)


def test_type_cannot_be_changed_by_callers(centre):
    cls, eval_d = flexura.BeamResult, flexura.BeamResult.eval_d
    for change in [lambda: setattr(cls, "eval_d", lambda self, x: 42.0), lambda: delattr(cls, "reactions"),
                   lambda: setattr(cls, "extra", 1)]:
        with pytest.raises(TypeError):
            change()
    assert cls.eval_d is eval_d and centre.eval_d(5) != 42.0 and hasattr(cls, "reactions")


def test_import_leaves_warnings_alone_and_help_lists_the_module():
    # Without site, nothing else imports the warnings module.
    code = ("import sys; sys.path.insert(0, sys.argv[1]); import flexura; "
            "print('warnings' in sys.modules); import pydoc; print(pydoc.render_doc(flexura, renderer=pydoc.plaintext))")
    where = str(Path(flexura.__file__).parent)
    out = subprocess.run([sys.executable, "-S", "-c", code, where], capture_output=True, text=True)
    assert out.returncode == 0, out.stderr
    touched, doc = out.stdout.split("\n", 1)
    assert touched == "False" and "class BeamResult(builtins.object)" in doc and "solve(span, e, i, a" in doc


EMBEDDING = r"""
#include <Python.h>
static void nothing(void) {}
int main(int argc, char** argv) {
    (void)argv;
    for (int round = 0; round < 2; ++round) {
        Py_Initialize();
        if (argc > 1 && round == 0) while (Py_AtExit(nothing) == 0) {}  /* the table of exit functions is full */
        int failed = PyRun_SimpleString(
            "import flexura\n"
            "inf = float('inf')\n"
            "r = flexura.solve(10, 1e4, 1, 1, inf, [(0, inf, inf, 0), (10, 0, inf, 0)], [('point', [-10, 5, 90])])\n"
            "print(r.eval_bm(5))\n");
        if (Py_FinalizeEx() < 0 || failed) return 1;
    }
    return 0;
}
"""


@pytest.mark.parametrize("exit_table", ["free", "full"])
def test_module_works_again_after_the_interpreter_is_initialised_again(tmp_path, exit_table):
    """An application that embeds the interpreter, finalises it and starts a
    new one gets a working module, not the finalised one, also when no exit
    function could be registered at the first import."""
    config = sysconfig.get_config_var
    library = Path(config("LIBDIR")) / f"libpython{config('LDVERSION')}.so"
    if not library.exists() or shutil.which("cc") is None:
        pytest.skip("needs a C compiler and a shared libpython")
    (tmp_path / "embed.c").write_text(EMBEDDING)
    subprocess.run(["cc", f"-I{sysconfig.get_paths()['include']}", "embed.c", f"-L{library.parent}",
                    f"-lpython{config('LDVERSION')}", f"-Wl,-rpath,{library.parent}", "-o", "embed"],
                   cwd=tmp_path, check=True)
    env = {**os.environ, "PYTHONHOME": sys.base_prefix, "PYTHONPATH": str(Path(flexura.__file__).parent)}
    command = [str(tmp_path / "embed")] + (["fill"] if exit_table == "full" else [])
    out = subprocess.run(command, capture_output=True, text=True, env=env, timeout=60)
    assert (out.returncode, out.stdout) == (0, "25.0\n25.0\n"), out.stderr


def importable(name):
    try:
        return bool(importlib.import_module(name))
    except ImportError:
        return False


@pytest.mark.skipif(not any(map(importable, ["_interpreters", "_xxsubinterpreters"])), reason="no sub-interpreters")
def test_sub_interpreter_is_refused_and_main_keeps_working():
    # In a child process, so that a broken import cannot harm this interpreter.
    script = textwrap.dedent("""
        import sys, flexura
        try:
            import _interpreters as interpreters
        except ImportError:
            import _xxsubinterpreters as interpreters
        try:
            print(interpreters.run_string(interpreters.create(), "import flexura"))
        except Exception as error:
            print(error)
        del sys.modules["flexura"]
        import flexura as again
        inf = float("inf")
        r = again.solve(10, 1e4, 1, 1, inf, [(0, inf, inf, 0), (10, 0, inf, 0)], [("point", [-10, 5, 90])])
        print(again is flexura, r.reactions(), r.eval_bm(5))
    """)
    out = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, timeout=60,
                         env={**os.environ, "PYTHONPATH": os.pathsep.join(sys.path)})
    assert out.returncode == 0, out.stderr
    refused, works = out.stdout.splitlines()
    assert "ImportError" in refused and "flexura" in refused
    assert works == "True {'0': [0.0, 5.0, 0.0], '10': [0.0, 5.0, 0.0]} 25.0"
