import pytest

import flexura
from shared import CENTRE_LOAD, solve


@pytest.fixture
def centre() -> flexura.BeamResult:
    """Simply supported span 10 with -10 at mid-span: shear +5 / -5, bm(5) = 25."""
    return solve([CENTRE_LOAD])
