"""Inspections on several threads at once stay apart: none changes the process's folder, each
takes its relative paths in the folder its caller was in, and each log holds its own run's lines
only. And no output of a call (Mdm.save, Outcome.report, save_mdm) replaces a functional data
file that the MDM lists."""
import os
import shutil
import threading

import pytest

import kelvora
from conftest import ROOT


@pytest.fixture
def two_studies(tmp_path, monkeypatch):
    """studyA (the main example) and studyB (names that differ), side by side in the current
    folder, each inspected once alone: its relative MDM path and its log and findings file."""
    for name, example in (("studyA", "study"), ("studyB", "names")):
        shutil.copytree(os.path.join(ROOT, "examples", example), tmp_path / name)
    monkeypatch.chdir(tmp_path)
    alone = {}
    for name in ("studyA", "studyB"):
        outcome = kelvora.inspect(f"{name}/group.mdm")
        alone[name] = (outcome.log, outcome.exit_status,
                       (tmp_path / name / "group_log.txt").read_bytes())
    assert alone["studyA"][0] != alone["studyB"][0]
    return tmp_path, alone


def run_together(work, count, while_running):
    """Runs work(index) on `count` threads while the calling thread calls while_running() over
    and over; returns what each thread's work returned, re-raising the first failure."""
    results, failures = [None] * count, []

    def thread_work(index):
        try:
            results[index] = work(index)
        except BaseException as failure:  # handed to the test's thread
            failures.append(failure)

    threads = [threading.Thread(target=thread_work, args=(i,)) for i in range(count)]
    for thread in threads:
        thread.start()
    while any(thread.is_alive() for thread in threads):
        while_running()
    for thread in threads:
        thread.join()
    if failures:
        raise failures[0]
    return results


def test_threads_inspecting_relative_paths_keep_their_own_folder_and_log(two_studies):
    root, alone = two_studies
    start = os.getcwd()
    seen_folders, written = set(), []

    def inspect_many(index):
        study = ("studyA", "studyB")[index % 2]
        outcomes = [kelvora.inspect(f"{study}/group.mdm", threads=2) for _ in range(15)]
        return study, [(o.log, o.exit_status) for o in outcomes]

    def meanwhile():
        seen_folders.add(os.getcwd())
        name = f"written-{len(written)}.txt"
        with open(name, "w") as file:  # relative: lands in the folder the test started in
            file.write(name)
        written.append(name)

    for study, outcomes in run_together(inspect_many, 4, meanwhile):
        for log, status in outcomes:
            assert log[0] == f"Kelvora>  Start inspecting {root / study / 'group.mdm'}"
            assert (log, status) == alone[study][:2]
    assert seen_folders == {start} and os.getcwd() == start
    assert sorted(os.listdir(root)) == sorted(["studyA", "studyB"] + written)
    for study in ("studyA", "studyB"):
        assert (root / study / "group_log.txt").read_bytes() == alone[study][2]


def test_other_threads_lines_reach_neither_the_log_nor_the_findings_file(two_studies):
    # Reading a file that does not open logs a line on the reading thread; it belongs to no
    # inspection under way on another thread.
    root, alone = two_studies

    def inspect_many(_):
        return [kelvora.inspect("studyA/group.mdm").log for _ in range(20)]

    def read_missing():
        with pytest.raises(FileNotFoundError):
            kelvora.read_mdm("missing/group.mdm")
        with pytest.raises(FileNotFoundError):
            kelvora.read_sdm("missing/run.sdm")

    for logs in run_together(inspect_many, 2, read_missing):
        assert all(log == alone["studyA"][0] for log in logs)
    assert (root / "studyA" / "group_log.txt").read_bytes() == alone["studyA"][2]


@pytest.fixture
def study_with_functional_data(tmp_path, monkeypatch):
    """The main example in data/, its first run's functional file present; the current folder is
    data/'s parent, so that the MDM's relative paths lead elsewhere from there."""
    shutil.copytree(os.path.join(ROOT, "examples", "study"), tmp_path / "data")
    functional = tmp_path / "data" / "sub-01_run-1.vtc"
    functional.write_bytes(b"the first run's functional data")
    monkeypatch.chdir(tmp_path)
    return tmp_path / "data"


def test_mdm_save_refuses_the_functional_files_it_lists(study_with_functional_data):
    data = study_with_functional_data
    mdm = kelvora.read_mdm("data/group.mdm")
    for target in ("data/sub-01_run-1.vtc", "data/sub-02_run-1.vtc"):  # present, and not
        with pytest.raises(ValueError, match="one of the files it lists"):
            mdm.save(target)
    assert (data / "sub-01_run-1.vtc").read_bytes() == b"the first run's functional data"
    assert not (data / "sub-02_run-1.vtc").exists()
    mdm.save("data/copy.mdm")
    assert kelvora.read_mdm("data/copy.mdm").studies.functional.tolist() == \
        mdm.studies.functional.tolist()


def test_report_and_corrected_mdm_never_replace_functional_data(study_with_functional_data):
    data = study_with_functional_data
    outcome = kelvora.inspect("data/group.mdm", findings_file=False)
    with pytest.raises(OSError, match="a file of this inspection"):
        outcome.report("data/sub-01_run-1.vtc")
    with pytest.raises(OSError, match="a file of this inspection"):
        outcome.report("data/sub-03_run-2.vtc")
    assert not (data / "sub-03_run-2.vtc").exists()

    # The corrected MDM's paths lead into data/: its first functional file is one of them.
    moved = data.parent / "moved"
    shutil.copytree(os.path.join(ROOT, "examples", "moved"), moved)
    (moved / "sub-01_run-1.vtc").write_bytes(b"moved functional data")
    outcome = kelvora.inspect("moved/group.mdm", locate="moved/sub-01_run-1.sdm",
                              save_mdm="moved/sub-01_run-1.vtc", findings_file=False)
    assert f"!! Cannot Create file: {moved / 'sub-01_run-1.vtc'}" in outcome.log
    assert "MDM_NOT_SAVED" in outcome.all_findings.code.tolist()
    assert (moved / "sub-01_run-1.vtc").read_bytes() == b"moved functional data"
    assert sorted(os.listdir(moved)) == sorted(os.listdir(os.path.join(ROOT, "examples", "moved"))
                                               + ["sub-01_run-1.vtc"])
