"""Hostile designs: degenerate shapes for every entry point of the design numbers and the report
(kelvora --report, Outcome.report(), check_design): no data point, one data point, no column,
every column constant."""

import os

from hostile_cases import kelvora, python


def _sdm(path, names, rows, first_confound):
    lines = ["FileVersion: 1", "", f"NrOfPredictors: {len(names)}",
             f"NrOfDataPoints: {len(rows)}", "IncludesConstant: 1",
             f"FirstConfoundPredictor: {first_confound}", ""]
    lines += ["128 128 128"] * len(names)
    lines += ["", " ".join(f'"{name}"' for name in names)]
    lines += [" ".join(f"{value:.6f}" for value in row) for row in rows]
    with open(path, "w", newline="") as file:
        file.write("\r\n".join(lines) + "\r\n")


def _study(folder, names, rows, first_confound):
    """An MDM of one SDM, and the invocations that report on it."""
    _sdm(os.path.join(folder, "sub-01_run-1.sdm"), names, rows, first_confound)
    with open(os.path.join(folder, "group.mdm"), "w", newline="") as file:
        file.write("\r\n".join([
            "FileVersion:          3", "TypeOfFunctionalData: VTC", "", "RFX-GLM:              1",
            "", "PSCTransformation:    1", "zTransformation:      0",
            "SeparatePredictors:   0", "", "NrOfStudies:          1",
            '"sub-01_run-1.vtc" "sub-01_run-1.sdm"']) + "\r\n")
    mdm = os.path.join(folder, "group.mdm")
    report = os.path.join(folder, "python.html")
    return [
        kelvora("--no-prompt", "--json", "--report", os.path.join(folder, "r.html"), mdm,
                statuses=(0, 1)),
        python(f"import kelvora, os\nkelvora.inspect({mdm!r}, findings_file=False)"
               f".report({report!r})\nassert os.path.getsize({report!r}) > 0\nprint('reported')",
               expect=b"reported"),
    ]


def _check_design_shapes(folder):
    program = """
import numpy as np, kelvora
for shape in [(0, 3), (3, 0), (0, 0), (1, 3), (1, 1)]:
    frame = kelvora.check_design(np.zeros(shape))
    assert frame.attrs["condition_number"] is None, shape
constant = kelvora.check_design(np.ones((6, 3)) * [1.0, 2.0, 3.0])
assert constant.attrs["rank"] == 1 and np.isnan(constant.attrs["vif"]).all()
print("shapes checked")
"""
    return [python(program, expect=b"shapes checked")]


CASES = {
    "design without data points, reported": lambda folder: _study(
        folder, ["A", "B", "Constant"], [], 3),
    "design of one data point, reported": lambda folder: _study(
        folder, ["A", "B", "Constant"], [[0.5, -1.0, 1.0]], 3),
    "design of constant columns, reported": lambda folder: _study(
        folder, ["A", "B", "Constant"], [[2.0, 3.0, 1.0]] * 5, 3),
    "design without predictors, reported": lambda folder: _study(folder, [], [[]] * 4, 1),
    "check_design of degenerate shapes": _check_design_shapes,
}
