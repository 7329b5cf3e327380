"""Contrasts through the Python package: a DataFrame's names reach the library as they are, and a
subject's efficiency is that of the multi-run model, computed here independently with numpy."""
import re

import numpy as np
import pandas as pd
import pytest

import kelvora


def _sdm_columns(path):
    """The predictor names and values (as the 32-bit floats an SDM holds) of an example SDM."""
    lines = path.read_text().splitlines()
    names_line = next(i for i, line in enumerate(lines) if line.startswith('"'))
    names = re.findall(r'"([^"]*)"', lines[names_line])
    values = np.array([line.split() for line in lines[names_line + 1:] if line.strip()],
                      dtype=np.float32).astype(float)
    return names, values


def _subject_efficiency(study, subject, weights, interest=6):
    """1 / (c (X'X)^-1 c') of the subject's runs stacked: each predictor of interest one beta
    across the runs, each run its own confounds."""
    runs = [_sdm_columns(path) for path in sorted(study.glob(f"{subject}_run-*.sdm"))]
    conditions = runs[0][0][:interest]
    blocks = []
    for r, (names, values) in enumerate(runs):
        shared = values[:, [names.index(name) for name in conditions]]
        confounds = [np.zeros((len(values), values.shape[1] - interest)) for _ in runs]
        confounds[r] = values[:, interest:]
        blocks.append(np.hstack([shared, *confounds]))
    design = np.vstack(blocks)
    c = np.zeros(design.shape[1])
    for name, weight in weights.items():
        c[conditions.index(name)] = weight
    return 1.0 / (c @ np.linalg.solve(design.T @ design, c))


def _subject_rows(outcome, contrast):
    rows = outcome.contrasts[outcome.contrasts.contrast == contrast]
    return rows.dropna(subset=["subject"]).set_index("subject")


def test_subject_efficiency_is_the_multi_run_model_whatever_else_is_asked(examples):
    study = examples / "study"
    expected = _subject_efficiency(study, "sub-01", {"Faces": 1, "Houses": -1})
    assert expected == pytest.approx(13.077, abs=5e-4)
    alone = kelvora.inspect(study / "group.mdm", findings_file=False,
                            contrasts=["Faces - Houses"])
    both = kelvora.inspect(study / "group.mdm", findings_file=False,
                           contrasts=["Faces - Houses", "Bodies - Tools"])
    first = _subject_rows(alone, "Faces - Houses")
    second = _subject_rows(both, "Faces - Houses")
    assert first.loc["sub-01", "efficiency"] == pytest.approx(expected, rel=1e-9)
    pd.testing.assert_frame_equal(first, second)


def test_data_frame_names_reach_the_library_as_they_are(examples):
    names = ['say "hi"', "tab\there", "two\nlines", " blank at the ends "]
    frame = pd.DataFrame({"contrast": names, "Faces": [1, 1, 1, 1],
                          "Houses": [-1, np.nan, -2, -1]})
    outcome = kelvora.inspect(examples / "study" / "group.mdm", findings_file=False,
                              contrasts=frame)
    assert list(dict.fromkeys(outcome.contrasts.contrast)) == names
    with pytest.raises(ValueError, match='contrasts: row 2: contrast "x" is named twice'):
        kelvora.inspect(examples / "study" / "group.mdm", findings_file=False,
                        contrasts=pd.DataFrame({"contrast": ["x", "x"], "Faces": [1, 2]}))
    with pytest.raises(ValueError, match='no column "contrast"'):
        kelvora.inspect(examples / "study" / "group.mdm", findings_file=False,
                        contrasts=pd.DataFrame({"Faces": [1]}))


def test_an_expression_names_predictors_byte_for_byte(examples):
    """A name byte above 127 reads as one code point; an expression naming it finds it."""
    study = examples / "study"
    for path in study.glob("*.sdm"):
        path.write_bytes(path.read_bytes().replace(b'"Faces"', b'"Gesichter\xe4"'))
    outcome = kelvora.inspect(study / "group.mdm", findings_file=False,
                              contrasts="Gesichter\u00e4 - Houses")
    rows = _subject_rows(outcome, "Gesichter\u00e4 - Houses")
    assert list(rows.index) == ["sub-01", "sub-02", "sub-03", "sub-04"]
    assert rows.loc["sub-01", "estimable"]
    with pytest.raises(ValueError, match="U\\+00FF"):
        kelvora.inspect(study / "group.mdm", findings_file=False, contrasts="Gesichter\u0101")
