"""Every result of the golden corpus, bit for bit (see tests/golden/corpus.py)."""
import json
import sys
from pathlib import Path

import pytest

import flexura

GOLDEN = Path(__file__).resolve().parents[1] / "golden"
sys.path.insert(0, str(GOLDEN))
from corpus import record  # noqa: E402

CASES = json.loads((GOLDEN / "corpus.json").read_text())["cases"]


@pytest.mark.parametrize("case", CASES, ids=[c["name"] for c in CASES])
def test_results_match_the_stored_bits(case):
    got = record(flexura, case)
    assert got.keys() == case["expected"].keys()
    for key, want in case["expected"].items():
        assert got[key] == want, key
