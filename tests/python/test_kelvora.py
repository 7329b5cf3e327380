import glob
import json
import os
import subprocess

import numpy as np
import pandas as pd
import pytest

import kelvora
from conftest import ROOT


def test_write_sdm_reads_back_bit_for_bit(tmp_path):
    rng = np.random.default_rng(7)
    scales = 10.0 ** rng.integers(-30, 30, (50, 4))
    values = (rng.standard_normal((50, 4)) * scales).astype(np.float32)
    values[0, 0] = np.float32(1.0) + np.finfo(np.float32).eps
    values[1, 1] = np.finfo(np.float32).tiny
    frame = pd.DataFrame(values, columns=["Faces", "Houses", "Rot X", "Constant"])
    path = tmp_path / "run.sdm"
    kelvora.write_sdm(frame, path, first_confound=3, includes_constant=True)
    sdm = kelvora.read_sdm(path)
    assert sdm.names == list(frame.columns)
    assert (sdm.first_confound, sdm.includes_constant) == (3, True)
    assert sdm.values.tobytes(order="F") == np.asfortranarray(values).tobytes(order="F")
    assert list(sdm.interest.columns) == ["Faces", "Houses"]
    assert sdm.notes.empty
    assert path.read_bytes().count(b"\r\n") == path.read_bytes().count(b"\n")


@pytest.mark.parametrize("values, names, reason", [
    ([[np.nan]], ["a"], "not finite"),
    ([[np.inf, 1.0]], ["a", "b"], "not finite"),
    ([[1.0, 2.0]], ["a", "a"], "given twice"),
    ([[1.0]], ['say "hi"'], "holds a"),
    ([[1.0, 2.0]], ["a"], "names for"),
])
def test_write_sdm_refuses_what_cannot_be_read_back(tmp_path, values, names, reason):
    with pytest.raises(ValueError, match=reason):
        kelvora.write_sdm(np.array(values), tmp_path / "x.sdm", names=names)
    assert not (tmp_path / "x.sdm").exists()


def test_read_sdm_values_share_the_reader_memory(examples):
    sdm = kelvora.read_sdm(examples / "study" / "sub-01_run-1.sdm")
    assert sdm.values.shape == (240, 13) and sdm.values.dtype == np.float32
    assert not sdm.values.flags.writeable and not sdm.values.flags.owndata
    assert np.shares_memory(sdm.to_frame().to_numpy(), sdm.values)


def test_read_sdm_notes_carry_kelvora_codes(tmp_path):
    path = tmp_path / "cut.sdm"
    kelvora.write_sdm(np.ones((3, 2)), path, names=["a", "b"])
    path.write_bytes(path.read_bytes().replace(b"1 1\r\n1 1\r\n1 1\r\n", b"1 1\r\n1 x\r\n"))
    notes = kelvora.read_sdm(path).notes
    assert list(notes.code) == ["SDM_UNREADABLE_VALUE"]


def test_read_mdm_save_read_round_trip(examples, tmp_path):
    mdm = kelvora.read_mdm(examples / "study" / "group.mdm")
    mdm.studies.loc[0, "sdm"] = "elsewhere/sub-01_run-1.sdm"
    mdm.save(tmp_path / "copy.mdm")
    again = kelvora.read_mdm(tmp_path / "copy.mdm")
    assert again.studies[["functional", "sdm"]].equals(mdm.studies[["functional", "sdm"]])
    assert again.rfx_glm == mdm.rfx_glm == 1
    mdm.studies.loc[1, "sdm"] = 'bad"name.sdm'
    with pytest.raises(ValueError):
        mdm.save(tmp_path / "bad.mdm")


def test_mtc_extra_paths_travel_with_their_rows(tmp_path):
    lines = ["", "FileVersion:          3", "TypeOfFunctionalData: MTC", "", "RFX-GLM:              0",
             "", "PSCTransformation:    0", "zTransformation:      0", "SeparatePredictors:   0",
             "", "NrOfStudies:          2",
             '"a.poi" "a.mtc" "a.sdm"', '"b.vtc" "b.sdm"', ""]
    (tmp_path / "g.mdm").write_bytes("\r\n".join(lines).encode())
    mdm = kelvora.read_mdm(tmp_path / "g.mdm")
    assert list(mdm.studies.extra) == ["a.poi", None]
    mdm.studies = mdm.studies.iloc[::-1].reset_index(drop=True)
    mdm.save(tmp_path / "r.mdm")
    again = kelvora.read_mdm(tmp_path / "r.mdm")
    assert list(again.studies.sdm) == ["b.sdm", "a.sdm"]
    assert list(again.studies.extra) == [None, "a.poi"]


@pytest.mark.parametrize("study", ["study", "names", "moved"])
def test_inspect_json_is_kelvora_json(examples, tmp_path, study):
    mdm = examples / study / "group.mdm"
    cli = subprocess.run([os.environ["KELVORA_CLI"], "--json", "--no-prompt", str(mdm)],
                         capture_output=True)
    outcome = kelvora.inspect(mdm)
    assert outcome.to_json() + "\n" == cli.stdout.decode("ascii")
    assert outcome.exit_status == cli.returncode


def test_inspect_repairs_and_reports(examples, tmp_path):
    folder = examples / "moved"
    outcome = kelvora.inspect(folder / "group.mdm", locate=folder / "sub-01_run-1.sdm",
                              save_mdm=tmp_path / "here.mdm", findings_file=tmp_path)
    assert outcome.exit_status == 0 and outcome.complete
    assert (tmp_path / "here.mdm").exists() and (tmp_path / "group_log.txt").exists()
    outcome.report(tmp_path / "report.html")
    assert b"<html" in (tmp_path / "report.html").read_bytes()[:400].lower()
    for input_file in (folder / "group.mdm", tmp_path / "here.mdm", folder / "sub-01_run-1.sdm"):
        before = input_file.read_bytes()
        with pytest.raises(OSError, match="a file of this inspection"):
            outcome.report(input_file)
        assert input_file.read_bytes() == before


def test_inspect_example_findings(examples):
    outcome = kelvora.inspect(examples / "study" / "group.mdm", findings_file=False)
    assert outcome.exit_status == 1
    assert list(outcome.findings.code) == ["ZERO_ACROSS_RUNS", "ZERO_CONFOUND"]
    assert set(outcome.all_findings.kind) == {"run", "design"}
    assert not (examples / "study" / "group_log.txt").exists()


def test_check_design_known_answers():
    rng = np.random.default_rng(1)
    a, b = rng.standard_normal(100), rng.standard_normal(100)
    design = pd.DataFrame({"a": a, "b": b, "sum": a + b, "one": np.ones(100)})
    found = kelvora.check_design(design)
    assert list(found.code) == ["RANK_DEFICIENT_DESIGN"]
    assert sorted(found.predictors[0]) == ["a", "b", "sum"]
    assert found.attrs["rank"] == 3
    clean = kelvora.check_design(design[["a", "b", "one"]], interest=2)
    assert clean.empty and clean.attrs["rank"] == 3
    assert clean.attrs["vif"].between(1.0, 1.2).all()


HOSTILE = sorted(glob.glob(os.path.join(ROOT, "fuzz", "regressions", "*", "*")) +
                 glob.glob(os.path.join(ROOT, "fuzz", "corpus", "*", "*")))


def test_hostile_inputs_end_in_python_exceptions(tmp_path):
    assert HOSTILE
    for path in HOSTILE:
        for read in (kelvora.read_sdm, kelvora.read_mdm):
            try:
                read(path)
            except ValueError:
                pass
        outcome = kelvora.inspect(path, findings_file=False, threads=1)
        assert outcome.exit_status in (0, 1, 2)


@pytest.mark.parametrize("read", [kelvora.read_sdm, kelvora.read_mdm])
def test_unopenable_paths(tmp_path, read):
    with pytest.raises(FileNotFoundError):
        read(tmp_path / "missing")
    with pytest.raises(IsADirectoryError):
        read(tmp_path)


def test_inspect_config_and_ignore_as_kelvora(examples, tmp_path):
    mdm = examples / "study" / "group.mdm"
    config = {"ignore": [{"code": "ZERO_CONFOUND", "file": "sub-0*_run-*.sdm"}],
              "note": ["ZERO_ACROSS_RUNS"]}
    (tmp_path / "lab.json").write_text(json.dumps(config))
    outcome = kelvora.inspect(mdm, findings_file=False, config=config)
    assert "ZERO_CONFOUND" not in set(outcome.all_findings.code)
    assert set(outcome.all_findings.severity[outcome.all_findings.code == "ZERO_ACROSS_RUNS"]) \
        == {"note"}
    assert list(outcome.findings.code) == ["ZERO_ACROSS_RUNS", "ZERO_CONFOUND"]
    cli = subprocess.run([os.environ["KELVORA_CLI"], "--json", "--no-prompt", "--no-findings-file",
                          "--config", str(tmp_path / "lab.json"), str(mdm)], capture_output=True)
    from_file = kelvora.inspect(mdm, findings_file=False, config=tmp_path / "lab.json")
    assert outcome.to_json() == from_file.to_json() == cli.stdout.decode("ascii").rstrip("\n")
    assert outcome.exit_status == from_file.exit_status == cli.returncode
    ignored = kelvora.inspect(mdm, findings_file=False, ignore=["ZERO_CONFOUND", "ZERO_ACROSS_RUNS"])
    assert not {"ZERO_CONFOUND", "ZERO_ACROSS_RUNS"} & set(ignored.all_findings.code)
    with pytest.raises(ValueError, match=r"config: line 3: unknown code \"HIGH_VIFF\""):
        kelvora.inspect(mdm, config={"ignore": ["HIGH_VIFF"]})
    with pytest.raises(ValueError, match="ignore: unknown code"):
        kelvora.inspect(mdm, ignore=["NOPE"])


def test_inspect_contrasts_as_kelvora(examples):
    study = examples / "study"
    cli = subprocess.run([os.environ["KELVORA_CLI"], "--json", "--no-prompt", "--no-findings-file",
                          "--contrasts", str(study / "contrasts.tsv"), str(study / "group.mdm")],
                         capture_output=True)
    table = kelvora.inspect(study / "group.mdm", findings_file=False,
                            contrasts=study / "contrasts.tsv")
    assert table.to_json() + "\n" == cli.stdout.decode("ascii")
    listed = kelvora.inspect(study / "group.mdm", findings_file=False,
                             contrasts=["Bodies - Tools"])
    subjects = listed.contrasts.dropna(subset=["subject"]).set_index("subject")
    assert not subjects.loc["sub-03", "estimable"] and subjects.loc["sub-01", "estimable"]
    assert "CONTRAST_NOT_ESTIMABLE_FOR_SUBJECT" in set(listed.all_findings.code)
    with pytest.raises(ValueError, match='did you mean "Houses"'):
        kelvora.inspect(study / "group.mdm", findings_file=False, contrasts=["Faces - Housse"])


def test_explain_gives_the_guide_entry_of_every_code_a_finding_carries(examples):
    outcome = kelvora.inspect(os.path.join(examples, "study", "group.mdm"), findings_file=False)
    codes = set(outcome.all_findings["code"])
    assert {"ZERO_ACROSS_RUNS", "ZERO_CONFOUND"} <= codes
    for code in codes:
        text = kelvora.explain(code)
        assert text.startswith(code + "\n") and "\n\nWhat to do: " in text
    with pytest.raises(ValueError, match=r'"HIGH_VIFF"; did you mean HIGH_VIF\?'):
        kelvora.explain("HIGH_VIFF")
