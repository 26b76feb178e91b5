from pathlib import Path

import pytest
from hypothesis import HealthCheck, settings

# No Hypothesis check by the clock (deadline, slow generation): a busy machine fails them.
settings.register_profile("clock-free", deadline=None, suppress_health_check=[HealthCheck.too_slow])
settings.load_profile("clock-free")

HERE = Path(__file__).parent
# What `scripts/test.sh --quick` leaves to the full run (it deselects the mark "slow"):
# the tests that take seconds each, by spawning processes, searching at random or
# waiting on a clock, a socket or a browser. Everything else runs in both.
SLOW_FILES = {
    "module/test_leaks.py",  # memory stays flat over many repeated calls
    "module/test_interrupt.py",  # Ctrl-C, by an interval timer
    "module/test_properties.py", "module/test_hostile.py",  # Hypothesis searches
    "tools/test_pycba.py",  # the workflows beside pycba
    "tools/test_cli.py", "test_examples.py",  # the command and the example scripts as processes
    "tools/test_web_browser.py", "tools/test_web_live.py",  # the calculator in a browser, on a socket
    "tools/test_notebook.py",  # a notebook run in a kernel
}
SLOW_TESTS = {
    "test_constructors_and_the_model_file_raise_only_model_errors",  # a Hypothesis search
    "test_dask_cluster_gives_the_same_bits",  # a local Dask cluster of processes
}


def pytest_collection_modifyitems(items: list[pytest.Item]) -> None:
    for item in items:  # every item of the session: those under tests/tooling too
        where = item.path.relative_to(HERE).as_posix() if item.path.is_relative_to(HERE) else ""
        if where in SLOW_FILES or getattr(item, "originalname", item.name) in SLOW_TESTS:
            item.add_marker(pytest.mark.slow)
