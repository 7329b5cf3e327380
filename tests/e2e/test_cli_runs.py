"""kelvora's plain runs: the same lines as the plug-in in the stand-in host, the same findings
file, the exit statuses, several MDMs in one call, and its command-line usage."""

import os
import random
import shutil
import unittest

from cli_harness import (EXAMPLES, EXIT_CLEAN, EXIT_NOT_INSPECTED, EXIT_REPORTED, EXIT_USAGE,
                         CliTest, clean_runs, full_path, mdm_text, read_bytes, run_cli, run_host_in,
                         run_sdm, run_texts, write_study)
from harness import lines, run_host

SAVED = "Kelvora>  Saved findings to: "


class HostComparison(CliTest):
    """For each study, the command prints the log texts that one execute hands to the host, and
    leaves the same findings file."""

    def assertSameAsHost(self, mdm, status):
        """Runs the host in the folder of `mdm` (a full path, as its dialog gives it), then
        kelvora in another folder; returns kelvora's result."""
        findings = mdm[:-len(".mdm")] + "_log.txt"
        host = run_host_in(os.path.dirname(mdm), "--open", mdm)
        self.assertEqual(host.returncode, 0, host.stderr)
        host_log = run_texts(host)
        host_file = None
        if os.path.exists(findings):
            host_file = read_bytes(findings)
            os.remove(findings)

        cli = run_cli(mdm, cwd=self.study.root)
        self.assertStatus(cli, status)
        self.assertEqual(cli.lines(), host_log)
        if host_file is None:
            self.assertFalse(os.path.exists(findings))
        else:
            # The host's lines byte for byte, then kelvora's section: its lines on standard error.
            further = [l for l in cli.error_text().splitlines()
                       if l.startswith(("kelvora: error", "kelvora: warning", "kelvora: note",
                                        "kelvora: likely"))]
            section = lines("kelvora: findings beyond the log:", *further) if further else b""
            self.assertEqual(read_bytes(findings), host_file + section)
            # Every line from "Start inspecting" on, and never "Saved findings".
            self.assertEqual(host_file, lines(*[t for t in host_log if not t.startswith(SAVED)]))
        return cli


class SameRunAsThePlugin(HostComparison):

    def test_clean_study_reports_nothing_and_exits_0(self):
        mdm = write_study(self.study, clean_runs())
        cli = self.assertSameAsHost(mdm, EXIT_CLEAN)
        self.assertEqual(cli.lines()[-1], f"{SAVED}{self.study.root}/group_log.txt")
        self.assertEqual(cli.stderr, b"")  # no progress, no message: nobody asked anything

    def test_example_study_reports_its_two_problems_and_exits_1(self):
        shutil.copytree(f"{EXAMPLES}/study", self.study.path("study"))
        # Its MDM lists paths relative to its own folder, where they are found from any folder.
        cli = self.assertSameAsHost(self.study.path("study/group.mdm"), EXIT_REPORTED)
        self.assertEqual([l for l in cli.lines() if l.startswith("!!!")], [
            '!!!  sub-03, predictor number 3 named "Bodies" contains only zeros across runs',
            '!!!  sub-02_run-2.sdm predictor number 12 named "Rot Z" contains only zeros'])

    def test_problems_of_each_kind_exit_1(self):
        cases = {
            "zero across runs": clean_runs(zero=("Houses",)),
            "zero confound": [("S01_run1", run_sdm()), ("S01_run2", run_sdm(zero=("Trans X",)))],
            "count mismatch": [("S01_run1", run_sdm()),
                               ("S01_run2", run_sdm(interest=("Faces", "Houses", "Tools"))),
                               ("S02_run1", run_sdm())],
            "name mismatch": [("S01_run1", run_sdm()), ("S02_run1", run_sdm()),
                              ("S03_run1", run_sdm(interest=("Faces", "\xc4pfel")))],
            "no studies": [],
        }
        for name, runs in cases.items():
            with self.subTest(name):
                mdm = write_study(self.study, runs, folder=name.replace(" ", "-"))
                self.assertSameAsHost(mdm, EXIT_REPORTED)

    def test_unreadable_files_exit_2(self):
        cases = {
            "mdm": None,
            "second sdm": [("S01_run1", run_sdm()), ("S01_run2", None), ("S02_run1", run_sdm())],
        }
        for name, runs in cases.items():
            with self.subTest(name):
                folder = name.replace(" ", "-")
                mdm = (self.study.path("none.mdm") if runs is None
                       else write_study(self.study, runs, folder=folder))
                self.assertSameAsHost(mdm, EXIT_NOT_INSPECTED)

    def test_findings_file_that_cannot_be_written_is_reported(self):
        mdm = write_study(self.study, clean_runs())
        self.study.write("group_log.txt/blocker", "a folder where the findings file would be")
        cli = run_cli(mdm)
        self.assertStatus(cli, EXIT_REPORTED)
        self.assertTrue(cli.lines()[-1].startswith("!!!  "), cli.lines())


class BadInput(HostComparison):
    """Whatever the plug-in survives, the command survives, with the same lines."""

    def test_malformed_files_give_the_plugins_lines_and_no_crash(self):
        junk = bytes(random.Random(5).randrange(256) for _ in range(4000))
        huge = run_sdm().replace("NrOfPredictors: 4", "NrOfPredictors: 2147483647") \
                        .replace("NrOfDataPoints: 6", "NrOfDataPoints: 2147483647")
        negative = run_sdm().replace("NrOfPredictors: 4", "NrOfPredictors: -3")
        cases = {
            "junk sdm": [("S01_run1", run_sdm()), ("S01_run2", junk)],
            "huge sdm": [("S01_run1", huge), ("S01_run2", run_sdm())],
            "negative counts": [("S01_run1", run_sdm()), ("S01_run2", negative)],
        }
        for name, runs in cases.items():
            with self.subTest(name):
                folder = name.replace(" ", "-")
                for stem, text in runs:
                    self.study.write(f"{folder}/{stem}.sdm", text)
                mdm = write_study(self.study, [(stem, None) for stem, _ in runs], folder=folder)
                cli = self.assertSameAsHost(mdm, run_cli(mdm).returncode)
                self.assertIn(cli.returncode, (EXIT_REPORTED, EXIT_NOT_INSPECTED))
        self.study.write("junk.mdm", junk)
        self.study.write("many.mdm", mdm_text([("a.vtc", "a.sdm")]).replace(
            "NrOfStudies:          1", "NrOfStudies:          2147483647"))
        for mdm in ("junk.mdm", "many.mdm"):
            with self.subTest(mdm):
                path = self.study.path(mdm)
                cli = self.assertSameAsHost(path, run_cli(path).returncode)
                self.assertIn(cli.returncode, (EXIT_REPORTED, EXIT_NOT_INSPECTED))


class SeveralMdms(CliTest):

    def test_lone_cr_line_ends_and_a_byte_order_mark_read_as_lf(self):
        # The same study twice, once with LF and once with lone CR line ends (the MDM also with
        # a byte-order mark): the same findings, the folder aside.
        runs = clean_runs(zero=("Trans X",))
        plain = write_study(self.study, runs, folder="lf")
        write_study(self.study, runs, folder="cr")
        for name in os.listdir(self.study.path("cr")):
            text = self.study.read(f"cr/{name}").replace(b"\r\n", b"\n").replace(b"\n", b"\r")
            self.study.write(f"cr/{name}", (b"\xEF\xBB\xBF" if name.endswith(".mdm") else b"") + text)
        lf, cr = run_cli(plain), run_cli(self.study.path("cr/group.mdm"))
        self.assertStatus(cr, EXIT_REPORTED)
        self.assertEqual(cr.lines(), [t.replace("/lf/", "/cr/").replace("/lf\\", "/cr\\")
                                      for t in lf.lines()])
        self.assertEqual(len([t for t in cr.lines() if t.startswith("!!!  ")]), 4)

    def test_each_mdm_in_turn_and_the_worst_status(self):
        clean = write_study(self.study, clean_runs(), folder="clean")
        zeros = write_study(self.study, clean_runs(zero=("Faces",)), folder="zeros")
        missing = self.study.path("missing/group.mdm")
        expected = []
        for mdm in (clean, zeros, missing):
            expected += run_texts(run_host("--open", mdm))
        cli = run_cli(clean, zeros, missing)
        self.assertStatus(cli, EXIT_NOT_INSPECTED)
        self.assertEqual(cli.lines(), expected)
        self.assertStatus(run_cli(clean, zeros), EXIT_REPORTED)


class OutputControl(CliTest):

    def test_findings_elsewhere_or_none_and_quiet_runs(self):
        mdm = write_study(self.study, clean_runs(zero=("Faces",)), folder="data")
        plain = run_cli(mdm)
        beside = self.study.read("data/group_log.txt")
        os.remove(self.study.path("data/group_log.txt"))
        os.mkdir(self.study.path("out"))

        elsewhere = run_cli("--findings-dir", "out", mdm, cwd=self.study.root)
        self.assertEqual(self.study.read("out/group_log.txt"), beside)
        self.assertEqual(elsewhere.lines()[-1],
                         SAVED + full_path(self.study.path("out/group_log.txt")))
        self.assertEqual(elsewhere.lines()[:-1], plain.lines()[:-1])
        none = run_cli("--no-findings-file", mdm)
        self.assertEqual(none.lines(), plain.lines()[:-1])  # no "Saved findings to: " line
        self.assertFalse(self.study.exists("data/group_log.txt"))
        quiet = run_cli("--quiet", "--no-findings-file", mdm)
        # Standard error stays as it is: the all-zero "Faces", told with the rank check's findings
        # that follow from it.
        self.assertEqual((quiet.stdout, quiet.stderr), (b"", plain.stderr))
        self.assertIn(b'"Faces" is zero in all its runs ... and 2 findings that follow from it',
                      quiet.stderr)
        [run] = run_cli("--json", "--quiet", "--no-findings-file", mdm).objects()
        self.assertIsNone(run["findingsFile"])
        self.assertEqual([f["line"] for f in run["findings"]],
                         [line for line in plain.lines() if line.startswith("!!!  ")])
        for result in (plain, elsewhere, none, quiet):
            self.assertStatus(result, EXIT_REPORTED)
        self.assertFalse(self.study.exists("data/group_log.txt"))

    def test_the_readme_batch_loop_checks_the_examples_from_any_folder(self):
        shutil.copytree(EXAMPLES, self.study.path("data"), ignore=shutil.ignore_patterns("*.py"))
        ends = {}
        for name in ("study", "names", "moved"):
            [run] = run_cli("--json", f"data/{name}/group.mdm", cwd=self.study.root).objects()
            ends[name] = (run["end"], run["mdm"])
        self.assertEqual(ends, {
            name: (end, full_path(self.study.path(f"data/{name}/group.mdm")))
            for name, end in (("study", "COMPLETE"), ("names", "PREDICTOR_NAME_MISMATCH"),
                              ("moved", "NOT_RELOCATED"))})


class Usage(CliTest):

    def test_usage_errors_exit_64_and_inspect_nothing(self):
        mdm = write_study(self.study, clean_runs())
        for args in ([], ["--json"], ["--no-such-option", mdm], ["--locate"], ["--save-mdm"],
                     ["-x", mdm], ["--locate", mdm, mdm, mdm], ["--save-mdm", "x.mdm", mdm, mdm],
                     ["--findings-dir", "no-such-folder/below", mdm],
                     ["--findings-dir", self.study.root, "--no-findings-file", mdm],
                     ["--findings-dir", self.study.root, mdm, mdm[:-4] + ".MDM/group.mdm"]):
            with self.subTest(args=args):
                cli = run_cli(*args)
                self.assertStatus(cli, EXIT_USAGE)
                self.assertEqual(cli.stdout, b"")
                self.assertIn("kelvora --help", cli.error_text())
        self.assertFalse(self.study.exists("group_log.txt"))

    def test_help_shows_the_usage_and_the_exit_statuses(self):
        cli = run_cli("--help")
        self.assertStatus(cli, EXIT_CLEAN)
        text = cli.stdout.decode("ascii")
        for expected in ("--locate SDM_PATH", "--save-mdm MDM_PATH", "--json", "MDM_FILE",
                         "\n  0 ", "\n  1 ", "\n  2 ", "\n  64 "):
            self.assertIn(expected, text)

    def test_a_file_named_like_an_option_after_the_separator(self):
        mdm = write_study(self.study, clean_runs(), mdm_name="-odd.mdm")
        cli = run_cli("--", "-odd.mdm", cwd=self.study.root)
        self.assertStatus(cli, EXIT_CLEAN)
        del mdm


if __name__ == "__main__":
    unittest.main()
