"""The README as written: its >>> examples give the values shown, its recipe and
service snippets run as scripts, and the exact references behind its accuracy
tables agree with closed forms."""

import doctest
import importlib.util
import re
import subprocess
import sys
from fractions import Fraction
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
README = ROOT / "README.md"


def python_blocks(section):
    """The fenced python blocks of one '## ' section, joined into one script."""
    text = README.read_text(encoding="utf-8")
    body = text.split("\n## " + section + "\n", 1)[1].split("\n## ", 1)[0]
    return "\n".join(re.findall(r"```python\n(.*?)```", body, re.S))


def run_script(source, tmp_path):
    path = tmp_path / "snippet.py"
    path.write_text(source, encoding="utf-8")
    done = subprocess.run([sys.executable, str(path)], capture_output=True, text=True, timeout=120, cwd=tmp_path)
    assert done.returncode == 0, done.stderr
    return done.stdout


def test_interactive_examples_print_what_the_readme_shows():
    # A closing fence right after an output line would count as output: blank the fences.
    text = re.sub(r"^```.*$", "", README.read_text(encoding="utf-8"), flags=re.M)
    test = doctest.DocTestParser().get_doctest(text, {}, "README.md", str(README), 0)
    runner = doctest.DocTestRunner(optionflags=doctest.NORMALIZE_WHITESPACE)
    runner.run(test)
    assert runner.failures == 0 and runner.tries > 10


@pytest.mark.parametrize("section, expected", [
    # Reactions by support and the refined extremes of the three-span model; the saved file reads back.
    ("Beam models for engineers", ["A: ry = 22.570 kN at x = 0.0", "ry at C: 127.997, at x = 6: 115.567",
                                   "max moment 83.057 kNm at x = 9.750 m", "-17.188 mm at x = 9.7345 m",
                                   # Arrays: the moments along the beam, the shear either side of B, the problems.
                                   "(10001,) 83.057", "shear at B: -49.430 | 66.137", "(2, 2) 83.057", "x[1] x[2]",
                                   # The stepped girder: its ULS, with traffic on top, and the closed forms.
                                   "pier reaction 1182.2 kN, pier moment -1022.4 kNm",
                                   "-4050.2 kNm at x = 20, 5050.9 kNm at x = 8.3",
                                   "-76.5000 -76.5000; -102.0000 -102.0000"]),
    # Combination, pattern and vehicle envelopes of the girder, each with what governs; an influence line.
    ("Engineering workflows", ["hogging -14560.2 kNm at x = 20 (ULS)", "sagging 9388.2 kNm at x = 32.5 (span 2)",
                               "from 4350.2 (span 3) to 7268.8 kN", "LM1: 3075.9 kNm at x = 32.4, axles at (33.6, 32.4)",
                               "largest ordinate 4.2120 m with the load at x = 32.5",
                               "hogging -11942.7 kNm at x = 20 (LM1: forward, front axle at 30.1), shear -2667.1 kN",
                               "right of B: shear 3177.9 kN with -10802.6 kNm",
                               "models[0]: hogging -8280.0 kNm, B carries 4554.0 kN",
                               "[('left', -3563.0095108695623), ('right', 3543.749999999989)]",
                               "-14560.1902173915 ULS", "kB of HTML",
                               # Lane loads where adverse and the HL-93 code model.
                               "LM1 at B: -2878.8 kNm with the lane on [(0.0, 45.0)], shear -413.9 kN with it",
                               "HL-93: -1855.4 kNm at x = 45 (90% of two trucks and lane)"]),
    # Peak moment at the 45 kN load; shear just left and right of it; the envelope.
    ("Recipes", ["max |bm| = 81.97", "35.6745", "-9.3254", "sagging up to 86.05", "[-1.88"]),
    ("Serving untrusted input", ["cut off"]),
])
def test_snippets_run_as_written(section, expected, tmp_path):
    out = run_script(python_blocks(section), tmp_path)
    assert all(text in out for text in expected) and "nan" not in out, out


def load_accuracy():
    spec = importlib.util.spec_from_file_location("accuracy", ROOT / "benchmarks" / "accuracy.py")
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module


def test_accuracy_references_agree_with_closed_forms():
    acc = load_accuracy()
    # Two equal spans under w: 3wL/8, 5wL/4, 3wL/8.
    assert acc.three_moment_reactions(2, 8, 1) == [3, 10, 3]
    # The general rational solve of three equal spans under a uniform "polynomial"
    # load matches the three-moment solution (reactions act against the load).
    general = acc.exact_polynomial_reactions([0, 1, 2, 3], 0, 3, [-1.0])
    expected = [Fraction(2, 5), Fraction(11, 10), Fraction(11, 10), Fraction(2, 5)]
    assert general == acc.three_moment_reactions(3, 1, 1) == expected


def test_command_line_prints_what_the_readme_shows():
    shown = re.findall(r"```text\n(.*?)```", README.read_text(encoding="utf-8"), re.S)[0]
    done = subprocess.run([sys.executable, "-m", "flexura_tools", "examples/three_span.json"], cwd=ROOT,
                          capture_output=True, text=True, timeout=120)
    assert done.returncode == 0 and done.stdout == shown
