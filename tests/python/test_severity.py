"""A finding has one severity in Python as in kelvora: the one --fail-on counts, in every
DataFrame of an Outcome and in an Sdm's notes; whether a log finding ended the run is endsRun."""
import numpy as np

import kelvora


def shown(frame, kind_frame, kind):
    """(code, severity) of `frame`'s findings the config keeps, and of all_findings' of `kind`."""
    own = [(c, s) for c, s in zip(frame.code, frame.severity) if s is not None]
    listed = [(c, s) for c, s, k in zip(kind_frame.code, kind_frame.severity, kind_frame.kind)
              if k == kind and not c.startswith("CONTRAST_")]
    return own, listed


def early_end(examples):
    """The example study with one predictor of interest less in sub-04_run-2.sdm: the log ends
    at the count, and sub-03's "Bodies" is zero in all its runs beyond it."""
    path = examples / "study" / "sub-04_run-2.sdm"
    sdm = kelvora.read_sdm(path)
    kept = [j for j, name in enumerate(sdm.names) if name != "Words"]
    kelvora.write_sdm(np.asarray(sdm.values)[:, kept], path, names=[sdm.names[j] for j in kept],
                      first_confound=sdm.first_confound - 1, includes_constant=True)
    return examples / "study" / "group.mdm"


def test_every_frame_shows_the_severity_fail_on_counts(examples):
    mdm = early_end(examples)
    for rule, expected in [(None, "error"), ("error", "error"), ("note", "note"),
                           ("ignore", None)]:
        config = rule and {rule: ["ZERO_ACROSS_RUNS"]}
        outcome = kelvora.inspect(mdm, findings_file=False, config=config)
        for frame, kind in [(outcome.findings, "run"), (outcome.further_findings, "further"),
                            (outcome.design_findings, "design")]:
            own, listed = shown(frame, outcome.all_findings, kind)
            assert own == listed, (rule, kind)
        zero = outcome.further_findings[outcome.further_findings.code == "ZERO_ACROSS_RUNS"]
        assert list(zero.severity) == [expected] and list(zero.beyondRun) == [True]
    ended = outcome.findings.set_index("code").loc["PREDICTOR_COUNT_MISMATCH"]
    assert (ended.severity, ended.endsRun) == ("error", True)


def test_a_damaged_sdm_is_an_error_in_its_notes_and_the_outcome(examples):
    path = examples / "study" / "sub-02_run-1.sdm"
    text = path.read_bytes()
    cut = text.index(b"\n", len(text) // 2)
    path.write_bytes(text[:cut] + b" 1,5" + text[cut:])
    notes = kelvora.read_sdm(path).notes
    assert list(zip(notes.code, notes.severity)) == [("SDM_UNREADABLE_VALUE", "error")]
    outcome = kelvora.inspect(examples / "study" / "group.mdm", findings_file=False)
    further = outcome.further_findings.set_index("code")
    assert further.loc["SDM_UNREADABLE_VALUE", "severity"] == "error"
    assert not any(outcome.findings.endsRun)
