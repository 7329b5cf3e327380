"""Every end of an inspection run as the host sees it: the complete end, an MDM that cannot be
opened, a later SDM that cannot be opened, an MDM without studies, and runs one after another,
each with its own findings file."""

import unittest

from harness import log, open_dialog, MDM_DIALOG, run_host
from study_builder import (NO_STUDIES, RunTest, clean_checks, mdm_failed_line, mdm_text, read_line,
                           run_events, saved_line, sdm, sdm_failed_line, start_line, write_group)


class CompleteEnd(RunTest):

    def test_complete_run_reports_every_check_and_leaves_the_last_line_out_of_the_file(self):
        mdm = write_group(self.study, [(f"S0{s}_run{r}", sdm()) for s in (1, 2) for r in (1, 2)])
        # A findings file of an earlier run is emptied, not appended to.
        self.study.write("group_log.txt", "an earlier run's line\n")
        t = run_host("--open", mdm)
        findings = self.study.path("group_log.txt")
        body = [start_line(mdm), read_line(4)] + clean_checks(2, 2)
        self.assertRuns(t, run_events(mdm, log(*body, saved_line(findings)), True))
        self.assertFileLines("group_log.txt", *body)

    def test_result_of_the_mdm_dialog_is_not_consulted(self):
        # Only the text the dialog leaves behind counts: a result of 0 with a path runs.
        mdm = write_group(self.study, [("S01_run1", sdm())])
        t = run_host("--open-result", "0", mdm)
        body = [start_line(mdm), read_line(1)] + clean_checks(2, 1)
        self.assertRuns(t, run_events(mdm, log(*body, saved_line(self.study.path("group_log.txt"))),
                                      True, dialog_result=0))
        self.assertFileLines("group_log.txt", *body)

    def test_findings_file_takes_the_extension_of_the_file_name_only(self):
        # A '.' in a folder name is no extension: the file lies beside the MDM, and a file of the
        # parent folder that a whole-path search would name is left alone.
        bare = write_group(self.study, [("S01_run1", sdm())], folder="set.b", mdm_name="group")
        dotted = write_group(self.study, [("S01_run1", sdm())], folder="v1.2",
                             mdm_name="group.final.mdm")
        self.study.write("set_log.txt", "not ours\n")
        t = run_host("--runs", "2", "--open", bare, "--open", dotted)
        runs = []
        for mdm, findings in [(bare, "set.b/group_log.txt"), (dotted, "v1.2/group.final_log.txt")]:
            body = [start_line(mdm), read_line(1)] + clean_checks(2, 1)
            runs.append(run_events(mdm, log(*body, saved_line(self.study.path(findings))), True))
            self.assertFileLines(findings, *body)
        self.assertRuns(t, *runs)
        self.assertEqual(self.study.read("set_log.txt"), b"not ours\n")


class EarlyEnds(RunTest):

    def test_mdm_that_cannot_be_opened_ends_the_run_before_any_findings_file(self):
        missing = self.study.path("missing.mdm")
        self.study.write("missing_log.txt", "kept\n")
        self.study.write("folder.mdm/inside.txt", "")  # a folder cannot be read as an MDM
        folder = self.study.path("folder.mdm")
        t = run_host("--runs", "3", "--open", missing, "--open", "", "--open", folder)
        self.assertRuns(t,
                        run_events(missing, log(mdm_failed_line(missing)), False),
                        run_events("", log(mdm_failed_line("")), False),
                        run_events(folder, log(mdm_failed_line(folder)), False))
        self.assertEqual(self.study.read("missing_log.txt"), b"kept\n")
        self.assertMissing("folder_log.txt")
        self.assertMissing("_log.txt")

    def test_later_sdm_that_cannot_be_opened_ends_the_run_unread_the_rest(self):
        # Study 3 is missing; study 4 is missing too, but is never read, so only one line.
        runs = [("S01_run1", sdm()), ("S02_run1", sdm()), ("S03_run1", None),
                ("S04_run1", None), ("S05_run1", sdm())]
        mdm = write_group(self.study, runs)
        t = run_host("--open", mdm)
        body = [start_line(mdm), sdm_failed_line(self.study.path("S03_run1.sdm"))]
        self.assertRuns(t, run_events(mdm, log(*body), False))
        self.assertFileLines("group_log.txt", *body)

    def test_mdm_that_lists_no_study_ends_after_the_read_line(self):
        empty = self.study.write("empty.mdm", mdm_text([]))
        # Two study lines announced, neither with four quotes: no study either.
        broken = self.study.write("broken.mdm", mdm_text([], nr_of_studies=2) +
                                  '"a.vtc" "b.sdm\r\n"c.vtc"\r\n')
        t = run_host("--runs", "2", "--open", empty, "--open", broken)
        runs = []
        for mdm, findings in [(empty, "empty_log.txt"), (broken, "broken_log.txt")]:
            body = [start_line(mdm), read_line(0), NO_STUDIES]
            runs.append(run_events(mdm, log(*body), False))
            self.assertFileLines(findings, *body)
        self.assertRuns(t, *runs)


class RunsInARow(RunTest):

    def test_each_run_writes_only_its_own_findings_file(self):
        early = write_group(self.study, [("S01_run1", sdm()), ("S01_run2", None)], folder="a",
                            mdm_name="a.mdm")
        complete = write_group(self.study, [("S01_run1", sdm()), ("S02_run1", sdm())],
                               folder="b", mdm_name="b.mdm")
        t = run_host("--runs", "4", "--open", early, "--open", complete, "--open", complete,
                     "--cancel-open")
        early_body = [start_line(early), sdm_failed_line(self.study.path("a/S01_run2.sdm"))]
        complete_body = [start_line(complete), read_line(2)] + clean_checks(2, 2)
        complete_run = run_events(complete, log(*complete_body,
                                                saved_line(self.study.path("b/b_log.txt"))), True)
        self.assertRuns(t, run_events(early, log(*early_body), False), complete_run, complete_run,
                        [open_dialog(*MDM_DIALOG, 0, ""), *log(mdm_failed_line("")),
                         {"event": "execute", "result": False}])
        # The early end closed its file: nothing of the later runs reached it. The second run of
        # the same MDM emptied the file before writing its own lines.
        self.assertFileLines("a/a_log.txt", *early_body)
        self.assertFileLines("b/b_log.txt", *complete_body)


if __name__ == "__main__":
    unittest.main()
