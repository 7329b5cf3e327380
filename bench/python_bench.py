"""The Python package's benchmark (not a test): read_sdm against pandas.read_csv and numpy.loadtxt
on the same values, inspect() against kelvora on the same MDM, and the peak memory of reading one
SDM. Generates a study of N SDMs (1,200 data points x 36 predictors, values with six decimals)
with write_sdm into a temporary folder.

Usage: PYTHONPATH=build/linux/python /usr/bin/python3 bench/python_bench.py \\
           [--sdms 400] [--kelvora build/linux/tools/kelvora_cli/kelvora]"""
import argparse
import os
import resource
import subprocess
import sys
import tempfile
import time

import numpy as np
import pandas as pd

import kelvora

DATA_POINTS, PREDICTORS, INTEREST = 1200, 36, 12


def make_study(folder, count):
    rng = np.random.default_rng(1)
    names = [f"Cond {i + 1}" for i in range(INTEREST)] + [f"Conf {i + 1}" for i in
                                                          range(PREDICTORS - INTEREST)]
    lines = ["", "FileVersion:          3", "TypeOfFunctionalData: VTC", "",
             "RFX-GLM:              1", "", "PSCTransformation:    1", "zTransformation:      0",
             "SeparatePredictors:   0", "", f"NrOfStudies:          {count}"]
    for i in range(count):
        values = np.round(rng.standard_normal((DATA_POINTS, PREDICTORS)), 6)
        kelvora.write_sdm(values, os.path.join(folder, f"sub-{i // 4:03d}_run-{i % 4}.sdm"),
                          names=names, first_confound=INTEREST + 1)
        lines.append(f'"sub-{i // 4:03d}_run-{i % 4}.vtc" "sub-{i // 4:03d}_run-{i % 4}.sdm"')
    with open(os.path.join(folder, "group.mdm"), "wb") as mdm:
        mdm.write(("\r\n".join(lines) + "\r\n").encode())
    return [os.path.join(folder, f"sub-{i // 4:03d}_run-{i % 4}.sdm") for i in range(count)]


def per_sdm(label, read, paths):
    start = time.perf_counter()
    for path in paths:
        read(path)
    seconds = (time.perf_counter() - start) / len(paths)
    print(f"  {label:<28} {seconds * 1000:8.2f} ms per SDM")
    return seconds


def peak_of_one_read(path, warm_up):
    """Peak RSS growth of reading one SDM in a fresh interpreter, against its values' size. Reading
    the small SDM `warm_up` first brings the module's code in (the first call's page faults are no
    SDM's cost, and the little it frees cannot hide the SDM's values); the peak is then reset (the
    imports raised it above anything one SDM adds) by writing 5 to /proc/self/clear_refs, so that
    VmHWM counts from the interpreter's resident memory."""
    code = ("import sys, kelvora, numpy, pandas\n"
            "def status(key):\n"
            "    with open('/proc/self/status') as lines:\n"
            "        return next(int(l.split()[1]) * 1024 for l in lines if l.startswith(key))\n"
            "kelvora.read_sdm(sys.argv[2])\n"
            "with open('/proc/self/clear_refs', 'w') as refs:\n"
            "    refs.write('5')\n"
            "before = status('VmRSS:')\n"
            "sdm = kelvora.read_sdm(sys.argv[1])\n"
            "print(status('VmHWM:') - before, sdm.values.nbytes)")
    grown, size = map(int, subprocess.run([sys.executable, "-c", code, path, warm_up], check=True,
                                          capture_output=True, text=True).stdout.split())
    return grown, size


def write_sdm_of(folder, name, data_points):
    """One SDM of `data_points` x PREDICTORS."""
    values = np.round(np.random.default_rng(2).standard_normal((data_points, PREDICTORS)), 6)
    path = os.path.join(folder, name)
    kelvora.write_sdm(values, path, names=[f"P {i + 1}" for i in range(PREDICTORS)],
                      first_confound=INTEREST + 1)
    return path


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--sdms", type=int, default=400)
    parser.add_argument("--kelvora", default="build/linux/tools/kelvora_cli/kelvora")
    options = parser.parse_args()
    with tempfile.TemporaryDirectory() as folder:
        paths = make_study(folder, options.sdms)
        skip = 7 + PREDICTORS + 1  # header lines, colours, names
        print(f"read one SDM of {DATA_POINTS} x {PREDICTORS} ({options.sdms} SDMs, a tenth for "
              "the text readers):")
        ours = per_sdm("kelvora.read_sdm", kelvora.read_sdm, paths)
        some = paths[: max(1, len(paths) // 10)]
        csv = per_sdm("pandas.read_csv(sep=r'\\s+')", lambda p: pd.read_csv(
            p, sep=r"\s+", skiprows=skip, header=None, dtype=np.float32), some)
        text = per_sdm("numpy.loadtxt", lambda p: np.loadtxt(p, skiprows=skip,
                                                              dtype=np.float32), some)
        print(f"  read_sdm is {csv / ours:.1f}x faster than read_csv, {text / ours:.1f}x than "
              "loadtxt")
        mdm = os.path.join(folder, "group.mdm")
        start = time.perf_counter()
        subprocess.run([options.kelvora, "--json", "--no-findings-file", mdm], check=False,
                       capture_output=True)
        cli = time.perf_counter() - start
        start = time.perf_counter()
        kelvora.inspect(mdm, findings_file=False)
        python = time.perf_counter() - start
        print(f"inspect the {options.sdms}-SDM study: kelvora {cli:.2f} s, inspect() {python:.2f}"
              f" s ({python / cli:.2f}x)")
        warm_up = write_sdm_of(folder, "warm-up.sdm", 10)
        # The larger SDM's values dwarf what rounding to pages and the heap's spare room add.
        for label, path in (("one SDM", paths[0]),
                            ("one large SDM", write_sdm_of(folder, "large.sdm", DATA_POINTS * 20))):
            grown, size = peak_of_one_read(path, warm_up)
            print(f"peak memory of reading {label}: {grown / 1e6:.2f} MB above the interpreter's,"
                  f" its values {size / 1e6:.2f} MB ({grown / size:.2f}x)")

if __name__ == "__main__":
    main()
