"""A lab's config through kelvora: rules that ignore, demote and promote findings change standard
error, the JSON's severities (allFindings and designFindings leave ignored findings out; findings
and furtherFindings show them with severity null), kelvora's part of the findings file and the exit
status, never the plug-in's log; a config that does not parse or names an unknown code is a usage
error with its line."""
import json
import os
import shutil
import subprocess
import unittest

from cli_harness import (EXAMPLES, EXIT_CLEAN, EXIT_REPORTED, EXIT_USAGE, CliTest, clean_runs,
                         kelvora_command, read_bytes, run_cli, run_sdm, write_study)
from harness import ON_WINDOWS

# The example study: sub-03 never saw "Bodies" (ZERO_ACROSS_RUNS, an error; its runs' column is
# RANK_DEFICIENT_DESIGN), sub-02_run-2's "Rot Z" is zero (ZERO_CONFOUND and its dependency), and
# three pairs correlate at just above 0.4 (PREDICTOR_CORRELATION notes), and sub-04_run-1's
# "Trans Y" and "Rot X" are nearly dependent (NEAR_DEPENDENT_DESIGN, a note: confounds alone).
# The predictor selectors: "Rot *" does not take in "Trans Y", so that rule does not match; the
# role does, for both.
LAB = """{
  "note": ["ZERO_ACROSS_RUNS"],
  "ignore": [{"code": "RANK_DEFICIENT_DESIGN", "file": "sub-03_run-*.sdm"},
             {"code": "ZERO_CONFOUND"},
             {"code": "NEAR_DEPENDENT_DESIGN", "predictor": "Rot *"}],
  "warning": [{"code": "RANK_DEFICIENT_DESIGN", "file": "**/study/sub-02_run-2.sdm"},
              {"code": "NEAR_DEPENDENT_DESIGN", "role": "confound"}],
  "error": [{"code": "PREDICTOR_CORRELATION", "file": "sub-04_run-1.sdm"}]
}
"""


class Config(CliTest):

    def setUp(self):
        super().setUp()
        self.folder = self.study.path("study")
        shutil.copytree(os.path.join(EXAMPLES, "study"), self.folder)
        self.mdm = os.path.join(self.folder, "group.mdm")
        self.config = self.study.write("lab.json", LAB)

    def test_rules_ignore_demote_and_promote_everywhere_but_the_log(self):
        plain = run_cli("--no-prompt", "--json", "--no-findings-file", self.mdm)
        ruled = run_cli("--no-prompt", "--json", "--no-findings-file", "--config", self.config,
                        self.mdm)
        self.assertStatus(plain, EXIT_REPORTED)
        self.assertStatus(ruled, EXIT_REPORTED)  # the promoted correlations
        before, after = plain.objects()[0], ruled.objects()[0]
        # The log's findings stay, each with the severity --fail-on counts (null: ignored).
        self.assertIn(("NEAR_DEPENDENT_DESIGN", "note"),
                      [(f["code"], f["severity"]) for f in before["designFindings"]])
        self.assertEqual([(f["code"], f["severity"], f["endsRun"]) for f in before["findings"]],
                         [("ZERO_ACROSS_RUNS", "error", False), ("ZERO_CONFOUND", "warning", False)])
        self.assertEqual([(f["code"], f["severity"]) for f in after["findings"]],
                         [("ZERO_ACROSS_RUNS", "note"), ("ZERO_CONFOUND", None)])
        self.assertEqual([{**f, "severity": None} for f in after["findings"]],
                         [{**f, "severity": None} for f in before["findings"]])
        shown = [(f["code"], f["severity"], f["file"] and os.path.basename(f["file"]))
                 for f in after["allFindings"]]
        self.assertEqual(shown, [
            ("ZERO_ACROSS_RUNS", "note", None),
            ("PREDICTOR_CORRELATION", "note", "sub-01_run-1.sdm"),
            ("RANK_DEFICIENT_DESIGN", "warning", "sub-02_run-2.sdm"),
            ("NEAR_DEPENDENT_DESIGN", "warning", "sub-04_run-1.sdm"),
            ("PREDICTOR_CORRELATION", "error", "sub-04_run-1.sdm"),
            ("PREDICTOR_CORRELATION", "error", "sub-04_run-1.sdm")])
        self.assertEqual([(f["code"], f["severity"]) for f in after["designFindings"]],
                         [(c, s) for c, s, _ in shown[1:]])
        text = run_cli("--no-prompt", "--config", self.config, self.mdm)
        section = read_bytes(os.path.join(self.folder, "group_log.txt")).decode("latin-1")
        self.assertEqual(text.stdout, run_cli("--no-prompt", self.mdm).stdout)
        errors = text.error_text()
        self.assertIn("kelvora: error: sub-04_run-1.sdm: predictor 6", errors)
        self.assertNotIn("sub-03_run-1.sdm", errors)
        self.assertIn("kelvora: error: sub-04_run-1.sdm", section)
        self.assertNotIn("sub-03_run-1.sdm: predictor 3", section)
        self.assertIn('!!!  sub-02_run-2.sdm predictor number 12 named "Rot Z"', section)

    def test_a_finding_beyond_an_early_end_says_the_severity_fail_on_counts(self):
        runs = clean_runs(("S01", "S02"), zero=("Houses",))[:2] + clean_runs(("S02",))
        runs.append(("S03_run1", run_sdm(interest=("Faces",))))  # the count ends the run
        mdm = write_study(self.study, runs, folder="early")
        zero = ('(after the log stopped): over the 4 SDMs that agree with the prevailing count and '
                'names: '
                'subject "S01", predictor number 2 named "Houses" is zero in all its 2 runs')
        for rules, word, status in [({}, "error", EXIT_REPORTED),
                                    ({"error": ["ZERO_ACROSS_RUNS"]}, "error", EXIT_REPORTED),
                                    ({"note": ["ZERO_ACROSS_RUNS"]}, "note", EXIT_REPORTED)]:
            with self.subTest(rules=rules):
                config = self.study.write("early.json", json.dumps(rules))
                text = run_cli("--no-prompt", "--config", config, mdm)
                self.assertStatus(text, status)
                # Told once, with the rank findings of S01's runs that follow from it.
                told = f"kelvora: {word} {zero} ... and 2 findings that follow from it"
                self.assertIn(told, text.error_text().splitlines())
                section = read_bytes(self.study.path("early/group_log.txt")).decode("latin-1")
                self.assertIn(told, section.splitlines())
                [run] = run_cli("--no-prompt", "--json", "--no-findings-file", "--config", config,
                                "--fail-on", "error", mdm).objects()
                [found] = [f for f in run["furtherFindings"] if f["code"] == "ZERO_ACROSS_RUNS"]
                self.assertEqual(found["severity"], word)
                [ended] = run["findings"]
                self.assertEqual((ended["code"], ended["severity"], ended["endsRun"]),
                                 ("PREDICTOR_COUNT_MISMATCH", "error", True))

    def test_ignore_option_and_printed_config(self):
        codes = ["--ignore", "ZERO_ACROSS_RUNS", "--ignore", "ZERO_CONFOUND", "--ignore",
                 "RANK_DEFICIENT_DESIGN"]
        cli = run_cli("--no-prompt", "--quiet", "--no-findings-file", *codes, self.mdm)
        self.assertStatus(cli, EXIT_CLEAN)
        printed = run_cli("--config", self.config, "--ignore", "HIGH_VIF", "--print-config")
        self.assertStatus(printed, EXIT_CLEAN)
        again = self.study.write("again.json", printed.stdout.decode("ascii"))
        self.assertEqual(run_cli("--config", again, "--print-config").stdout, printed.stdout)
        self.assertIn('"code": "HIGH_VIF"', printed.stdout.decode("ascii"))

    def test_bad_configs_are_usage_errors_with_their_line(self):
        for text, told in [('{\n "ignore": [\n  "HIGH_VIF",,\n ]}',
                            ": line 3: syntax error while parsing value"),
                           ('{"error": [\n {"code": "HIGH_VIFF"}]}', ': line 2: unknown code "HIGH_VIFF"')]:
            with self.subTest(told=told):
                config = self.study.write("bad.json", text)
                cli = run_cli("--no-prompt", "--config", config, self.mdm)
                self.assertStatus(cli, EXIT_USAGE)
                self.assertTrue(cli.error_text().startswith(f"kelvora: --config {config}{told}"),
                                cli.error_text())
                self.assertEqual(cli.stdout, b"")
        cli = run_cli("--ignore", "NOPE", self.mdm)
        self.assertStatus(cli, EXIT_USAGE)
        self.assertIn('kelvora: --ignore: unknown code "NOPE"', cli.error_text())

    @unittest.skipIf(ON_WINDOWS, "POSIX pipes and devices")
    def test_a_config_may_come_from_a_pipe_but_not_from_a_device_nor_deeply_nested(self):
        # As `kelvora --config <(make_config)` passes it: /dev/fd/N of a pipe.
        read_end, write_end = os.pipe()
        os.write(write_end, LAB.encode())
        os.close(write_end)
        try:
            piped = subprocess.run(kelvora_command() + ["--print-config", "--config",
                                                        f"/dev/fd/{read_end}"],
                                   capture_output=True, pass_fds=(read_end,), timeout=120)
        finally:
            os.close(read_end)
        self.assertEqual(piped.returncode, EXIT_CLEAN, piped.stderr)
        self.assertEqual(piped.stdout, run_cli("--print-config", "--config", self.config).stdout)
        deep = self.study.write("deep.json", '{"ignore":\n' + "[" * 100_000)
        for config, told in (("/dev/zero", " is neither a file nor a pipe"),
                             (deep, ": line 2: nested deeper than 32 levels")):
            with self.subTest(config=config):
                cli = run_cli("--no-prompt", "--config", config, self.mdm)
                self.assertStatus(cli, EXIT_USAGE)
                self.assertTrue(cli.error_text().startswith(f"kelvora: --config {config}{told}\n"),
                                cli.error_text())


if __name__ == "__main__":
    unittest.main()
