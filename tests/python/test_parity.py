"""inspect() on par with the command: its version, --subject-rule, --fail-on, and contrasts taken by
their type (a str is one expression, a pathlib.Path a table file), each giving kelvora's very line."""
import json
import os
import pathlib
import subprocess

import pytest

import kelvora


def cli(*args):
    return subprocess.run([os.environ["KELVORA_CLI"], "--no-prompt", "--no-findings-file",
                           *map(str, args)], capture_output=True)


def test_the_version_is_the_commands():
    assert cli("--version").stdout.decode("ascii").split() == ["kelvora", kelvora.__version__]


def test_subject_rule_and_fail_on_as_the_command(examples):
    mdm = examples / "study" / "group.mdm"
    cases = [({}, []),
             ({"subject_rule": "folder:1"}, ["--subject-rule", "folder:1"]),
             ({"fail_on": "error", "ignore": ["ZERO_ACROSS_RUNS"]},
              ["--fail-on", "error", "--ignore", "ZERO_ACROSS_RUNS"]),
             ({"fail_on": "note"}, ["--fail-on", "note"])]
    statuses = []
    for arguments, options in cases:
        outcome = kelvora.inspect(mdm, findings_file=False, **arguments)
        done = cli("--json", *options, mdm)
        assert outcome.to_json() + "\n" == done.stdout.decode("latin-1"), options
        assert outcome.exit_status == done.returncode == json.loads(outcome.to_json())["exitStatus"]
        statuses.append(outcome.exit_status)
    assert statuses == [1, 1, 0, 1]  # only the ignored error made a difference to the status
    # The example's paths have no folder to take a subject from: the rule is applied, and says so.
    ruled = kelvora.inspect(mdm, findings_file=False, subject_rule="folder:1")
    assert list(ruled.further_findings["code"]) == ["SUBJECT_RULE_UNPLACED"]


def test_a_rule_or_severity_kelvora_refuses_is_a_value_error(examples):
    mdm = examples / "study" / "group.mdm"
    with pytest.raises(ValueError, match=r"^subject_rule: unknown rule \"sideways\""):
        kelvora.inspect(mdm, findings_file=False, subject_rule="sideways")
    with pytest.raises(ValueError, match="^fail_on: fatal is none of error, warning, note$"):
        kelvora.inspect(mdm, findings_file=False, fail_on="fatal")
    assert cli("--fail-on", "fatal", mdm).returncode == 64
    assert cli("--subject-rule", "sideways", mdm).returncode == 64


def test_contrasts_are_taken_by_their_type_never_guessed(examples, monkeypatch):
    study = examples / "study"
    monkeypatch.chdir(study)
    one = kelvora.inspect("group.mdm", findings_file=False, contrasts="Bodies - Tools")
    listed = kelvora.inspect("group.mdm", findings_file=False, contrasts=["Bodies - Tools"])
    assert one.to_json() + "\n" == cli("--json", "--contrast", "Bodies - Tools",
                                       "group.mdm").stdout.decode("latin-1")
    assert one.to_json() == listed.to_json()
    table = kelvora.inspect("group.mdm", findings_file=False,
                            contrasts=pathlib.Path("contrasts.tsv"))
    assert table.to_json() + "\n" == cli("--json", "--contrasts", "contrasts.tsv",
                                         "group.mdm").stdout.decode("latin-1")
    # A str is an expression even where a file of that name lies; the refusal says how to ask.
    with pytest.raises(ValueError, match=r"no SDM has a predictor \"contrasts.tsv\".*"
                                         r"contrasts=pathlib.Path\('contrasts.tsv'\)"):
        kelvora.inspect("group.mdm", findings_file=False, contrasts="contrasts.tsv")
    with pytest.raises(TypeError, match="pathlib.Path"):
        kelvora.inspect("group.mdm", findings_file=False, contrasts=b"contrasts.tsv")
