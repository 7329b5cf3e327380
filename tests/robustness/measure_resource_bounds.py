#!/usr/bin/env python3
"""Measures what each resource-bound case (resource_cases.py) costs the host's whole process: the
stand-in host runs the plug-in on it under GNU time -v, which reports the elapsed time and the
peak resident memory. Prints one line per case and compares the peak with the stated bound:

  every case                  peak RSS <= 32 MiB, except
  the long names line         peak RSS <= 32 MiB + 2.5 x the line's length
  199,800 findings            peak RSS <= 512 MiB (200 SDMs of 1,000 predictors, every finding
                              kept as data)
                              (the reader's buffer holds the whole line: it doubles while the line
                              does not fit, so for a moment it holds the old and the new buffer)

Then the command-line inspector runs each case, plain and with --json (which also reads every
SDM again for the rank check): every case, either way, peak RSS <= 512 MiB. Its elapsed time
(wall clock, on a loaded machine longer) and its CPU time are printed beside it.

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

import resource_cases  # noqa: E402
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


def measure_command(command):
    done = subprocess.run(["/usr/bin/time", "-v", *command], stdout=subprocess.DEVNULL,
                          stderr=subprocess.PIPE, text=True, timeout=600)
    peak = int(re.search(r"Maximum resident set size \(kbytes\): (\d+)", done.stderr).group(1))
    wall = re.search(r"Elapsed \(wall clock\) time \(h:mm:ss or m:ss\): (\S+)", done.stderr).group(1)
    user = float(re.search(r"User time \(seconds\): (\S+)", done.stderr).group(1))
    system = float(re.search(r"System time \(seconds\): (\S+)", done.stderr).group(1))
    status = int(re.search(r"Exit status: (\d+)", done.stderr).group(1))
    return peak * 1024, f"{wall} ({user + system:.2f} s CPU)", status


def measure(build_dir, mdm):
    host = os.path.join(build_dir, "tools", "standin_host", "full", "HalvaneZR.exe")
    plugin = os.path.join(build_dir, "src", "plugin", "Kelvora.so")
    return measure_command([host, "--open", mdm, plugin])


def measure_cli(build_dir, mdm, name):
    """kelvora plain and with --json; its exit status tells findings, not failure (0 to 2)."""
    kelvora = os.path.join(build_dir, "tools", "kelvora_cli", "kelvora")
    failures = 0
    for options in ([], ["--json"]):
        peak, times, status = measure_command([kelvora, *options, mdm])
        verdict = "ok" if peak <= CLI_BOUND and status <= 2 else "EXCEEDED"
        failures += verdict != "ok"
        label = f"kelvora {' '.join(options) or 'plain'}: {name}"
        print(f"{label:58} {peak / MIB:7.1f} MiB  {times:>20}  (bound {CLI_BOUND / MIB:.0f} MiB, "
              f"exit {status}) {verdict}")
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
        peak, wall, _ = measure(build_dir, f"{small}/group.mdm")
        print(f"{'a small complete run (the host itself)':58} {peak / MIB:7.1f} MiB  {wall:>20}")
        mdms = {}
        for i, (name, case) in enumerate(resource_cases.CASES.items()):
            mdm, _, _ = case(os.path.join(root, f"case{i}"))
            mdms[name] = mdm
            peak, wall, status = measure(build_dir, mdm)
            bound = bound_for(name)
            verdict = "ok" if peak <= bound and status == 0 else "EXCEEDED"
            failures += verdict != "ok"
            print(f"{name:58} {peak / MIB:7.1f} MiB  {wall:>20}  (bound {bound / MIB:.0f} MiB, "
                  f"exit {status}) {verdict}")
        for name, mdm in mdms.items():
            failures += measure_cli(build_dir, mdm, name)
    finally:
        shutil.rmtree(root, ignore_errors=True)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
