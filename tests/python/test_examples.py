import os
import re
import subprocess
import sys

from conftest import ROOT

EXAMPLES = os.path.join(ROOT, "examples", "python")


def run_example(name, *args, cwd):
    env = dict(os.environ, PYTHONPATH=os.environ.get("KELVORA_PYTHON_PATH", ""))
    return subprocess.run([sys.executable, os.path.join(EXAMPLES, name), *map(str, args)],
                          capture_output=True, text=True, env=env, cwd=cwd, check=True).stdout


def test_examples_run(examples, tmp_path):
    table = run_example("inspect_study.py", examples / "study" / "group.mdm", cwd=tmp_path)
    assert "ZERO_ACROSS_RUNS" in table and "exit status 1" in table
    assert re.search(r"sub-03 +False +False +True", table)
    run_example("plot_design.py", examples / "study" / "sub-01_run-1.sdm", "d.png", cwd=tmp_path)
    assert (tmp_path / "d.png").read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"
    checked = run_example("build_sdm.py", cwd=tmp_path)
    assert "RANK_DEFICIENT_DESIGN" in checked
