"""Where a run stays sound although a literal reading would fail: extreme predictor counts,
predictors that an SDM does not have, SDMs too large to hold, a findings file that cannot be
written, dialogs that fill their whole buffer, a host with a comma as decimal point, and studies
of a consortium's size."""

import os
import unittest

from harness import ON_WINDOWS, log, run_host
from study_builder import (ASKING, COUNTS_DIFFER, NAMES_DIFFER, NAMES_MATCH, NO_ZERO_CONFOUND,
                           NO_ZERO_INTEREST, RunTest, cannot_create_line, clean_checks, count_line,
                           error_reading_line, locate_dialog, mdm_failed_line, mdm_text,
                           most_count_line, most_named_line, not_found_box, not_saved_line,
                           read_line, run_events, save_dialog_call, save_question, saved_line, sdm,
                           sdm_failed_line, sdm_text, start_line, subjects_line, too_large_line,
                           write_group, zero_across_line, zero_confound_line)

def header_only_sdm(predictors, data_points, first_confound, names=(), row=()):
    """An SDM file of a few bytes whose header announces `predictors` x `data_points` values:
    the names line and at most one row of values follow; the rest of the matrix is left to the
    reader's default, 0.0."""
    text = (f"FileVersion: 1\nNrOfPredictors: {predictors}\nNrOfDataPoints: {data_points}\n"
            f"IncludesConstant: 0\nFirstConfoundPredictor: {first_confound}\n\n")
    return text + " ".join(f'"{n}"' for n in names) + "\n" + " ".join(row) + "\n"


class ExtremePredictorCounts(RunTest):

    def runs_of(self, cases):
        """Each case is (folder, runs, lines after the read line, result); all run in one host and
        each findings file is checked. Complete runs end with the saved line."""
        args, runs, files = ["--runs", len(cases)], [], []
        for folder, studies, report, result in cases:
            mdm = write_group(self.study, studies, folder=folder)
            args += ["--open", mdm]
            body = [start_line(mdm), read_line(len(studies))] + report
            last = [saved_line(self.study.path(f"{folder}/group_log.txt"))] if result else []
            runs.append(run_events(mdm, log(*body, *last), result))
            files.append((f"{folder}/group_log.txt", body))
        self.assertRuns(run_host(*args), *runs)
        for name, body in files:
            self.assertFileLines(name, *body)

    def test_lowest_first_confound_predictor_is_counted_without_overflow(self):
        # n is -2147483649: the name check compares nothing, no predictor is of interest, and
        # the confound check starts at the first column.
        lowest = sdm_text(["Rest", "Constant"], -2147483648, [["0", "0"], ["1", "1"]])
        self.runs_of([
            ("alone", [("S01_run1", lowest)],
             [count_line(-2147483649), NAMES_MATCH, subjects_line(1), NO_ZERO_INTEREST,
              zero_confound_line("S01_run1.sdm", 1, "Rest")], True),
            ("among", [("S01_run1", lowest), ("S01_run2", sdm())],
             [COUNTS_DIFFER, most_count_line(2), "!!!  -2147483649 in S01_run1.sdm"], False),
        ])

    def test_predictors_that_no_sdm_has_are_not_examined(self):
        # Two predictors and "FirstConfoundPredictor: 2000000000": only the two that exist are
        # examined, so predictor 1, zero in S01's run, is the only finding.
        def huge_count(zero):
            return sdm_text(["Faces", "Houses"], 2000000000,
                            [["0", "0"] if zero else ["1", "2"], ["1", "2"]])
        self.runs_of([("huge", [("S01_run1", huge_count(True)), ("S02_run1", huge_count(False))],
                       [count_line(1999999999), NAMES_MATCH, subjects_line(2),
                        zero_across_line("S01", 1, "Faces"), NO_ZERO_CONFOUND], True)])

    def test_predictor_an_sdm_does_not_have_is_named_noname_and_all_zero(self):
        # Three predictors of interest; S02's SDM declares only two.
        three = sdm_text(["Faces", "Houses", "Tools"], 4, [["1"], ["2"], ["3"]])
        three_noname = sdm_text(["Faces", "Houses", "NoName"], 4, [["1"], ["2"], ["3"]])
        two = sdm_text(["Faces", "Houses"], 4, [["1"], ["2"]])
        self.runs_of([
            ("names", [("S01_run1", three), ("S02_run1", two)],
             [count_line(3), NAMES_DIFFER, most_named_line(3, "Tools"),
              "!!!  NoName in S02_run1.sdm"], False),
            # Where the names agree, the missing column counts as all-zero for S02 only.
            ("zeros", [("S01_run1", three_noname), ("S02_run1", two)],
             [count_line(3), NAMES_MATCH, subjects_line(2),
              zero_across_line("S02", 3, "NoName"), NO_ZERO_CONFOUND], True),
        ])


class TooLargeToRead(RunTest):

    def test_sdm_too_large_to_read_ends_the_run_wherever_it_is_read(self):
        # 10^10 values announced in a file of a few bytes.
        big = header_only_sdm(100000, 100000, 2)
        later = write_group(self.study, [("S01_run1", sdm()), ("S01_run2", big)], folder="later")
        first = write_group(self.study, [("S01_run1", big), ("S01_run2", sdm())], folder="first")
        moved = write_group(self.study, [("S01_run1", None), ("S01_run2", sdm())],
                            folder="moved", listed_in="D:/lab/old")
        located = self.study.write("moved/S01_run1_big.sdm", big)
        t = run_host("--runs", "3", "--open", later, "--open", first, "--open", moved,
                     "--open", located)
        later_body = [start_line(later), too_large_line(self.study.path("later/S01_run2.sdm"))]
        # The first study: no repair is offered for a file that exists.
        first_body = [start_line(first), too_large_line(self.study.path("first/S01_run1.sdm"))]
        # Re-read after the repair: located under another name, so every path is re-based onto
        # it; no "Error Reading", no question about saving.
        moved_body = [start_line(moved), sdm_failed_line("D:/lab/old/S01_run1.sdm"), ASKING,
                      too_large_line(located)]
        self.assertRuns(t, run_events(later, log(*later_body), False),
                        run_events(first, log(*first_body), False),
                        run_events(moved, log(*moved_body[:3]) + [
                            not_found_box(),
                            locate_dialog("S01_run1.sdm", self.study.path("moved"), 1, located),
                            *log(moved_body[3])], False))
        self.assertFileLines("later/group_log.txt", *later_body)
        self.assertFileLines("first/group_log.txt", *first_body)
        self.assertFileLines("moved/group_log.txt", *moved_body)

    def test_run_whose_sdms_together_hold_more_than_a_gibibyte_is_inspected_to_the_end(self):
        # Each SDM announces 16,000,000 values, within what one SDM may claim, in a (sparse)
        # file large enough to hold them: 17 of them hold 272,000,000 values, more than 1 GiB as
        # floats. The run keeps only what its checks need of each, so it completes. The same file
        # is listed 17 times.
        path = self.study.write("S01_run1.sdm",
                                header_only_sdm(1, 16000000, 2, ["Constant"], ["1"]))
        os.truncate(path, 32000000)
        mdm = self.study.write("group.mdm", mdm_text(
            [(self.study.path(f"S{i:02d}_run1.vtc"), path) for i in range(1, 18)]))
        t = run_host("--open", mdm)
        body = [start_line(mdm), read_line(17)] + clean_checks(1, 17)
        self.assertRuns(t, run_events(mdm, log(*body, saved_line(self.study.path("group_log.txt"))),
                                      True))
        self.assertFileLines("group_log.txt", *body)

    def test_study_of_four_thousand_sdms_is_inspected_in_study_order(self):
        # 1,000 subjects x 4 runs of 40 predictors x 1,200 data points: 192,000,000 values. Each
        # SDM file holds one row; the reader fills the rest with 0.0, so a column is all-zero
        # exactly when its one written value is 0. Subjects come in a scrambled order, each
        # subject's runs 1,000 studies apart; a subject whose first predictor is zero in every
        # run is reported, in the order of its first study, not in sorted order.
        names = [f"P{p}" for p in range(1, 41)]
        active = self.study.write("active.sdm", header_only_sdm(40, 1200, 21, names, ["1"] * 40))
        silent = self.study.write("silent.sdm",
                                  header_only_sdm(40, 1200, 21, names, ["0"] + ["1"] * 39))
        subjects = [f"S{i * 379 % 1000 + 1:04d}" for i in range(1000)]
        always_silent = {s for s in subjects if int(s[1:]) % 50 == 7}
        silent_thrice = {s for s in subjects if int(s[1:]) % 50 == 8}
        studies = []
        for run in range(1, 5):
            for s in subjects:
                quiet = s in always_silent or (s in silent_thrice and run < 4)
                studies.append((self.study.path(f"data/{s}_run{run}.vtc"),
                                silent if quiet else active))
        mdm = self.study.write("group.mdm", mdm_text(studies))
        t = run_host("--open", mdm)
        body = ([start_line(mdm), read_line(4000), count_line(20), NAMES_MATCH,
                 subjects_line(1000)] +
                [zero_across_line(s, 1, "P1") for s in subjects if s in always_silent] +
                [NO_ZERO_CONFOUND])
        self.assertEqual(len(always_silent), 20)
        self.assertRuns(t, run_events(mdm, log(*body, saved_line(self.study.path("group_log.txt"))),
                                      True))
        self.assertFileLines("group_log.txt", *body)


class FindingsAndDialogBuffers(RunTest):

    def test_findings_file_that_cannot_be_created_is_reported_last(self):
        # A folder of that name; on Linux also a pipe without a reader, which is never opened (it
        # would block the run before its first line).
        folders = ["folder"] + ([] if ON_WINDOWS else ["pipe"])
        mdms = [write_group(self.study, [("S01_run1", sdm())], folder=f) for f in folders]
        os.mkdir(self.study.path("folder/group_log.txt"))
        if not ON_WINDOWS:
            os.mkfifo(self.study.path("pipe/group_log.txt"))
        t = run_host("--runs", str(len(mdms)), *[a for m in mdms for a in ("--open", m)])
        body = [read_line(1)] + clean_checks(2, 1)
        self.assertRuns(t, *[run_events(m, log(start_line(m), *body, not_saved_line(
            self.study.path(f"{f}/group_log.txt"))), True) for m, f in zip(mdms, folders)])
        self.assertEqual(os.listdir(self.study.path("folder/group_log.txt")), [])

    def test_findings_file_is_made_anew_and_no_link_is_followed(self):
        # A symbolic link to another user's file: the name is replaced by a new findings file,
        # and the file it led to stays as it was.
        other = self.study.write("other.txt", "another user's file")
        mdm = write_group(self.study, [("S01_run1", sdm())], folder="a")
        os.symlink(other, self.study.path("a/group_log.txt"))
        body = [start_line(mdm), read_line(1)] + clean_checks(2, 1)
        self.assertRuns(run_host("--open", mdm), run_events(mdm, log(*body, saved_line(
            self.study.path("a/group_log.txt"))), True))
        self.assertFileLines("a/group_log.txt", *body)
        self.assertFalse(os.path.islink(self.study.path("a/group_log.txt")))
        self.assertEqual(self.study.read("other.txt"), b"another user's file")

    def test_findings_file_named_like_an_input_of_the_run_is_not_made(self):
        # An SDM that the MDM lists under the findings file's name, and a findings name that is a
        # hard link to the study's SDM: neither is replaced. Each run reads its SDMs intact and
        # ends saying that its findings were not saved.
        named = self.study.path("named")
        self.study.write("named/S01_run1.sdm", sdm())
        self.study.write("named/group_log.txt", sdm())
        first = self.study.write("named/group.mdm", mdm_text([
            (f"{named}/S01_run1.vtc", f"{named}/S01_run1.sdm"),
            (f"{named}/S01_run2.vtc", f"{named}/group_log.txt")]))
        second = write_group(self.study, [("S01_run1", sdm())], folder="linked")
        os.link(self.study.path("linked/S01_run1.sdm"), self.study.path("linked/group_log.txt"))
        t = run_host("--runs", "2", "--open", first, "--open", second)
        self.assertRuns(t, *[run_events(m, log(start_line(m), read_line(n), *clean_checks(2, 1),
                                               not_saved_line(self.study.path(f"{f}/group_log.txt"))),
                                         True)
                             for m, n, f in ((first, 2, "named"), (second, 1, "linked"))])
        for name in ("named/group_log.txt", "named/S01_run1.sdm", "linked/group_log.txt"):
            self.assertEqual(self.study.read(name), sdm().encode("latin-1"), name)

    def test_dialog_that_fills_its_whole_buffer_gives_511_characters(self):
        # The host writes 600 bytes with no NUL: the transcript shows the 512 bytes of the
        # buffer, the plug-in reads the 511 before its last byte.
        long_mdm = "m" * 600
        moved = write_group(self.study, [("S01_run1", None), ("S01_run2", sdm())],
                            folder="moved", listed_in="D:/lab/old")
        located = self.study.write("moved/S01_run1.sdm", sdm())
        long_sdm, long_save = "s" * 600, "v" * 600
        t = run_host("--runs", "3", "--open-result", "1", long_mdm,
                     "--open", moved, "--open-result", "1", long_sdm,
                     "--open", moved, "--open", located, "--yesno", "1",
                     "--save-result", "1", long_save)
        opening = [start_line(moved), sdm_failed_line("D:/lab/old/S01_run1.sdm"), ASKING]
        directory = self.study.path("moved")
        self.assertRuns(
            t,
            run_events(long_mdm[:512], log(mdm_failed_line(long_mdm[:511])), False),
            run_events(moved, log(*opening) + [
                not_found_box(), locate_dialog("S01_run1.sdm", directory, 1, long_sdm[:512]),
                *log(sdm_failed_line(long_sdm[:511]), error_reading_line(long_sdm[:511]))],
                False),
            run_events(moved, log(*opening) + [
                not_found_box(), locate_dialog("S01_run1.sdm", directory, 1, located),
                save_question(1), save_dialog_call(directory, 1, long_save[:512]),
                *log(cannot_create_line(long_save[:511]), read_line(2), *clean_checks(2, 1),
                     saved_line(self.study.path("moved/group_log.txt")))], True))


class CommaLocale(RunTest):

    def test_host_locale_changes_nothing_that_is_read_printed_or_saved(self):
        # A host whose global locale has ',' as decimal point and '.' grouping: 0.5 is still not
        # zero, numbers of four digits print without grouping, the saved MDM keeps plain numbers.
        names = [f"P{p}" for p in range(1, 1001)] + ["Drift"]
        text = sdm_text(names, 1001, [["0", "0.5"]] * 1000 + [["0", "0"]])
        for stem in ["S01_run1", "S01_run2"]:
            self.study.write(f"moved/{stem}.sdm", text)
        mdm = self.study.write("moved/group.mdm", mdm_text(
            [(f"D:/lab/old/{s}.vtc", f"D:/lab/old/{s}.sdm") for s in ["S01_run1", "S01_run2"]],
            file_version=1000, rfx_glm=-1234, z=12345))
        located, target = self.study.path("moved/S01_run1.sdm"), self.study.path("fixed.mdm")
        t = run_host("--comma-locale", "--open", mdm, "--open", located, "--yesno", "1",
                     "--save", target)
        opening = [start_line(mdm), sdm_failed_line("D:/lab/old/S01_run1.sdm"), ASKING]
        rest = [read_line(2), count_line(1000), NAMES_MATCH, subjects_line(1), NO_ZERO_INTEREST,
                zero_confound_line("S01_run1.sdm", 1001, "Drift"),
                zero_confound_line("S01_run2.sdm", 1001, "Drift")]
        directory = self.study.path("moved")
        self.assertRuns(t, run_events(mdm, log(*opening) + [
            not_found_box(), locate_dialog("S01_run1.sdm", directory, 1, located),
            save_question(1), save_dialog_call(directory, 1, target),
            *log(*rest, saved_line(self.study.path("moved/group_log.txt")))], True))
        self.assertFileLines("moved/group_log.txt", *opening, *rest)
        self.assertEqual(self.study.read("fixed.mdm"), mdm_text(
            [(f"{directory}/{s}.vtc", f"{directory}/{s}.sdm") for s in ["S01_run1", "S01_run2"]],
            file_version=1000, rfx_glm=-1234, z=12345).encode("latin-1"))


if __name__ == "__main__":
    unittest.main()


class ReadingOnThreads(RunTest):

    def test_load_run_unload_cycles_say_the_same_and_leave_no_thread_behind(self):
        # A hundred cycles of load, three runs and unload in one host. Each run reads its twelve
        # SDMs on four threads; subject S03 has Houses zero in both runs, so every run reports a
        # finding. No thread outlives a run. On Linux no descriptor is left either. The Windows
        # thread library linked into the plug-in keeps two or three handles of each load that it
        # never frees (a plug-in of nothing but a std::locale keeps two), so there a cycle may add
        # at most three: one handle lost per run would pass that.
        runs = [(f"S{s:02d}_run{r}", sdm(zero=("Houses",) if s == 3 else ()))
                for s in range(1, 7) for r in (1, 2)]
        mdm = write_group(self.study, runs)
        os.environ["KELVORA_READ_THREADS"] = "4"
        self.addCleanup(os.environ.pop, "KELVORA_READ_THREADS")
        t = run_host("--load-cycles", 100, "--runs", 3, *["--open", mdm] * 300)
        self.assertEqual(t.returncode, 0, t.stderr)
        self.assertEqual(t.results("execute"), [True] * 300)
        logs, held = [], []
        for event in t.events:
            if event["event"] == "load":
                logs.append([])
            elif event["event"] == "call" and event["fn"] == "hvLogText":
                logs[-1].append(event["text"])
            elif event["event"] == "resources":
                held.append((event["threads"], event["handles"]))
        self.assertIn(zero_across_line("S03", 2, "Houses"), logs[0])
        self.assertEqual(logs, [logs[0]] * 100)
        self.assertEqual([threads for threads, _ in held], [held[0][0]] * 100)
        added = [after[1] - before[1] for before, after in zip(held, held[1:])]
        self.assertLessEqual(max(added), 3 if ON_WINDOWS else 0, added)
