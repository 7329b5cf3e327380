"""The repair of a moved study as the host sees it: the first SDM cannot be found, the user locates
it, every study path is re-based on the answer, the first SDM is read again and the corrected MDM
may be saved. Each scenario checks the dialogs with their texts, folders and answers, the log,
the findings file, the MDM that was opened (kept byte for byte unless saved over) and the bytes of
a saved MDM."""

import os
import unittest

from harness import ON_WINDOWS, lines, log, run_host
from study_builder import (ASKING, NAMES_MATCH, NO_ZERO_INTEREST, cannot_create_line, clean_checks,
                           count_line, error_reading_line, locate_dialog, mdm_text, not_found_box,
                           read_line, run_events, run_in, RunTest, save_dialog_call, save_question,
                           saved_line, sdm, sdm_failed_line, start_line, subjects_line, write_group,
                           zero_confound_line)

OLD = "D:/lab/old"
STEMS = ["S01_run1", "S01_run2", "S02_run1"]
EXPECTED = "S01_run1.sdm"

def saved_mdm(studies, data_type="VTC", settings=(2, 1, 0, 1, 1)):
    """The bytes the writer gives an MDM of `studies`; `settings` are FileVersion, RFX-GLM,
    PSCTransformation, zTransformation and SeparatePredictors."""
    version, rfx, psc, z, separate = settings
    header = (f"\r\nFileVersion:          {version}\r\nTypeOfFunctionalData: {data_type}\r\n\r\n"
              f"RFX-GLM:              {rfx}\r\n\r\nPSCTransformation:    {psc}\r\n"
              f"zTransformation:      {z}\r\nSeparatePredictors:   {separate}\r\n\r\n"
              f"NrOfStudies:          {len(studies)}\r\n")
    rows = "".join(" ".join(f'"{p}"' for p in paths) + "\r\n" for paths in studies)
    return (header + rows).encode("latin-1")


class MovedStudy(RunTest):
    """An MDM written where the study lay before (D:/lab/old), now in the folder "moved" with
    its SDMs. Its header is laid out loosely, with LF line ends, to show what a save rewrites."""

    def setUp(self):
        super().setUp()
        for stem in STEMS:
            self.study.write(f"moved/{stem}.sdm", sdm())
        rows = "".join(f'"{OLD}/{stem}.vtc" "{OLD}/{stem}.sdm"\n' for stem in STEMS)
        self.mdm = self.study.write(
            "moved/group.mdm",
            "FileVersion: 2\nTypeOfFunctionalData: VTC\nSeparatePredictors: 1\n"
            "RFX-GLM: +1\nPSCTransformation: 0 zTransformation: 1\nNrOfStudies: 3\n" + rows)
        self.original = self.study.read("moved/group.mdm")
        self.folder = self.study.path("moved")
        self.located = self.study.path("moved/S01_run1.sdm")
        self.findings = self.study.path("moved/group_log.txt")
        self.first_lines = [start_line(self.mdm), sdm_failed_line(f"{OLD}/S01_run1.sdm"), ASKING]

    def opening(self):
        """The run up to the locate dialog."""
        return log(*self.first_lines) + [not_found_box()]

    def locate(self, result, path):
        return locate_dialog(EXPECTED, self.folder, result, path)

    def completion(self):
        """The lines of a repaired run after the repair: all three studies read, nothing found."""
        return [read_line(3)] + clean_checks(2, 2)

    def repaired_run(self, answer_events, result=True):
        """A run that locates the first SDM, then `answer_events` (the save question and what
        follows it), then the rest of a complete run."""
        return run_events(self.mdm, self.opening() + [self.locate(1, self.located)] +
                          answer_events + log(*self.completion(), saved_line(self.findings)),
                          result)

    def corrected_studies(self, base):
        return [(f"{base}/{stem}.vtc", f"{base}/{stem}.sdm") for stem in STEMS]

    def assertMdmKept(self):
        self.assertEqual(self.study.read("moved/group.mdm"), self.original)


class LocatingTheFirstSdm(MovedStudy):

    def test_cancelled_locate_dialog_ends_the_run(self):
        # A result of 0 cancels even when the dialog left a path behind.
        t = run_host("--runs", "2", "--open", self.mdm, "--cancel-open",
                     "--open", self.mdm, "--open-result", "0", self.located)
        self.assertRuns(t, run_events(self.mdm, self.opening() + [self.locate(0, "")], False),
                        run_events(self.mdm, self.opening() + [self.locate(0, self.located)],
                                   False))
        self.assertFileLines("moved/group_log.txt", *self.first_lines)
        self.assertMdmKept()

    def test_path_shorter_than_the_expected_file_name_is_refused(self):
        short = "ab/run1.sdm"  # 11 characters, one fewer than S01_run1.sdm
        t = run_host("--open", self.mdm, "--open", short)
        self.assertRuns(t, run_events(self.mdm, self.opening() + [self.locate(1, short)], False))
        self.assertFileLines("moved/group_log.txt", *self.first_lines)

    def test_located_file_that_cannot_be_read_either_ends_the_run(self):
        # The old path itself: nothing changes and the same file fails again. Then a file in
        # another folder, which does not exist either; the later studies are never read.
        elsewhere = self.study.path("elsewhere/S01_run1.sdm")
        t = run_host("--runs", "2", "--open", self.mdm, "--open", f"{OLD}/S01_run1.sdm",
                     "--open", self.mdm, "--open", elsewhere)
        runs, bodies = [], []
        for chosen in [f"{OLD}/S01_run1.sdm", elsewhere]:
            after = [sdm_failed_line(chosen), error_reading_line(chosen)]
            runs.append(run_events(self.mdm, self.opening() + [self.locate(1, chosen)] +
                                   log(*after), False))
            bodies.append(self.first_lines + after)
        self.assertRuns(t, *runs)
        self.assertFileLines("moved/group_log.txt", *bodies[-1])
        self.assertMdmKept()

    def test_any_answer_but_yes_keeps_the_corrections_for_this_run_only(self):
        # 2 and -1 are no; so is the answer of a host that has none queued (0).
        t = run_host("--runs", "3", "--open", self.mdm, "--open", self.located, "--yesno", "2",
                     "--open", self.mdm, "--open", self.located, "--yesno", "-1",
                     "--open", self.mdm, "--open", self.located)
        self.assertRuns(t, *[self.repaired_run([save_question(a)]) for a in (2, -1, 0)])
        self.assertFileLines("moved/group_log.txt", *self.first_lines, *self.completion())
        self.assertMdmKept()

    def test_single_study_goes_on_to_the_checks_after_the_repair(self):
        mdm = self.study.write("moved/one.mdm",
                               mdm_text([(f"{OLD}/S01_run1.vtc", f"{OLD}/S01_run1.sdm")]))
        t = run_host("--open", mdm, "--open", self.located, "--yesno", "2")
        body = [start_line(mdm), sdm_failed_line(f"{OLD}/S01_run1.sdm"), ASKING, read_line(1),
                *clean_checks(2, 1)]
        self.assertRuns(t, run_events(mdm, log(*body[:3]) + [
            not_found_box(), self.locate(1, self.located), save_question(2),
            *log(*body[3:], saved_line(self.study.path("moved/one_log.txt")))], True))
        self.assertFileLines("moved/one_log.txt", *body)


class SavingTheCorrectedMdm(MovedStudy):

    def test_cancelled_save_dialog_ends_the_run_and_saves_nothing(self):
        target = self.study.path("fixed.mdm")
        t = run_host("--runs", "2", "--yesno", "1", "--yesno", "1",
                     "--open", self.mdm, "--open", self.located, "--cancel-save",
                     "--open", self.mdm, "--open", self.located, "--save-result", "0", target)
        self.assertRuns(t, *[
            run_events(self.mdm, self.opening() + [self.locate(1, self.located), save_question(1),
                                                   save_dialog_call(self.folder, 0, path)], False)
            for path in ["", target]])
        self.assertFileLines("moved/group_log.txt", *self.first_lines)
        self.assertMissing("fixed.mdm")
        self.assertMdmKept()

    def test_save_that_cannot_be_written_is_logged_and_the_run_goes_on(self):
        missing_folder = self.study.path("no-such-folder/fixed.mdm")
        self.study.write("a-folder.mdm/inside.txt", "")
        folder = self.study.path("a-folder.mdm")
        args, runs = ["--runs", "3"], []
        # A file in a missing folder, the empty name that a host returning 1 without a path gives,
        # and an existing folder.
        for target in [missing_folder, "", folder]:
            args += ["--open", self.mdm, "--open", self.located, "--yesno", "1",
                     "--save-result", "1", target]
            runs.append(run_events(self.mdm, self.opening() + [
                self.locate(1, self.located), save_question(1),
                save_dialog_call(self.folder, 1, target),
                *log(cannot_create_line(target), *self.completion(), saved_line(self.findings))],
                True))
        self.assertRuns(run_host(*args), *runs)
        self.assertFileLines("moved/group_log.txt", *self.first_lines, cannot_create_line(folder),
                             *self.completion())
        self.assertMissing("no-such-folder")
        self.assertEqual(os.listdir(folder), ["inside.txt"])
        self.assertMdmKept()

    def test_saved_mdm_holds_the_corrected_paths_and_reads_back_without_a_repair(self):
        target = self.study.path("fixed.mdm")
        t = run_host("--runs", "2", "--open", self.mdm, "--open", self.located, "--yesno", "1",
                     "--save", target, "--open", target)
        # The findings keep the name taken from the MDM that was opened.
        readback = [start_line(target), read_line(3)] + clean_checks(2, 2)
        self.assertRuns(t,
                        self.repaired_run([save_question(1),
                                           save_dialog_call(self.folder, 1, target)]),
                        run_events(target, log(*readback, saved_line(
                            self.study.path("fixed_log.txt"))), True))
        self.assertEqual(self.study.read("fixed.mdm"),
                         saved_mdm(self.corrected_studies(self.folder)))
        self.assertFileLines("moved/group_log.txt", *self.first_lines, *self.completion())
        self.assertFileLines("fixed_log.txt", *readback)
        self.assertMdmKept()

    def test_saving_over_the_opened_mdm_replaces_it(self):
        t = run_host("--runs", "2", "--open", self.mdm, "--open", self.located, "--yesno", "1",
                     "--save", self.mdm, "--open", self.mdm)
        again = [start_line(self.mdm), read_line(3)] + clean_checks(2, 2)
        self.assertRuns(t,
                        self.repaired_run([save_question(1),
                                           save_dialog_call(self.folder, 1, self.mdm)]),
                        run_events(self.mdm, log(*again, saved_line(self.findings)), True))
        self.assertEqual(self.study.read("moved/group.mdm"),
                         saved_mdm(self.corrected_studies(self.folder)))
        self.assertEqual(sorted(os.listdir(self.folder)),
                         sorted(["group.mdm", "group_log.txt"] + [f"{s}.sdm" for s in STEMS]))


class RebasingThePaths(RunTest):
    """How the answer re-bases the paths, each case seen in the run and in the saved MDM."""

    def run_repair(self, mdm, chosen, target, body_after, expected_name=EXPECTED,
                   open_result="1"):
        """Runs `mdm`, locates `chosen`, saves to `target` (None: answers no to saving), and checks
        the transcript of a complete run whose lines after the repair are `body_after`."""
        answers = ["--yesno", "1", "--save", target] if target else ["--yesno", "2"]
        t = run_host("--open", mdm, "--open-result", open_result, chosen, *answers)
        directory = mdm.rsplit("/", 1)[0]
        first = [start_line(mdm), sdm_failed_line(self.first_sdm), ASKING]
        saving = ([save_question(1), save_dialog_call(directory, 1, target)] if target else
                  [save_question(2)])
        self.assertRuns(t, run_events(mdm, log(*first) + [
            not_found_box(), locate_dialog(expected_name, directory, int(open_result), chosen),
            *saving, *log(*body_after, saved_line(mdm.rsplit(".", 1)[0] + "_log.txt"))], True))

    def test_relative_old_paths_get_the_chosen_folder_in_front(self):
        for stem in STEMS:
            self.study.write(f"moved/lab-data/{stem}.sdm", sdm())
        self.first_sdm = "lab-data/S01_run1.sdm"
        mdm = self.study.write("moved/group.mdm", mdm_text(
            [(f"lab-data/{s}.vtc", f"lab-data/{s}.sdm") for s in STEMS]))
        self.run_repair(mdm, self.study.path("moved/lab-data/S01_run1.sdm"),
                        self.study.path("fixed.mdm"), [read_line(3)] + clean_checks(2, 2))
        base = self.study.path("moved/lab-data")
        self.assertEqual(self.study.read("fixed.mdm"), saved_mdm(
            [(f"{base}/{s}.vtc", f"{base}/{s}.sdm") for s in STEMS], settings=(3, 0, 1, 0, 0)))

    def test_file_of_another_name_rebases_only_the_paths_that_begin_like_the_cut_part(self):
        # Only "01_run1.sdm" is common, so the cut part is "D:/lab/old/S": the paths that begin
        # with it take the chosen folder and "X"; the functional data on another drive stays.
        # Any non-zero result means chosen.
        self.first_sdm = f"{OLD}/S01_run1.sdm"
        mdm = self.study.write("moved/group.mdm", mdm_text(
            [(f"{OLD}/S01_run1.vtc", self.first_sdm), ("V:/func/S01_run2.vtc", f"{OLD}/S01_run2.sdm")]))
        chosen = self.study.write("moved/X01_run1.sdm", sdm(confounds=["Drift"], zero=("Drift",)))
        second = self.study.write("moved/X01_run2.sdm", sdm(confounds=["Drift"]))
        self.run_repair(mdm, chosen, self.study.path("fixed.mdm"), [
            read_line(2), count_line(2), NAMES_MATCH, subjects_line(2), NO_ZERO_INTEREST,
            zero_confound_line("X01_run1.sdm", 3, "Drift")], expected_name="S01_run1.sdm",
            open_result="-1")
        self.assertEqual(self.study.read("fixed.mdm"), saved_mdm(
            [(self.study.path("moved/X01_run1.vtc"), chosen), ("V:/func/S01_run2.vtc", second)],
            settings=(3, 0, 1, 0, 0)))

    def mixed_study(self, before, after, sep):
        """Three studies under `before` with the separator `sep`, the SDMs at `after` (S02's
        with a zero confound, so the report shows which file study 3 read); returns the MDM.
        Where '\\' separates no folders, the re-based paths of an MDM written with '\\' take
        '/' throughout, so they name the files written here."""
        runs = [("S01", "run1"), ("S01", "run2"), ("S02", "run1")]
        self.first_sdm = sep.join([before, "S01", "run1.sdm"])
        for s, r in runs:
            text = sdm(confounds=["Drift"], zero=("Drift",) if s == "S02" else ())
            self.study.write(f"{after}/{s}/{r}.sdm", text)
        return self.study.write("group.mdm", mdm_text(
            [(sep.join([before, s, f"{s}_{r}.vtc"]), sep.join([before, s, f"{r}.sdm"]))
             for s, r in runs]))

    # Compared byte by byte, only "run1.sdm" would be common to the old and the chosen path, and
    # study 3 would be pointed at S01's file: no zero confound.
    MIXED_REPORT = [read_line(3), *clean_checks(2, 2)[:4],
                    zero_confound_line("run1.sdm", 3, "Drift")]

    def test_slash_answer_to_an_mdm_written_with_backslashes(self):
        mdm = self.mixed_study("D:\\lab\\before", "after", "\\")
        self.run_repair(mdm, self.study.path("after/S01/run1.sdm"), None, self.MIXED_REPORT,
                        expected_name="run1.sdm")

    @unittest.skipUnless(ON_WINDOWS, "only Windows resolves a drive letter and '\\' in a path")
    def test_backslash_answer_to_an_mdm_written_with_slashes(self):
        mdm = self.mixed_study("D:/lab/before", "after", "/")
        after = "Z:" + self.study.path("after").replace("/", "\\")
        self.run_repair(mdm, f"{after}\\S01\\run1.sdm", None, self.MIXED_REPORT,
                        expected_name="run1.sdm")

    # The first SDM is read again from, and saved as, the path the user chose. The other re-based
    # paths take '/' throughout where '\' separates no folders, and keep the MDM's '\' where it
    # does.
    def test_first_sdm_is_read_again_from_the_path_the_user_chose(self):
        self.first_sdm = "D:\\lab\\before\\S01\\run1.sdm"
        mdm = self.study.write("group.mdm", mdm_text(
            [("D:\\lab\\before\\S01\\S01_run1.vtc", self.first_sdm)]))
        chosen = self.study.write("after/S01/run1.sdm", sdm())
        self.run_repair(mdm, chosen, self.study.path("fixed.mdm"),
                        [read_line(1), *clean_checks(2, 1)], expected_name="run1.sdm")
        self.assertEqual(self.study.read("fixed.mdm"), saved_mdm(
            [(self.study.path("after") + ("\\S01\\" if ON_WINDOWS else "/S01/") + "S01_run1.vtc",
              chosen)],
            settings=(3, 0, 1, 0, 0)))

    def test_mtc_design_rebases_the_extra_paths_too(self):
        self.first_sdm = f"{OLD}/S01_run1.sdm"
        for stem in STEMS:
            self.study.write(f"moved/{stem}.sdm", sdm())
        mdm = self.study.write("moved/group.mdm", mdm_text(
            [(f"{OLD}/{s}.mtc", f"{OLD}/{s}.vmr", f"{OLD}/{s}.sdm") for s in STEMS],
            data_type="MTC"))
        base = self.study.path("moved")
        self.run_repair(mdm, f"{base}/S01_run1.sdm", self.study.path("fixed.mdm"),
                        [read_line(3)] + clean_checks(2, 2))
        self.assertEqual(self.study.read("fixed.mdm"), saved_mdm(
            [(f"{base}/{s}.mtc", f"{base}/{s}.vmr", f"{base}/{s}.sdm") for s in STEMS],
            data_type="MTC", settings=(3, 0, 1, 0, 0)))

    def test_mdm_path_without_separators_gives_dialogs_no_folder(self):
        # Run in the study's folder: the MDM and every answer are bare names. A chosen name as
        # long as the expected one is accepted; the common end is the whole of it, so every path
        # becomes a bare name too.
        for stem in STEMS:
            self.study.write(f"{stem}.sdm", sdm())
        self.study.write("group.mdm", mdm_text(
            [(f"{OLD}/{s}.vtc", f"{OLD}/{s}.sdm") for s in STEMS]))
        t = run_in(self.study.root, "--open", "group.mdm", "--open", EXPECTED, "--yesno", "1",
                   "--save", "fixed.mdm")
        first = [start_line("group.mdm"), sdm_failed_line(f"{OLD}/S01_run1.sdm"), ASKING]
        rest = [read_line(3)] + clean_checks(2, 2)
        self.assertRuns(t, run_events("group.mdm", log(*first) + [
            not_found_box(), locate_dialog(EXPECTED, "", 1, EXPECTED), save_question(1),
            save_dialog_call("", 1, "fixed.mdm"), *log(*rest, saved_line("group_log.txt"))],
            True))
        self.assertEqual(self.study.read("group_log.txt"), lines(*first, *rest))
        self.assertEqual(self.study.read("fixed.mdm"), saved_mdm(
            [(f"{s}.vtc", f"{s}.sdm") for s in STEMS], settings=(3, 0, 1, 0, 0)))


if __name__ == "__main__":
    unittest.main()
