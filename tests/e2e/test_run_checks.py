"""The checks of a run as the host sees them: the count and name reports (and the run's end on a
disagreement), the subject grouping, the predictors of interest that are zero across a subject's
runs and the confound predictors that are zero in a run."""

import unittest

from harness import log, run_host
from study_builder import (COUNTS_DIFFER, NAMES_DIFFER, NAMES_MATCH, NO_ZERO_CONFOUND,
                           NO_ZERO_INTEREST, RunTest, count_line, mdm_text, most_count_line,
                           most_named_line, read_line, run_events, saved_line, sdm, sdm_text,
                           start_line, subjects_line, write_group, zero_across_line,
                           zero_confound_line)

NAMES = ["P1", "P2", "P3", "P4", "P5", "P6"]


def with_interest(count):
    """An SDM of six predictors whose first `count` are of interest."""
    return sdm(interest=NAMES[:count], confounds=NAMES[count:])


class PredictorCountAndNames(RunTest):

    def assertDisagreements(self, cases):
        """Each case is (folder, runs, report lines): one MDM per folder, all in one host, each
        run ending false after its report, and its findings file holding the run's lines."""
        args, runs, files = ["--runs", len(cases)], [], []
        for folder, studies, report in cases:
            mdm = write_group(self.study, studies, folder=folder)
            args += ["--open", mdm]
            body = [start_line(mdm), read_line(len(studies))] + report
            runs.append(run_events(mdm, log(*body), False))
            files.append((f"{folder}/group_log.txt", body))
        self.assertRuns(run_host(*args), *runs)
        for name, body in files:
            self.assertFileLines(name, *body)

    def test_count_report_lists_the_sdms_that_differ_from_the_prevailing_count(self):
        def counts(*values):
            return [(f"S0{i + 1}_{stem}", with_interest(c))
                    for i, (stem, c) in enumerate(zip("abcd", values))]
        self.assertDisagreements([
            ("c445", counts(4, 4, 5), [COUNTS_DIFFER, most_count_line(4), "!!!  5 in S03_c.sdm"]),
            # The first SDM is listed when it is the one that differs.
            ("c544", counts(5, 4, 4), [COUNTS_DIFFER, most_count_line(4), "!!!  5 in S01_a.sdm"]),
            # Two SDMs: the larger count prevails.
            ("c45", counts(4, 5), [COUNTS_DIFFER, most_count_line(5), "!!!  4 in S01_a.sdm"]),
            # The middle of 3, 3, 4, 5 is 4, although 3 is the most frequent.
            ("c3345", counts(3, 3, 4, 5),
             [COUNTS_DIFFER, most_count_line(4), "!!!  3 in S01_a.sdm", "!!!  3 in S02_b.sdm",
              "!!!  5 in S04_d.sdm"]),
        ])

    def test_name_report_lists_the_sdms_that_differ_from_the_prevailing_name(self):
        def named(*interest_lists, confounds=("Constant",)):
            return [(f"S0{i + 1}_{stem}", sdm(interest=names, confounds=confounds))
                    for i, (stem, names) in enumerate(zip("abc", interest_lists))]
        self.assertDisagreements([
            # Two SDMs: the name that sorts later prevails.
            ("two", named(["Faces"], ["Houses"]),
             [count_line(1), NAMES_DIFFER, most_named_line(1, "Houses"),
              "!!!  Faces in S01_a.sdm"]),
            ("three", named(["Cue", "Faces"], ["Cue", "Houses"], ["Cue", "Tools"]),
             [count_line(2), NAMES_DIFFER, most_named_line(2, "Houses"),
              "!!!  Faces in S01_a.sdm", "!!!  Tools in S03_c.sdm"]),
            # Case and a trailing blank make other names; an empty name is listed as empty; the
            # predictors that agree give no line; the confounds' names take no part.
            ("subtle", [("S01_a", sdm(["Faces", "Cue", "Tools", ""], ["Motion"])),
                        ("S02_b", sdm(["faces", "Cue", "Tools ", "Rest"], ["Drift", "Trend"])),
                        ("S03_c", sdm(["Faces", "Cue", "Tools", "Rest"], []))],
             [count_line(4), NAMES_DIFFER, most_named_line(1, "Faces"), "!!!  faces in S02_b.sdm",
              most_named_line(3, "Tools"), "!!!  Tools  in S02_b.sdm",
              most_named_line(4, "Rest"), "!!!   in S01_a.sdm"]),
            # Names order by unsigned bytes: 0xC4 comes after 'Z'.
            ("bytes", named(["Zebra"], ["\xc4pfel"]),
             [count_line(1), NAMES_DIFFER, most_named_line(1, "\xc4pfel"),
              "!!!  Zebra in S01_a.sdm"]),
        ])


class SubjectsAndZeros(RunTest):

    def complete_run(self, studies, report):
        """Runs an MDM of `studies` ((functional path, SDM path)) to its complete end: `report`
        is the lines of the checks, and the findings file holds every line but the last."""
        mdm = self.study.write("group.mdm", mdm_text(studies))
        t = run_host("--open", mdm)
        body = [start_line(mdm), read_line(len(studies))] + report
        self.assertRuns(t, run_events(mdm, log(*body, saved_line(self.study.path("group_log.txt"))),
                                      True))
        self.assertFileLines("group_log.txt", *body)

    def test_subjects_are_cut_from_functional_file_names_and_reported_in_study_order(self):
        # Predictor 1 is zero in every run, so each subject shows up once, by its identifier, in
        # the order of its first study: not sorted, case kept, nothing trimmed.
        functional = ["S01_run1.vtc", "s01_run1.vtc", "S01.vtc", "my_data/S03_run2.vtc",
                      "_x.vtc", "S01_faces_run2.vtc", "sub_7\\S03_run1.vtc"]
        studies = []
        for i, name in enumerate(functional):
            sdm_path = self.study.write(f"run{i + 1}.sdm", sdm(zero=("Faces",)))
            studies.append((self.study.path(name), sdm_path))
        self.complete_run(studies, [
            count_line(2), NAMES_MATCH, subjects_line(5),
            *[zero_across_line(s, 1, "Faces") for s in ["S01", "s01", "S01.vtc", "S03", ""]],
            NO_ZERO_CONFOUND])

    def test_a_predictor_of_interest_is_reported_only_when_zero_in_every_run_of_its_subject(self):
        interest = ["Faces", "Houses", "Tools"]
        runs = [("S02_run1", ("Faces", "Tools")),  # Faces is zero in one of S02's runs only
                ("S01_run1", ("Houses",)),
                ("S02_run2", ("Tools",)),
                ("S01_run2", ("Houses",)),
                ("S03_run1", ("Faces",))]  # a subject with one run
        studies = [(self.study.path(f"{stem}.vtc"),
                    self.study.write(f"{stem}.sdm", sdm(interest, ["Constant"], zero=zero)))
                   for stem, zero in runs]
        self.complete_run(studies, [
            count_line(3), NAMES_MATCH, subjects_line(3),
            zero_across_line("S02", 3, "Tools"), zero_across_line("S01", 2, "Houses"),
            zero_across_line("S03", 1, "Faces"), NO_ZERO_CONFOUND])

    def test_only_values_that_are_zero_as_32_bit_floats_make_a_zero_column(self):
        names = ["Faces", "Houses", "Tools", "Dots", "Drift", "Spike", "Tiny", "Constant"]
        columns = [["-0", "-0.0", "-0e5"],   # negative zero is zero
                   ["0", "1e-30", "0"],      # however small, not zero
                   ["0", "1e-46", "0"],      # below the smallest float: read as zero
                   ["0", "1e-45", "0"],      # the smallest float, not zero
                   ["-0", "-0", "-0"], ["0", "0", "1e-30"], ["1e-50", "0", "0"], ["1", "1", "1"]]
        sdm_path = self.study.write("data/run1.sdm", sdm_text(names, 5, columns))
        self.complete_run([(self.study.path("data/S01_run1.vtc"), sdm_path)], [
            count_line(4), NAMES_MATCH, subjects_line(1),
            zero_across_line("S01", 1, "Faces"), zero_across_line("S01", 3, "Tools"),
            zero_confound_line("run1.sdm", 5, "Drift"), zero_confound_line("run1.sdm", 7, "Tiny")])

    def test_column_without_values_is_all_zero(self):
        empty = self.study.write("data/run1.sdm", sdm_text(["Faces", "Constant"], 2, [[], []]))
        self.complete_run([(self.study.path("data/S01_run1.vtc"), empty)], [
            count_line(1), NAMES_MATCH, subjects_line(1), zero_across_line("S01", 1, "Faces"),
            zero_confound_line("run1.sdm", 2, "Constant")])

    def test_confounds_are_checked_per_run_each_up_to_its_own_predictor_count(self):
        interest = ["Faces", "Houses"]
        a = self.study.write("a/run.sdm", sdm(interest, ["Trans X", "Drift", "Constant"],
                                              zero=("Drift",)))
        b = self.study.write("b/other.sdm", sdm(interest, ["Drift", "Spike", "Trans X", "Rot Y",
                                                           "Constant"], zero=("Drift", "Spike")))
        c = self.study.write("c/none.sdm", sdm(interest, []))
        s01_run1 = self.study.path("S01_run1.vtc")
        # The first study is listed twice: two runs, the same file examined and reported twice.
        studies = [(s01_run1, a), (self.study.path("S01_run2.vtc"), b), (s01_run1, a),
                   (self.study.path("S02_run1.vtc"), c)]
        self.complete_run(studies, [
            count_line(2), NAMES_MATCH, subjects_line(2), NO_ZERO_INTEREST,
            zero_confound_line("run.sdm", 4, "Drift"), zero_confound_line("other.sdm", 3, "Drift"),
            zero_confound_line("other.sdm", 4, "Spike"), zero_confound_line("run.sdm", 4, "Drift")])

    def test_without_predictors_of_interest_every_predictor_is_a_confound(self):
        a = self.study.write("a.sdm", sdm([], ["Trans X", "Constant"]))
        b = self.study.write("b.sdm", sdm([], ["Rest", "Constant"], zero=("Rest",)))
        self.complete_run([(self.study.path("S01_run1.vtc"), a),
                           (self.study.path("S02_run1.vtc"), b)],
                          [count_line(0), NAMES_MATCH, subjects_line(2), NO_ZERO_INTEREST,
                           zero_confound_line("b.sdm", 1, "Rest")])

    def test_without_confound_predictors_none_is_reported(self):
        a = self.study.write("a.sdm", sdm(["Faces", "Houses"], [], zero=("Houses",)))
        b = self.study.write("b.sdm", sdm(["Faces", "Houses"], [], zero=("Houses",)))
        self.complete_run([(self.study.path("S01_run1.vtc"), a),
                           (self.study.path("S01_run2.vtc"), b)],
                          [count_line(2), NAMES_MATCH, subjects_line(1),
                           zero_across_line("S01", 2, "Houses"), NO_ZERO_CONFOUND])


if __name__ == "__main__":
    unittest.main()
