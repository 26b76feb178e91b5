"""Checks the type stubs as a user's project meets them: run with the Python
of a virtual environment that holds only the flexura wheel, mypy and
pyright, from no particular directory and with no path setting.

- good.py passes mypy --strict and pyright in strict mode, and runs;
- so do the README's model-layer and workflow examples, with no annotation of their own;
- in mistakes.py each line marked "mistake" is flagged by both, and no
  other line is;
- stubtest finds the stubs and the modules (flexura and flexura_tools' private
  _engine) in agreement;
- the flexura_tools package itself passes mypy --strict and strict pyright.
"""
import re
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

HERE = Path(__file__).resolve().parent
ROOT = HERE.parents[1]
SCRIPTS = ["good.py", "mistakes.py", "readme_tools.py", "readme_workflows.py"]
# file:line: error:   (mypy)      file:line:col - error:   (pyright)
ERROR = re.compile(r"^\s*(?:.*[/\\])?(\w+\.py):(\d+)(?::\d+)?(?::| -) error")


def flagged(command, cwd):
    """{script name: lines with an error} from one checker's output."""
    run = subprocess.run(command, cwd=cwd, capture_output=True, text=True)
    lines = {name: set() for name in SCRIPTS}
    for m in map(ERROR.match, run.stdout.splitlines()):
        if m:
            lines[m[1]].add(int(m[2]))
    if run.returncode not in (0, 1) or (run.returncode == 1) != any(lines.values()):
        sys.exit(f"{command[2]} failed:\n{run.stdout}{run.stderr}")
    return lines, run.stdout


def main():
    marked = {i for i, line in enumerate((HERE / "mistakes.py").read_text().splitlines(), 1) if "# mistake" in line}
    failed = 0
    with tempfile.TemporaryDirectory() as tmp:
        for name in SCRIPTS[:2]:
            shutil.copy(HERE / name, tmp)
        text = (ROOT / "README.md").read_text(encoding="utf-8")
        for name, section in (("readme_tools.py", "Beam models for engineers"), ("readme_workflows.py", "Engineering workflows")):
            readme = text.split(f"\n## {section}\n")[1]
            Path(tmp, name).write_text(re.findall(r"```python\n(.*?)```", readme, re.S)[0])
        Path(tmp, "pyrightconfig.json").write_text('{"typeCheckingMode": "strict"}\n')
        checkers = {
            "mypy": [sys.executable, "-m", "mypy", "--strict", "--no-incremental", *SCRIPTS],
            "pyright": [sys.executable, "-m", "pyright", "--pythonpath", sys.executable, *SCRIPTS],
        }
        for checker, command in checkers.items():
            lines, output = flagged(command, tmp)
            readmes = ("readme_tools.py", "readme_workflows.py")
            ok = not lines["good.py"] and not any(lines[r] for r in readmes) and lines["mistakes.py"] == marked
            print(f"{checker}: good.py flagged at {sorted(lines['good.py'])}, "
                  + "".join(f"{r} at {sorted(lines[r])}, " for r in readmes) +
                  f"mistakes.py at {sorted(lines['mistakes.py'])} (marked {sorted(marked)}): {'ok' if ok else 'WRONG'}")
            if not ok:
                print(output)
                failed += 1
        subprocess.run([sys.executable, "good.py"], cwd=tmp, check=True)
        for readme_script in ("readme_tools.py", "readme_workflows.py"):
            subprocess.run([sys.executable, readme_script], cwd=tmp, check=True, stdout=subprocess.DEVNULL)
        package = str(ROOT / "src" / "flexura_tools")
        for command in ([sys.executable, "-m", "mypy", "--strict", "--no-incremental", package],
                        [sys.executable, "-m", "pyright", "--pythonpath", sys.executable, package]):
            print(f"{command[2]} on flexura_tools:", flush=True)
            failed += subprocess.run(command, cwd=tmp).returncode != 0
        stubtest = subprocess.run([sys.executable, "-m", "mypy.stubtest", "flexura", "flexura_tools._engine"], cwd=tmp)
        failed += stubtest.returncode != 0
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
