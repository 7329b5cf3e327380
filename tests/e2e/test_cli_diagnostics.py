"""What kelvora finds beyond the plug-in's log: one study per situation a researcher met, each
giving its finding (and likely cause) in --json, one line on standard error in text mode, and the
exit status, while standard output stays the log."""

import os
import unittest

from cli_harness import (EXIT_CLEAN, EXIT_NOT_INSPECTED, EXIT_REPORTED, EXIT_USAGE, CliTest,
                         mdm_text, read_bytes, run_cli, run_host_in, sdm_text, varied_column,
                         write_study)
from harness import lines

CONDITIONS = ("Faces", "Houses", "Neutral", "Error")
CONFOUNDS = ("Trans X", "Rot Z", "Constant")


def design(interest=CONDITIONS, zero=(), confounds=CONFOUNDS):
    """An event design: the predictors of interest, motion confounds and a constant."""
    names = list(interest) + list(confounds)
    columns = [[0.0] * 12 if n in zero else [1.0] * 12 if n == "Constant" else varied_column(p, 12)
               for p, n in enumerate(names)]
    return sdm_text(names, len(interest) + 1, columns)



def uncorrelated(error_text):
    """The lines on standard error less the correlation notes that these small designs raise."""
    return [line for line in error_text.splitlines() if " correlate (r = " not in line]


def uncorrelated_bytes(text):
    return b"".join(line for line in text.splitlines(True) if b" correlate (r = " not in line)

class Diagnostics(CliTest):

    def inspect(self, mdm, status):
        """Text mode and --json of one MDM: the stderr lines, the JSON object; both statuses."""
        text, report = run_cli(mdm), run_cli("--json", mdm)
        self.assertStatus(text, status)
        self.assertStatus(report, status)
        self.assertTrue(all(not l.startswith("kelvora:") for l in text.lines()))
        return uncorrelated(text.error_text()), report.objects()[0]

    def codes(self, run, key="furtherFindings"):
        return [f["code"] for f in run[key]]

    def runs(self, subjects=("S01", "S02", "S03"), count=2, **options):
        return [(f"{s}_run{r}", design(**options)) for s in subjects for r in range(1, count + 1)]

    def test_damaged_sdms_are_told_with_the_first_unreadable_value(self):
        runs = self.runs()
        lines = runs[1][1].split("\n")
        runs[1] = (runs[1][0], "\n".join(lines[:-6]) + "\n")  # 12 rows announced, 7 left
        runs[2] = (runs[2][0], runs[2][1].replace("1.5 ", "1,5 "))  # decimal commas
        runs[3] = (runs[3][0], runs[3][1].replace("2.5", "nan", 1))
        errors, run = self.inspect(write_study(self.study, runs), EXIT_REPORTED)
        self.assertEqual(run["end"], "COMPLETE")
        self.assertEqual(self.codes(run)[:3], ["SDM_SHORT_MATRIX", "SDM_UNREADABLE_VALUE",
                                               "SDM_UNREADABLE_VALUE"])
        self.assertIn("kelvora: error: S01_run2.sdm: the matrix ends after 7 of 12 announced rows"
                      " (49 of 84 values read); every value after it reads as 0 ... and 15 findings"
                      " that follow from it", errors)
        self.assertIn('kelvora: error: S02_run1.sdm: the value "1,5" in row 1, column 6 ("Rot Z")'
                      " cannot be read (only its start was); every value after it reads as 0"
                      " (6 of 84 values read) ... and 22 findings that follow from it", errors)
        value = run["furtherFindings"][2]
        self.assertEqual((value["predictorNumber"], value["predictorName"]), (2, "Houses"))
        self.assertIn('"nan" in row 5', value["text"])

    def test_subject_rule_that_does_not_fit_is_said(self):
        s = self.study
        runs = [(f"S0{i}/run{r}", design(zero=("Error",) if i == 3 else ())) for i in range(1, 4)
                for r in (1, 2)]
        for stem, text in runs:
            s.write(f"folders/{stem}.sdm", text)
        mdm = s.write("folders/group.mdm", mdm_text([(s.path(f"folders/{stem}.vtc"),
                                                      s.path(f"folders/{stem}.sdm"))
                                                     for stem, _ in runs]))
        errors, run = self.inspect(mdm, EXIT_REPORTED)
        self.assertEqual(run["subjects"], 2)
        self.assertEqual(self.codes(run)[:2], ["SUBJECT_NO_UNDERSCORE", "SUBJECT_IN_FOLDER"])
        [zero] = [f for f in run["furtherFindings"] if f["code"] == "ZERO_ACROSS_RUNS"]
        self.assertEqual((zero["subject"], zero["predictorNumber"], zero["beyondRun"],
                          zero["severity"]), ("S03", 4, True, "error"))
        self.assertIn('kelvora: error (after the log stopped): with the folder as the subject: '
                      'subject '
                      '"S03", predictor number 4 named "Error" is zero in all its 2 runs', errors)
        hyphens = [(f"S0{i}-run{r}", design()) for i in (1, 2) for r in (1, 2)]
        _, run = self.inspect(write_study(s, hyphens, folder="hyphens"), EXIT_REPORTED)
        self.assertEqual(self.codes(run), ["SUBJECT_NO_UNDERSCORE", "SUBJECT_PER_STUDY",
                                           "SUBJECT_SPLIT_FOLDER"])

    def test_study_list_mistakes_are_seen(self):
        runs = self.runs()
        mdm = write_study(self.study, runs + runs[:1], folder="twice")
        _, run = self.inspect(mdm, EXIT_REPORTED)
        self.assertEqual(self.codes(run)[:2], ["MDM_DUPLICATE_SDM", "MDM_DUPLICATE_FUNCTIONAL"])
        self.assertIn("(studies 1, 7)", run["furtherFindings"][0]["text"])
        with open(write_study(self.study, runs, folder="short"), encoding="latin-1") as f:
            text = f.read()
        mdm = self.study.write("short/group.mdm", text.replace("NrOfStudies:          6",
                                                               "NrOfStudies:          7"))
        errors, run = self.inspect(mdm, EXIT_REPORTED)
        self.assertEqual(run["studies"], 6)
        self.assertIn("kelvora: warning: group.mdm: NrOfStudies is 7, but the file has 6 lines after"
                      " its header", errors)
        uneven = self.runs()[:-1]
        errors, run = self.inspect(write_study(self.study, uneven, folder="uneven"), EXIT_CLEAN)
        self.assertEqual(errors, ['kelvora: note: group.mdm: subject "S03" has 1 run, most subjects'
                                  " have 2"])

    def test_an_sdm_listed_again_tells_its_design_findings_once(self):
        runs = self.runs(zero=("Rot Z",))
        told = []
        for folder, listed in (("once", runs), ("again", runs + runs[:1])):
            _, run = self.inspect(write_study(self.study, listed, folder=folder), EXIT_REPORTED)
            told.append([(os.path.basename(f["file"]), f["code"]) for f in run["designFindings"]])
        self.assertIn(("S01_run1.sdm", "RANK_DEFICIENT_DESIGN"), told[0])
        self.assertEqual(told[1], told[0])

    def test_every_problem_in_one_pass(self):
        runs = self.runs(zero=("Rot Z",))
        runs[2], runs[4] = (runs[2][0], None), (runs[4][0], None)
        _, run = self.inspect(write_study(self.study, runs, folder="missing"), EXIT_NOT_INSPECTED)
        [unread] = [f for f in run["furtherFindings"] if f["code"] == "SDM_UNREADABLE"]
        self.assertTrue(unread["beyondRun"] and unread["file"].endswith("S03_run1.sdm"))
        runs = self.runs(zero=("Error",))
        runs[0] = (runs[0][0], design(interest=("Faces", "Houses", "Neutral ", "Error"),
                                      zero=("Error",)))
        errors, run = self.inspect(write_study(self.study, runs, folder="names"), EXIT_REPORTED)
        self.assertEqual(run["end"], "PREDICTOR_NAME_MISMATCH")
        beyond = [(f["code"], f["subject"]) for f in run["furtherFindings"] if f["beyondRun"]]
        self.assertEqual(beyond, [("SUBJECT_COUNT", None)] +
                         [("ZERO_ACROSS_RUNS", s) for s in ("S01", "S02", "S03")])
        self.assertIn('kelvora: likely cause: S01_run1.sdm: "Neutral " for "Neutral" (predictor 3)'
                      " differs only in blanks: a trailing blank", errors)

    def test_likely_causes_of_disagreements(self):
        cases = [
            (("Face", "Houses", "Neutral", "Error"), "TYPO", 1),
            (("Faces", "Neutral", "Houses", "Error"), "SWAPPED", 2),
            (("faces", "Houses", "Neutral", "Error"), "CASE_ONLY", 1),
            (("Faces", "Houses", "Neutral-", "Error"), "PUNCTUATION_ONLY", 3),
            (("Faces", "Cars", "Neutral", "Error"), None, 2),
            (("Faces", "Neutral", "Error"), "MISSING_PREDICTOR", None),
            (("Faces", "Houses", "Neutral", "Error", "Trans X"), "CONFOUND_BOUNDARY", None),
        ]
        for interest, cause, number in cases:
            with self.subTest(cause=cause):
                runs = self.runs()
                confounds = CONFOUNDS[1:] if "Trans X" in interest else CONFOUNDS
                runs[3] = (runs[3][0], design(interest=interest, confounds=confounds))
                mdm = write_study(self.study, runs, folder=f"{cause}")
                _, run = self.inspect(mdm, EXIT_REPORTED)
                causes = [(c["code"], c["predictorNumber"]) for c in run["causes"]]
                self.assertEqual(causes[:1], [(cause, number)] if cause else [])

    def test_rank_deficient_design_makes_the_status(self):
        runs = self.runs(subjects=("S01",))
        names = list(CONDITIONS) + ["Sum"]
        columns = [varied_column(p, 12) for p in range(4)]
        columns.append([a + b for a, b in zip(columns[0], columns[1])])
        runs[0] = (runs[0][0], sdm_text(names, 6, columns))
        runs[1] = (runs[1][0], sdm_text(names, 6, columns))
        errors, run = self.inspect(write_study(self.study, runs), EXIT_REPORTED)
        self.assertEqual(run["findings"], [])
        self.assertEqual(errors[0], 'kelvora: warning: S01_run1.sdm: predictor 5 "Sum" is a '
                                    'combination of predictor 1 "Faces", predictor 2 "Houses"')

    def test_decimal_comma_sdm_is_one_finding_in_the_findings_file_the_host_file_unchanged(self):
        runs = self.runs()
        runs[2] = (runs[2][0], runs[2][1].replace("1.5 ", "1,5 "))
        mdm = write_study(self.study, runs)
        findings = self.study.path("group_log.txt")
        host = run_host_in(self.study.root, "--open", mdm)
        self.assertEqual(host.returncode, 0, host.stderr)
        host_file = read_bytes(findings)
        self.assertNotIn(b"kelvora: ", host_file)
        text = run_cli(mdm)
        self.assertStatus(text, EXIT_REPORTED)
        cause = ('kelvora: error: S02_run1.sdm: the value "1,5" in row 1, column 6 ("Rot Z")'
                 " cannot be read (only its start was); every value after it reads as 0 (6 of 84"
                 " values read) ... and 22 findings that follow from it")
        self.assertEqual(uncorrelated(text.error_text()), [cause])
        self.assertEqual(uncorrelated_bytes(read_bytes(findings)),
                         host_file + lines("kelvora: findings beyond the log:", cause))
        [run] = run_cli("--json", "--no-findings-file", mdm).objects()
        self.assertEqual(uncorrelated_bytes(read_bytes(findings)),
                         host_file + lines("kelvora: findings beyond the log:", cause))
        followers = [(f["kind"], f["code"]) for f in run["allFindings"] if f["causedBy"] == 1
                     and not f["code"].startswith(("PREDICTOR_CORRELATION", "HIGH_VIF"))]
        self.assertEqual(followers, [("run", "ZERO_CONFOUND")] +
                         [("design", "RANK_DEFICIENT_DESIGN")] * 6)
        self.assertEqual(run["allFindings"][1]["code"], "SDM_UNREADABLE_VALUE")



# A BIDS-like study whose third subject's files lost their "sub-03_" prefix: by file-name prefix,
# "run-1" and "run-2" are subjects. Paths relative to the MDM, as the MDM lists them.
BIDS_RUNS = ["sub-01/func/sub-01_run-1", "sub-01/func/sub-01_run-2", "sub-02/func/sub-02_run-1",
             "sub-02/func/sub-02_run-2", "sub-03/func/run-1", "sub-03/func/run-2"]
BIDS_TABLE = ['kelvora: subject "{}": 2 runs: {}_run-1.sdm, {}_run-2.sdm'.format(s, p, p)
              for s, p in (("sub-01", "sub-01"), ("sub-02", "sub-02"))]


class SubjectRules(CliTest):

    def setUp(self):
        super().setUp()
        for stem in BIDS_RUNS:
            self.study.write(f"bids/{stem}.sdm", design())
        self.mdm = self.study.write("bids/group.mdm", mdm_text([(f"{stem}_bold.vtc", f"{stem}.sdm")
                                                               for stem in BIDS_RUNS]))

    def kelvora(self, *args):
        return run_cli("--no-findings-file", *args, self.mdm)

    def test_one_run_subjects_of_one_folder_are_a_warning(self):
        run = self.kelvora()
        self.assertStatus(run, EXIT_REPORTED)
        self.assertIn("Kelvora>  4 unique subjects detected", run.lines())
        self.assertEqual(uncorrelated(run.error_text()), [
            'kelvora: warning: group.mdm: the 2 runs in the folder "sub-03/func" are 2 subjects of'
            ' one run each ("run-1", "run-2"): the subject is probably elsewhere in the path'
            " (--subject-rule bids, folder:N or regex:EXPR takes it from there)",
            'kelvora: note: group.mdm: subject "run-1" has 1 run, most subjects have 2',
            'kelvora: note: group.mdm: subject "run-2" has 1 run, most subjects have 2'])
        [split] = [f for f in run_cli("--json", self.mdm).objects()[0]["furtherFindings"]
                   if f["code"] == "SUBJECT_SPLIT_FOLDER"]
        self.assertEqual(split["severity"], "warning")

    def test_each_rule_finds_the_labs_subjects(self):
        sub03 = 'kelvora: subject "{}": 2 runs: run-1.sdm, run-2.sdm'
        for rule, subjects in (("bids", "sub-03"), ("folder:2", "sub-03"),
                               ("regex:^(sub-0[12]|sub-03)/", "sub-03")):
            with self.subTest(rule=rule):
                run = self.kelvora("--quiet", "--subjects", "--subject-rule", rule)
                self.assertStatus(run, EXIT_CLEAN)
                self.assertEqual(run.lines(), [])
                self.assertEqual(uncorrelated(run.error_text()), [
                    "kelvora: note: group.mdm: the log counts 4 subjects by file-name prefix;"
                    f" --subject-rule {rule} finds 3",
                    f"kelvora: subjects by --subject-rule {rule}: 3",
                    *BIDS_TABLE, sub03.format(subjects)])
        run = self.kelvora("--quiet", "--subjects", "--subject-rule", "folder:1")
        self.assertEqual(uncorrelated(run.error_text())[-3:], [
            "kelvora: note: group.mdm: the log counts 4 subjects by file-name prefix;"
            " --subject-rule folder:1 finds 1",
            "kelvora: subjects by --subject-rule folder:1: 1",
            'kelvora: subject "func": 6 runs: ' + ", ".join(
                os.path.basename(stem) + ".sdm" for stem in BIDS_RUNS)])

    def test_the_report_lists_the_subjects_by_the_rule(self):
        report = self.study.path("bids/report.html")
        self.assertStatus(self.kelvora("--quiet", "--subject-rule", "bids", "--report", report),
                          EXIT_CLEAN)
        with open(report, encoding="utf-8") as f:
            html = f.read()
        self.assertIn('<tr data-subject="sub-03"><td>sub-03</td><td>2</td>'
                      "<td>run-1.sdm, run-2.sdm</td></tr>", html)

    def test_paths_a_rule_cannot_place_keep_their_prefix(self):
        run = self.kelvora("--quiet", "--subjects", "--subject-rule", "regex:(sub-0[12])_")
        self.assertStatus(run, EXIT_REPORTED)
        self.assertEqual(uncorrelated(run.error_text())[:2], [
            "kelvora: warning: group.mdm: --subject-rule regex:(sub-0[12])_ places no subject in 2"
            ' of 6 functional paths ("sub-03/func/run-1_bold.vtc"); those studies keep their'
            " file-name prefix subject, as in the log",
            'kelvora: warning: group.mdm: by --subject-rule regex:(sub-0[12])_, the 2 runs in the'
            ' folder "sub-03/func" are 2 subjects of one run each ("run-1", "run-2"): the subject'
            " is probably elsewhere in the path (--subject-rule bids, folder:N or regex:EXPR takes"
            " it from there)"])

    def test_what_is_no_rule_is_a_usage_error(self):
        for rule, reason in (
                ("folder:0", 'folder:N takes a whole number N from 1 (1: the file\'s own folder),'
                             ' not "0"'),
                ("regex:sub-\\d+", "the expression must have exactly one capture group (the"
                                    " subject); it has 0"),
                ("bid", 'unknown rule "bid" (prefix, bids, folder:N or regex:EXPR)')):
            with self.subTest(rule=rule):
                run = self.kelvora("--subject-rule", rule)
                self.assertStatus(run, EXIT_USAGE)
                self.assertEqual((run.lines(), run.error_text()), ([], (
                    f"kelvora: --subject-rule: {reason}\nRun 'kelvora --help' for the usage.\n")))
        for rule, told in (("regex:(sub", "a '(' without its ')'"),
                           ("regex:(s)\\1", "backreferences (\\1) are not supported"),
                           ("regex:(?=s)(.)", "lookahead and lookbehind")):
            with self.subTest(rule=rule):
                run = self.kelvora("--subject-rule", rule)
                self.assertStatus(run, EXIT_USAGE)
                self.assertTrue(run.error_text().startswith(
                    "kelvora: --subject-rule: the expression does not compile: " + told),
                    run.error_text())


if __name__ == "__main__":
    unittest.main()
