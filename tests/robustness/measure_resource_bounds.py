#!/usr/bin/env python3
"""Measures what each resource-bound case (resource_cases.py) costs the host's whole process: the
stand-in host runs the plug-in on it under GNU time -v, which reports the elapsed time and the
peak resident memory. Prints one line per case and compares the peak with the stated bound:

  every case                  peak RSS <= 32 MiB, except
  the long names line         peak RSS <= 32 MiB + 2.5 x the line's length
  many findings               peak RSS <= 512 MiB (199,800 findings of 200 SDMs of 1,000
                              predictors, and the 250,000 a run reports at most: every finding
                              kept as data)
                              (the reader's buffer holds the whole line: it doubles while the line
                              does not fit, so for a moment it holds the old and the new buffer)

The host runs each case with one reading thread against the bounds above, then with sixteen
(KELVORA_READ_THREADS) against the same bound plus the read-ahead budget of 64 MiB. The
command-line inspector runs each case in its three modes: plain, --json and --report (the last two
do the work beyond the run: diagnostics, rank check, correlations, the report's pictures): peak
RSS <= 512 MiB each. Every run must end as a finished run does (the host 0; kelvora 0 to 2, never
70 or a signal). The time of each is printed beside it (wall clock, on a loaded machine longer,
and CPU time) and marked when it passes 5 s of CPU, never judged: a machine's speed must not
decide the verdict.

A small complete run is measured first, as the host's own footprint. Exits 1 when a bound is
exceeded or a run fails, 0 otherwise. Timings are printed, never judged.

  tests/robustness/measure_resource_bounds.py [BUILD_DIR]     (default: build/linux)
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))

import hostile_cases  # noqa: E402
import resource_cases  # noqa: E402
from bounded_process import MEMORY_BOUND, run_measured  # noqa: E402
from study_builder import sdm  # noqa: E402

MIB = 1024 * 1024
BASE_BOUND = 32 * MIB
CLI_BOUND = 512 * MIB


def bound_for(name):
    if name.startswith("names line"):
        return BASE_BOUND + int(2.5 * resource_cases.NAMES_LINE_BYTES)
    if name.endswith("findings in one run"):  # content, not damage: what the run must hold
        return CLI_BOUND
    return BASE_BOUND


def measure_command(command, env=None):
    done = subprocess.run(["/usr/bin/time", "-v", *command], stdout=subprocess.DEVNULL,
                          stderr=subprocess.PIPE, text=True, timeout=600, env=env)
    peak = int(re.search(r"Maximum resident set size \(kbytes\): (\d+)", done.stderr).group(1))
    wall = re.search(r"Elapsed \(wall clock\) time \(h:mm:ss or m:ss\): (\S+)", done.stderr).group(1)
    user = float(re.search(r"User time \(seconds\): (\S+)", done.stderr).group(1))
    system = float(re.search(r"System time \(seconds\): (\S+)", done.stderr).group(1))
    status = int(re.search(r"Exit status: (\d+)", done.stderr).group(1))
    return peak * 1024, (f"{wall} ({user + system:.2f} s CPU)", user + system), status


READ_AHEAD_BUDGET = 64 * MIB  # what SDMs read ahead of their turn may hold, whatever the threads
CLI_MODES = ([], ["--json"], ["--report"])
CPU_SECONDS_SHOWN = 5.0


def measure(build_dir, mdm, threads=None):
    host = os.path.join(build_dir, "tools", "standin_host", "full", "HalvaneZR.exe")
    plugin = os.path.join(build_dir, "src", "plugin", "Kelvora.so")
    env = dict(os.environ)
    if threads:
        env["KELVORA_READ_THREADS"] = threads
    return measure_command([host, "--open", mdm, plugin], env)


def verdict_line(label, peak, times, bound, status, ok):
    slow = "  (over 5 s CPU)" if times[1] > CPU_SECONDS_SHOWN else ""
    print(f"{label:66} {peak / MIB:7.1f} MiB  {times[0]:>20}  (bound {bound / MIB:.0f} MiB, "
          f"exit {status}) {'ok' if ok else 'EXCEEDED'}{slow}")
    return 0 if ok else 1


def measure_threads(build_dir, mdm, name):
    """The host with sixteen reading threads: the one-thread bound plus the read-ahead budget."""
    peak, times, status = measure(build_dir, mdm, "16")
    bound = bound_for(name) + READ_AHEAD_BUDGET
    return verdict_line(f"host, 16 threads: {name}", peak, times, bound, status,
                        peak <= bound and status == 0)


def measure_cli(build_dir, mdm, name, scratch):
    """kelvora in each mode; its exit status tells findings, not failure (0 to 2)."""
    kelvora = os.path.join(build_dir, "tools", "kelvora_cli", "kelvora")
    failures = 0
    for options in CLI_MODES:
        if options == ["--report"]:
            options = ["--report", os.path.join(scratch, "report.html")]
        asked = resource_cases.CLI_OPTIONS.get(name, [])
        peak, times, status = measure_command([kelvora, *options, *asked, mdm], dict(os.environ))
        failures += verdict_line(f"kelvora {options[0] if options else 'plain'}: {name}", peak,
                                 times, CLI_BOUND, status, peak <= CLI_BOUND and status <= 2)
    return failures


def measure_hostile_cases(build_dir, root):
    """The hostile inputs of kelvora and Python (hostile_cases.py), each invocation in turn."""
    failures = 0
    for i, (label, case) in enumerate(hostile_cases.all_cases().items()):
        folder = os.path.join(root, f"hostile{i}")
        os.makedirs(folder)
        for invocation in case(folder):
            argv, env = hostile_cases.command_of(invocation, build_dir)
            done = run_measured(argv, cwd=invocation.cwd or folder, env=env, stdin=invocation.stdin)
            times = (f"{done.cpu_seconds:.2f} s CPU", done.cpu_seconds)
            ok = done.peak_bytes <= MEMORY_BOUND and done.status in invocation.statuses
            failures += verdict_line(f"{invocation.tool}: {label}", done.peak_bytes, times,
                                     MEMORY_BOUND, done.status, ok)
    return failures


def main():
    build_dir = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else
                                os.path.join(HERE, "..", "..", "build", "linux"))
    if not os.path.exists("/usr/bin/time"):
        sys.exit("GNU time is needed: apt-get install time")
    root = tempfile.mkdtemp(prefix="kelvora-bounds-")
    failures = 0
    try:
        small = os.path.join(root, "small")
        os.makedirs(small)
        with open(f"{small}/S.sdm", "w") as out:
            out.write(sdm())
        with open(f"{small}/group.mdm", "w") as out:
            out.write(f'NrOfStudies: 1\n"{small}/S01_run1.vtc" "{small}/S.sdm"\n')
        peak, times, _ = measure(build_dir, f"{small}/group.mdm", "1")
        print(f"{'a small complete run (the host itself)':66} {peak / MIB:7.1f} MiB  "
              f"{times[0]:>20}")
        mdms = {}
        for i, (name, case) in enumerate(resource_cases.CASES.items()):
            mdm, _, _ = case(os.path.join(root, f"case{i}"))
            mdms[name] = mdm
            peak, times, status = measure(build_dir, mdm, "1")
            bound = bound_for(name)
            failures += verdict_line(name, peak, times, bound, status,
                                     peak <= bound and status == 0)
        for name, mdm in mdms.items():
            failures += measure_threads(build_dir, mdm, name)
        for name, mdm in mdms.items():
            failures += measure_cli(build_dir, mdm, name, small)
        failures += measure_hostile_cases(build_dir, root)
    finally:
        shutil.rmtree(root, ignore_errors=True)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
