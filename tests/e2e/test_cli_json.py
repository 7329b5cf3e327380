"""kelvora --json: one object per MDM, valid against doc/kelvora-json.schema.json (run_cli checks
every object it sees), carrying the same findings as the log lines, with 8-bit bytes as Latin-1
code points."""

import json
import unittest

from cli_harness import (EXIT_CLEAN, EXIT_NOT_INSPECTED, EXIT_REPORTED, EXIT_USAGE, CliTest,
                         clean_runs, run_cli, run_sdm, validate, write_study)
from jsonschema import ValidationError


class JsonReport(CliTest):

    def studies(self):
        """One MDM per kind of end, with the status each should give."""
        s = self.study
        return [
            (write_study(s, clean_runs(), folder="clean"), EXIT_CLEAN),
            (write_study(s, clean_runs(zero=("Houses", "Trans X")), folder="zeros"), EXIT_REPORTED),
            (write_study(s, [("S01_run1", run_sdm()), ("S01_run2", run_sdm(interest=("A",)))],
                         folder="counts"), EXIT_REPORTED),
            (write_study(s, [("S01_run1", run_sdm()), ("S02_run1", run_sdm()),
                             ("S03_run1", run_sdm(interest=("Faces", "\xc4pfel")))],
                         folder="names"), EXIT_REPORTED),
            (write_study(s, [], folder="empty"), EXIT_REPORTED),
            (write_study(s, [("S01_run1", run_sdm()), ("S01_run2", None)], folder="gap"),
             EXIT_NOT_INSPECTED),
            (s.path("none/group.mdm"), EXIT_NOT_INSPECTED),
        ]

    def test_objects_carry_the_findings_of_the_log_lines(self):
        for mdm, status in self.studies():
            with self.subTest(mdm=mdm):
                plain = run_cli(mdm)
                report = run_cli("--json", mdm)
                self.assertStatus(report, status)
                self.assertEqual(plain.returncode, status)
                [run] = report.objects()
                # Every "!!!  " line is one finding, and the status is 0 only without them.
                self.assertEqual([f["line"] for f in run["findings"]],
                                 [l for l in plain.lines() if l.startswith("!!")])
                self.assertEqual(status == EXIT_CLEAN, run["findings"] == [] and run["complete"])
                self.assertEqual(run["mdm"], mdm)

    def test_fields_of_each_kind_of_finding(self):
        found = {}
        for mdm, _ in self.studies():
            for f in run_cli("--json", mdm).objects()[0]["findings"]:
                found.setdefault(f["code"], f)
        root = self.study.root
        self.assertEqual(found["ZERO_ACROSS_RUNS"], {
            "code": "ZERO_ACROSS_RUNS", "severity": "error", "endsRun": False, "file": None,
            "subject": "S01",
            "predictorNumber": 2, "predictorName": "Houses", "found": None, "prevailing": None,
            "line": '!!!  S01, predictor number 2 named "Houses" contains only zeros across runs'})
        self.assertEqual(found["ZERO_CONFOUND"]["file"], f"{root}/zeros/S01_run1.sdm")
        self.assertEqual(found["ZERO_CONFOUND"]["predictorName"], "Trans X")
        count = found["PREDICTOR_COUNT_MISMATCH"]
        self.assertEqual((count["severity"], count["endsRun"], count["found"], count["prevailing"]),
                         ("error", True, 1, 2))
        self.assertEqual(found["NO_STUDIES"]["file"], None)
        self.assertEqual(found["MDM_UNREADABLE"]["file"], f"{root}/none/group.mdm")

    def test_bytes_beyond_ascii_are_latin1_code_points_in_ascii_lines(self):
        mdm = self.studies()[3][0]
        report = run_cli("--json", mdm)
        self.assertTrue(all(b < 0x80 for b in report.stdout))
        self.assertIn(b'"found":"\\u00c4pfel"', report.stdout)
        [run] = report.objects()
        [name] = [f for f in run["findings"] if f["code"] == "PREDICTOR_NAME_MISMATCH"]
        self.assertEqual((name["predictorNumber"], name["prevailing"]), (2, "Houses"))
        # Back to the bytes of the SDM, and of the log line that kelvora prints without --json.
        self.assertEqual(name["found"].encode("latin-1"), b"\xc4pfel")
        plain = run_cli(mdm)
        self.assertIn(b"!!!  \xc4pfel in S03_run1.sdm\n", plain.stdout)

    def test_several_mdms_give_one_object_per_line_in_order(self):
        mdms = [mdm for mdm, _ in self.studies()]
        report = run_cli("--json", *mdms)
        self.assertStatus(report, EXIT_NOT_INSPECTED)
        self.assertEqual([o["mdm"] for o in report.objects()], mdms)
        self.assertEqual([o["end"] for o in report.objects()], [
            "COMPLETE", "COMPLETE", "PREDICTOR_COUNT_MISMATCH", "PREDICTOR_NAME_MISMATCH",
            "NO_STUDIES", "SDM_UNREADABLE", "MDM_UNREADABLE"])
        # Each object carries its own study's status; the call's is the worst of them.
        self.assertEqual([o["exitStatus"] for o in report.objects()], [0, 1, 1, 1, 1, 2, 2])
        for mdm, obj in zip(mdms, report.objects()):
            self.assertEqual(obj["exitStatus"], run_cli(mdm).returncode, mdm)
        # Standard error is the same with or without --json: the findings beyond the log stay
        # there for whoever watches the batch.
        self.assertIn(b"kelvora: warning: ", report.stderr)
        self.assertEqual(report.stderr, run_cli(*mdms).stderr)

    def test_mistyped_contrast_keeps_each_study_object_in_a_batch(self):
        mdms = [mdm for mdm, _ in self.studies()[:2]]
        report = run_cli("--json", "--contrast", "Faces - Housse", *mdms)
        self.assertStatus(report, EXIT_USAGE)
        objects = report.objects()
        self.assertEqual([o["mdm"] for o in objects], mdms)
        told = 'contrast "Faces - Housse": no SDM has a predictor "Housse"; did you mean "Houses"?'
        self.assertEqual([o["contrastError"] for o in objects], [told, told])
        self.assertEqual([o["exitStatus"] for o in objects], [EXIT_USAGE, EXIT_USAGE])
        self.assertEqual({f["code"] for f in objects[1]["findings"]},
                         {"ZERO_ACROSS_RUNS", "ZERO_CONFOUND"})
        self.assertEqual(report.error_text(),
                         f"kelvora: {told}\nRun 'kelvora --help' for the usage.\n" * 2)
        # Without --json the log is printed and the usage error told, as before.
        plain = run_cli("--contrast", "Faces - Housse", mdms[0])
        self.assertStatus(plain, EXIT_USAGE)
        self.assertTrue(plain.stdout.startswith(b"Kelvora>  Start inspecting"))
        self.assertEqual(plain.error_text(), f"kelvora: {told}\nRun 'kelvora --help' for the usage.\n")
        [named] = run_cli("--json", "--contrast", "Faces - Houses", mdms[0]).objects()
        self.assertIsNone(named["contrastError"])

    def test_schema_refuses_what_the_inspector_must_never_print(self):
        [good] = run_cli("--json", self.studies()[1][0]).objects()
        finding = good["findings"][0]
        broken = [
            {**good, "findings": [{**finding, "code": "ZERO"}]},
            {**good, "findings": [{**finding, "subject": None}]},
            {**good, "complete": False},
            {**good, "mdm": "\u0100"},  # not a byte
            {k: v for k, v in good.items() if k != "studies"},
        ]
        for obj in broken:
            with self.subTest(obj=json.dumps(obj)[:120]):
                self.assertRaises(ValidationError, validate, obj)

    def test_all_findings_hold_every_kind_and_point_at_their_cause(self):
        runs = clean_runs(zero=("Trans X",))
        runs[1] = (runs[1][0], "\n".join(runs[1][1].split("\n")[:-3]) + "\n")  # cut matrix
        [run] = run_cli("--json", write_study(self.study, runs, folder="cut")).objects()
        every = run["allFindings"]
        own = [(f["code"], f["line"]) for f in run["findings"]] + \
            [(f["code"], f["text"]) for f in run["causes"]] + \
            [(f["code"], f["text"]) for f in run["furtherFindings"]]
        self.assertEqual([(f["code"], f["text"]) for f in every][:len(own)],
                         [(c, t) for c, t in own])
        self.assertEqual(len(every), len(own) + len(run["designFindings"]))
        [cut] = [i for i, f in enumerate(every) if f["code"] == "SDM_SHORT_MATRIX"]
        caused = [f for f in every if f["causedBy"] is not None]
        self.assertTrue(caused and all(f["causedBy"] == cut and f["file"] == every[cut]["file"]
                                       for f in caused))
        self.assertIn(("run", "ZERO_CONFOUND"), [(f["kind"], f["code"]) for f in caused])
        self.assertEqual(every[cut]["severity"], "error")

    def test_fail_on_chooses_the_severities_that_give_status_1(self):
        s = self.study
        warned = write_study(s, clean_runs(zero=("Trans X",)), folder="warned")
        noted = write_study(s, clean_runs()[:-1], folder="noted")  # one subject with one run
        expected = {warned: [EXIT_REPORTED, EXIT_CLEAN, EXIT_REPORTED, EXIT_REPORTED],
                    noted: [EXIT_CLEAN, EXIT_CLEAN, EXIT_CLEAN, EXIT_REPORTED]}
        for mdm, statuses in expected.items():
            for choice, status in zip([[], ["--fail-on", "error"], ["--fail-on", "warning"],
                                       ["--fail-on", "note"]], statuses):
                with self.subTest(mdm=mdm, choice=choice):
                    self.assertStatus(run_cli("--quiet", *choice, mdm), status)
        self.assertStatus(run_cli("--fail-on", "all", warned), EXIT_USAGE)
        [run] = run_cli("--json", noted).objects()
        self.assertEqual({f["severity"] for f in run["allFindings"]}, {"note"})


if __name__ == "__main__":
    unittest.main()
