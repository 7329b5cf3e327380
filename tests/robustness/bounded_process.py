"""Runs one process under GNU time and tells what it cost: its exit status, its output, its peak
resident memory and its CPU time. A hang guard ends a process that runs past `timeout` seconds (the
caller's test then fails); how long a case takes is a figure to read, never a test's verdict."""

import os
import subprocess
import tempfile
from dataclasses import dataclass

MIB = 1024 * 1024
MEMORY_BOUND = 512 * MIB  # what any hostile input may cost kelvora's or Python's whole process
HANG_GUARD_SECONDS = 120


@dataclass
class Measured:
    status: int
    stdout: bytes
    stderr: bytes
    peak_bytes: int
    cpu_seconds: float


def run_measured(argv, cwd=None, env=None, stdin=b"", timeout=HANG_GUARD_SECONDS):
    with tempfile.NamedTemporaryFile(prefix="kelvora-time-", delete=False) as figures:
        figures_path = figures.name
    try:
        done = subprocess.run(["/usr/bin/time", "-o", figures_path, "-f", "%x %M %U %S", *argv],
                              input=stdin, capture_output=True, cwd=cwd, env=env, timeout=timeout)
        with open(figures_path) as text:
            # time's last line holds the figures; a signal adds a line before it.
            status, peak_kib, user, system = text.read().split("\n")[-2].split()
    finally:
        os.unlink(figures_path)
    return Measured(int(status) if int(status) >= 0 else done.returncode, done.stdout, done.stderr,
                    int(peak_kib) * 1024, float(user) + float(system))
