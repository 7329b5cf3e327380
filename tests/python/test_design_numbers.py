"""The numbers of a design are the same from kelvora's JSON and from check_design: rank, condition
number and grade, VIF and the dependencies' texts, on designs with offsets, dependencies and
degenerate shapes."""
import json
import os
import subprocess

import numpy as np
import pandas as pd
import pytest

import kelvora

ROWS = 120
_T = np.arange(ROWS)
_S = np.sin(0.11 * _T) + 0.7 * np.cos(0.05 * _T)
_B = np.cos(0.23 * _T) + 0.002 * _T
_C = np.sin(0.07 * _T + 1.0)
ONE = np.ones(ROWS)

# name: (columns, predictors of interest)
DESIGNS = {
    # An offset beside the constant: estimable, with small VIF.
    "offset": ({"A": 1000 + 0.05 * _S, "B": _B, "Constant": ONE}, 2),
    # A = B + 2 without a constant: full rank as written, infinite VIF with an intercept.
    "offset without constant": ({"A": _B + 2, "B": _B, "C": _C}, 3),
    # A sum beside the constant: rank deficient, no condition number.
    "sum": ({"A": _S, "B": _B, "A+B": _S + _B, "Constant": ONE}, 3),
    # Nearly dependent: high but finite VIF.
    "near": ({"A": _S, "B": _S + 0.05 * _C, "C": _C, "Constant": ONE}, 3),
    # The same near-dependency among confounds alone: a note.
    "near confounds": ({"C": _C, "A": _S, "B": _S + 0.01 * np.cos(0.23 * _T), "Constant": ONE}, 1),
}


def _command_and_python(folder, columns, interest):
    frame = pd.DataFrame(columns).astype(np.float32)
    kelvora.write_sdm(frame, folder / "sub-01_run-1.sdm", first_confound=interest + 1)
    (folder / "group.mdm").write_bytes(
        b"FileVersion:          3\r\nTypeOfFunctionalData: VTC\r\n\r\nRFX-GLM:              1\r\n"
        b"\r\nPSCTransformation:    1\r\nzTransformation:      0\r\nSeparatePredictors:   0\r\n"
        b"\r\nNrOfStudies:          1\r\n\"sub-01_run-1.vtc\" \"sub-01_run-1.sdm\"\r\n")
    cli = subprocess.run([os.environ["KELVORA_CLI"], "--json", "--no-prompt", "--no-findings-file",
                          str(folder / "group.mdm")], capture_output=True, check=False)
    assert cli.returncode in (0, 1), cli.stderr
    sdm = kelvora.read_sdm(folder / "sub-01_run-1.sdm")
    return json.loads(cli.stdout), kelvora.check_design(sdm.to_frame(), interest=interest)


@pytest.mark.parametrize("name", sorted(DESIGNS))
def test_command_and_check_design_give_the_same_numbers(tmp_path, name):
    columns, interest = DESIGNS[name]
    record, found = _command_and_python(tmp_path, columns, interest)
    [design] = record["sdmDesigns"]
    assert design["rank"] == found.attrs["rank"]
    assert design["conditionNumber"] == found.attrs["condition_number"]
    assert design["conditionGrade"] == found.attrs["condition_grade"]
    assert design["interestConditionNumber"] == found.attrs["interest_condition_number"]
    assert design["interestConditionGrade"] == found.attrs["interest_condition_grade"]
    vif = {f["predictors"][0]["name"]: f["vif"] for f in record["designFindings"]
           if f["code"] == "HIGH_VIF"}
    for predictor, value in found.attrs["vif"].items():
        if value > 5:
            assert vif[predictor] == (None if np.isinf(value) else value), predictor
        else:
            assert predictor not in vif
    dependencies = sorted((f["text"].split(": ", 1)[1], f["severity"])
                          for f in record["allFindings"]
                          if f["code"] in ("RANK_DEFICIENT_DESIGN", "NEAR_DEPENDENT_DESIGN"))
    assert dependencies == sorted((text.split(": ", 1)[1], severity)
                                  for text, severity in zip(found.text, found.severity))
    assert all(text.startswith("design: ") for text in found.text)


def test_a_near_dependency_among_confounds_alone_is_a_note():
    confounds = kelvora.check_design(pd.DataFrame(DESIGNS["near confounds"][0]), interest=1)
    assert list(confounds.code) == ["NEAR_DEPENDENT_DESIGN"]
    assert list(confounds.severity) == ["note"]
    near = kelvora.check_design(pd.DataFrame(DESIGNS["near"][0]), interest=3)
    assert set(near.severity) == {"warning"}


def test_the_numbers_of_offsets_and_dependencies():
    offset = kelvora.check_design(pd.DataFrame(DESIGNS["offset"][0]).astype(np.float32),
                                  interest=2)
    assert offset.empty and offset.attrs["rank"] == 3
    assert offset.attrs["condition_grade"] == "low"
    assert offset.attrs["vif"].between(1.0, 2.0).all()
    free = kelvora.check_design(pd.DataFrame(DESIGNS["offset without constant"][0]))
    assert free.empty and free.attrs["rank"] == 3
    assert np.isinf(free.attrs["vif"][["A", "B"]]).all()
    assert np.isfinite(free.attrs["condition_number"])
    deficient = kelvora.check_design(pd.DataFrame(DESIGNS["sum"][0]), interest=3)
    assert deficient.attrs["condition_number"] is None
    assert deficient.attrs["condition_grade"] == "extreme"
    assert list(deficient.text) == [
        'design: predictor 3 "A+B" is a combination of predictor 1 "A", predictor 2 "B"']


@pytest.mark.parametrize("shape", [(0, 3), (3, 0), (0, 0), (1, 3), (1, 1), (2, 3)])
def test_degenerate_shapes_end_without_a_condition_number(shape):
    found = kelvora.check_design(np.zeros(shape))
    assert found.attrs["columns"] == shape[1]
    assert found.attrs["condition_number"] is None
    assert len(found.attrs["vif"]) in (0, shape[1])


def test_the_conditions_own_number_tells_a_close_correlation_apart():
    """Two conditions at r = 0.99 beside motion with offsets: the design's grade is that of an
    ordinary run, the conditions' own is high."""
    def conditions_at(r):
        residual = _C - _S * (_S @ _C) / (_S @ _S)
        second = r * _S / np.linalg.norm(_S) + np.sqrt(1 - r * r) * residual / np.linalg.norm(residual)
        motion = {"Trans Y": 3 + 0.2 * _B, "Rot X": 1 + 0.1 * np.sin(0.02 * _T), "Constant": ONE}
        return kelvora.check_design(pd.DataFrame({"A": _S, "B": second, **motion}), interest=2)
    ordinary, close = conditions_at(0.1), conditions_at(0.99)
    assert ordinary.attrs["condition_grade"] == close.attrs["condition_grade"]
    assert ordinary.attrs["interest_condition_grade"] == "low"
    assert close.attrs["interest_condition_grade"] == "high"
    assert ordinary.attrs["interest_condition_number"] < close.attrs["interest_condition_number"]
