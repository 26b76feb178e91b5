"""The test command on a machine without root: scripts/lib.sh's have_packages and
report_missing, run by bash with `id`, `sudo` and `apt-get` replaced by stand-ins that
record being called."""
import os
import subprocess
from pathlib import Path

import pytest

LIB = Path(__file__).resolve().parents[2] / "scripts" / "lib.sh"


def run(tmp_path: Path, script: str, uid: int, sudo_works: bool, ci: str = "") -> subprocess.CompletedProcess[str]:
    fake = tmp_path / "bin"
    fake.mkdir(exist_ok=True)
    calls = tmp_path / "calls.txt"
    then = 'exec "${@:2}"' if sudo_works else "exit 1"
    stand_ins = {
        "id": f"echo {uid}",
        "sudo": f'echo "sudo $*" >>{calls}; {then}',
        "apt-get": f'echo "apt-get $*" >>{calls}',
    }
    for name, body in stand_ins.items():
        (fake / name).write_text(f"#!/bin/bash\n{body}\n")
        (fake / name).chmod(0o755)
    present = tmp_path / "present"
    present.write_text("")
    prelude = (f"source {LIB}\n"
               f"package_file[libgtest-dev]={present}\n"
               f"package_file[wine64]={tmp_path / 'absent'}\n"
               f"export FLEXURA_MISSING={tmp_path / 'missing.txt'} FLEXURA_SKIPPED={tmp_path / 'skipped.txt'}\n")
    env = {**os.environ, "PATH": f"{fake}:{os.environ['PATH']}", "CI": ci}
    return subprocess.run(["bash", "-c", prelude + script], capture_output=True, text=True, env=env)


def calls(tmp_path: Path) -> str:
    path = tmp_path / "calls.txt"
    return path.read_text() if path.exists() else ""


@pytest.mark.parametrize("uid, sudo_works, installs", [
    (0, False, True),      # root installs with apt-get itself
    (1000, True, True),    # sudo without a password
    (1000, False, False),  # neither: nothing is installed, the package is reported
])
def test_missing_package_is_installed_or_reported(tmp_path: Path, uid: int, sudo_works: bool,
                                                  installs: bool) -> None:
    done = run(tmp_path, "have_packages libgtest-dev wine64 && echo present || echo absent", uid, sudo_works)
    installed = [line for line in calls(tmp_path).splitlines() if line.startswith("apt-get install")]
    assert [line.split()[-1] for line in installed] == (["wine64"] if installs else [])
    # The stand-in apt-get installs nothing, so the file stays absent: an
    # install that did not take is reported like one that was not possible.
    assert done.stdout.strip().endswith("absent")
    assert (tmp_path / "missing.txt").read_text() == "wine64\n"


def test_present_packages_need_nothing(tmp_path: Path) -> None:
    done = run(tmp_path, "have_packages libgtest-dev && echo present", 0, False)
    assert done.stdout.strip() == "present" and calls(tmp_path) == ""
    assert not (tmp_path / "missing.txt").exists()


@pytest.mark.parametrize("ci, status", [("", 0), ("true", 1)])
def test_report_names_packages_and_fails_only_under_ci(tmp_path: Path, ci: str, status: int) -> None:
    script = ("have_packages wine64 || skip_step 'Windows under Wine' wine64\n"
              "have_packages wine64 || skip_step 'golden replay under Wine' wine64\n"
              "report_missing")
    done = run(tmp_path, script, 1000, False, ci)
    assert done.returncode == status, done.stderr
    block = done.stdout.split("== system packages missing", 1)[1]
    assert block.count("wine64  ") == 1  # one line a package, however many steps need it
    assert "sudo apt-get install wine64" in block
    assert "left out: Windows under Wine; golden replay under Wine" in block


def test_no_report_when_nothing_was_left_out(tmp_path: Path) -> None:
    done = run(tmp_path, "have_packages libgtest-dev; report_missing", 1000, False, "true")
    assert done.returncode == 0 and done.stdout == ""
