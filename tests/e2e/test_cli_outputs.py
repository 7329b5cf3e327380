"""No output of a kelvora call may be one of its files: a --report, --save-mdm or findings file
that is an MDM_FILE, an SDM or functional data file it lists, the --locate file or another output
of the call is a usage error before any run, and leaves every file as it was. A link or a pipe at the report's name is
never written through or opened."""

import os
import unittest

from cli_harness import (EXIT_CLEAN, EXIT_NOT_INSPECTED, EXIT_REPORTED, EXIT_USAGE, CliTest,
                         clean_runs, full_path, mdm_text, run_cli, write_study)
from harness import ON_WINDOWS


class OutputsThatAreFilesOfTheCall(CliTest):

    def files(self):
        """Every regular file of the study with its bytes, and what else has a name there."""
        found = {}
        for folder, _, names in os.walk(self.study.root):
            for name in names:
                path = os.path.join(folder, name)
                found[path] = self.study.read(os.path.relpath(path, self.study.root)) \
                    if os.path.isfile(path) and not os.path.islink(path) else os.lstat(path).st_mode
        return found

    def assertRefused(self, args, line, cwd=None):
        before = self.files()
        cli = run_cli(*args, cwd=cwd)
        self.assertStatus(cli, EXIT_USAGE)
        self.assertEqual((cli.stdout, cli.error_text()), (b"", f"kelvora: {line}\n"))
        self.assertEqual(self.files(), before)

    def test_each_clash_is_named_in_one_line_and_nothing_is_written(self):
        mdm = write_study(self.study, clean_runs())
        sdm = self.study.path("S01_run1.sdm")
        log = self.study.path("group_log.txt")
        other = self.study.path("other.mdm")
        vtc = self.study.write("S01_run1.vtc", "functional data")
        missing_vtc = self.study.path("S02_run2.vtc")
        name = str  # a path given in full is shown as it was given, on Windows too
        cases = [
            (["--save-mdm", vtc],
             f"--save-mdm {name(vtc)} would replace a functional data file listed by {name(mdm)}"),
            (["--report", missing_vtc], f"--report {name(missing_vtc)} would replace a functional "
             f"data file listed by {name(mdm)}"),
            (["--report", mdm], f"--report {name(mdm)} would replace the MDM_FILE"),
            (["--report", sdm], f"--report {name(sdm)} would replace an SDM listed by {name(mdm)}"),
            (["--report", log],
             f"--report {name(log)} would also be the findings file of {name(mdm)}"),
            (["--save-mdm", sdm],
             f"--save-mdm {name(sdm)} would replace an SDM listed by {name(mdm)}"),
            (["--save-mdm", log],
             f"--save-mdm {name(log)} would also be the findings file of {name(mdm)}"),
            (["--save-mdm", other, "--report", other],
             f"--report {name(other)} would also be the --save-mdm file"),
            (["--locate", sdm, "--report", sdm],
             f"--report {name(sdm)} would replace an SDM listed by {name(mdm)}"),
            (["--locate", other, "--report", other],
             f"--report {name(other)} would replace the --locate file"),
            (["--findings-dir", self.study.root, "--save-mdm", log],
             f"--save-mdm {name(log)} would also be the findings file of {name(mdm)}"),
        ]
        for args, line in cases:
            with self.subTest(args=args):
                self.assertRefused(args + [mdm], line)
        self.assertFalse(self.study.exists("group_log.txt"))
        self.assertFalse(self.study.exists("S02_run2.vtc"))

    def test_paths_are_compared_as_the_files_they_name(self):
        # A relative SDM path is found in its MDM's folder; a report named through a link is the
        # file the link leads to.
        self.study.write("data/S01_run1.sdm", "")
        mdm = self.study.write("data/group.mdm", mdm_text([("S01_run1.vtc", "S01_run1.sdm")]))
        self.assertRefused(["--report", "data/./S01_run1.sdm", "data/group.mdm"],
                           f"--report {full_path(self.study.path('data/S01_run1.sdm'))} would "
                           f"replace an SDM listed by {full_path(mdm)}", cwd=self.study.root)
        self.assertRefused(["--save-mdm", "data/S01_run1.vtc", "data/group.mdm"],
                           f"--save-mdm {full_path(self.study.path('data/S01_run1.vtc'))} would "
                           f"replace a functional data file listed by {full_path(mdm)}",
                           cwd=self.study.root)
        if not ON_WINDOWS:
            os.symlink(mdm, self.study.path("link.html"))
            self.assertRefused(["--report", self.study.path("link.html"), mdm],
                               f"--report {self.study.path('link.html')} would replace the "
                               "MDM_FILE")

    def test_two_mdms_that_share_a_findings_file(self):
        first = write_study(self.study, clean_runs())
        second = self.study.write("group.MDMX", self.study.read("group.mdm"))
        self.assertRefused([first, second], "two MDM_FILEs would both write "
                           f"{self.study.path('group_log.txt')}")
        self.assertFalse(self.study.exists("group_log.txt"))
        self.assertStatus(run_cli("--no-findings-file", first, second), EXIT_CLEAN)

    def test_the_corrected_mdm_may_replace_the_mdm_it_corrects(self):
        mdm = write_study(self.study, clean_runs(), sdm_folder="D:/lab/old")
        cli = run_cli("--locate", self.study.path("S01_run1.sdm"), "--save-mdm", mdm, mdm)
        self.assertStatus(cli, EXIT_CLEAN)
        self.assertTrue(cli.error_text().endswith(f"MDM was saved to {mdm}\n"))
        self.assertIn(f'"{self.study.root}/S02_run2.sdm"'.encode(), self.study.read("group.mdm"))

    def test_the_corrected_mdm_and_report_never_replace_the_functional_data_it_leads_to(self):
        # Listed on another machine, the functional files are no outputs' concern before the run;
        # once the repair leads the paths here, they are the study's data.
        mdm = write_study(self.study, clean_runs(), sdm_folder="D:/lab/old")
        vtc = self.study.write("S01_run1.vtc", "functional data")
        locate = ["--locate", self.study.path("S01_run1.sdm")]
        cli = run_cli(*locate, "--save-mdm", vtc, mdm)
        self.assertStatus(cli, EXIT_REPORTED)
        self.assertIn(f"!! Cannot Create file: {vtc}", cli.lines())
        cli = run_cli(*locate, "--report", vtc, mdm)
        self.assertStatus(cli, EXIT_NOT_INSPECTED)
        self.assertIn(f"no report: {vtc} is a file of this inspection", cli.error_text())
        self.assertEqual(self.study.read("S01_run1.vtc"), b"functional data")

    def test_a_findings_file_that_cannot_be_saved_says_why(self):
        mdm = write_study(self.study, clean_runs())
        self.study.write("group_log.txt/x", "a folder at the findings file's name")
        cli = run_cli(mdm)
        self.assertEqual(cli.lines()[-1], f"!!!  Could not save findings to: "
                         f"{self.study.path('group_log.txt')}")
        self.assertIn("was not saved: a folder has its name; --findings-dir DIR",
                      cli.error_text())

    @unittest.skipIf(ON_WINDOWS, "links and pipes as POSIX makes them")
    def test_a_link_or_pipe_at_the_report_is_never_written_through(self):
        mdm = write_study(self.study, clean_runs())
        victim = self.study.write("victim.txt", "another user's file")
        report = self.study.path("report.html")
        os.symlink(victim, report)
        cli = run_cli("--report", report, mdm)
        self.assertStatus(cli, EXIT_CLEAN)
        self.assertFalse(os.path.islink(report))
        self.assertTrue(self.study.read("report.html").startswith(b"<!DOCTYPE html>"))
        self.assertEqual(self.study.read("victim.txt"), b"another user's file")

        os.remove(report)
        os.mkfifo(report)
        cli = run_cli("--quiet", "--report", report, mdm)
        self.assertStatus(cli, EXIT_NOT_INSPECTED)
        self.assertEqual(cli.error_text(), f"kelvora: no report: cannot write {report}\n")
        self.assertEqual(sorted(os.listdir(self.study.root)), sorted(
            ["group.mdm", "group_log.txt", "report.html", "victim.txt"] +
            [f"{stem}.sdm" for stem, _ in clean_runs()]))


if __name__ == "__main__":
    unittest.main()
