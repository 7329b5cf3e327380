"""kelvora's path repair: an MDM whose SDMs have moved, answered by --locate and --save-mdm (and,
without them, cancelled), the same as the plug-in answered by the host's dialogs; a located file
of another name refused, and a corrected MDM whose SDMs do not all open never saved."""

import os
import unittest

from cli_harness import (EXIT_CLEAN, EXIT_NOT_INSPECTED, EXIT_REPORTED, EXIT_USAGE, CliTest,
                         clean_runs, full_path, run_cli, run_host_in, run_sdm, run_texts,
                         write_study)
from harness import ON_WINDOWS

NOT_FOUND = ("The first SDM from the MDM file was not found.\n"
             "If you select it manually the plugin will try to correct the path!\n")
# kelvora's one line for a study whose SDMs are all missing from the folder its MDM names.
MOVED = ('kelvora: note: group.mdm: 4 of 4 SDMs cannot be opened from "D:/lab/old": the study '
         'seems to have moved; kelvora --locate FIRST_SDM --save-mdm NEW.mdm group.mdm '
         '(FIRST_SDM: where "S01_run1.sdm" is now) moves every path with it and saves the '
         'corrected MDM\n')
NOT_SAVED = "kelvora: the corrected MDM was not saved"


class RepairByOptions(CliTest):

    def setUp(self):
        super().setUp()
        # The MDM was written on another machine; its SDMs are now beside it.
        self.mdm = write_study(self.study, clean_runs(), folder="moved", sdm_folder="D:/lab/old")
        self.original = self.study.read("moved/group.mdm")
        self.located = self.study.path("moved/S01_run1.sdm")

    def assertSameAsHost(self, cli_args, host_args):
        host = run_host_in(self.study.root, "--open", self.mdm, *host_args)
        host_saved = self.study.read("fixed.mdm") if self.study.exists("fixed.mdm") else None
        cli = run_cli(*cli_args, self.mdm)
        self.assertEqual(cli.lines(), run_texts(host))
        return cli, host_saved

    def test_locate_without_save_mends_the_run_and_leaves_the_mdm(self):
        cli, _ = self.assertSameAsHost(["--locate", self.located],
                                       ["--open", self.located, "--yesno", "2"])
        self.assertStatus(cli, EXIT_CLEAN)  # the mended "!!!  " line is no finding of the study
        self.assertEqual(cli.error_text(), NOT_FOUND + NOT_SAVED + "; its paths served this "
                         "inspection only (--save-mdm MDM_PATH saves it)\n")
        self.assertIn("Kelvora>  Asking user to select correct path", cli.lines())
        self.assertEqual(cli.lines()[-1],
                         f"Kelvora>  Saved findings to: {self.study.root}/moved/group_log.txt")
        self.assertEqual(self.study.read("moved/group.mdm"), self.original)
        self.assertFalse(self.study.exists("fixed.mdm"))

    def test_locate_and_save_write_the_same_corrected_mdm_as_the_plugin(self):
        target = self.study.path("fixed.mdm")
        cli, host_saved = self.assertSameAsHost(
            ["--locate", self.located, "--save-mdm", target],
            ["--open", self.located, "--yesno", "1", "--save", target])
        self.assertStatus(cli, EXIT_CLEAN)
        self.assertEqual(cli.error_text(), NOT_FOUND + f"kelvora: the corrected MDM was saved to "
                                                       f"{target}\n")
        self.assertIsNotNone(host_saved)
        self.assertEqual(self.study.read("fixed.mdm"), host_saved)
        self.assertIn(f'"{self.study.root}/moved/S02_run2.sdm"'.encode(), host_saved)
        self.assertEqual(self.study.read("moved/group.mdm"), self.original)

        report = run_cli("--json", "--locate", self.located, "--save-mdm", target, self.mdm)
        [run] = report.objects()
        self.assertEqual((run["end"], run["savedMdm"]), ("COMPLETE", target))
        # The first SDM that the repair found again: a note, and the run went on.
        self.assertEqual([(f["code"], f["severity"], f["endsRun"]) for f in run["findings"]],
                         [("SDM_UNREADABLE", "note", False)])

    def test_save_that_cannot_be_written_is_reported_and_the_run_goes_on(self):
        target = self.study.path("no-such-folder/fixed.mdm")
        cli, _ = self.assertSameAsHost(["--locate", self.located, "--save-mdm", target],
                                       ["--open", self.located, "--yesno", "1", "--save", target])
        self.assertStatus(cli, EXIT_REPORTED)
        self.assertIn(f"!! Cannot Create file: {target}", cli.lines())
        self.assertIn(f"{NOT_SAVED}: {target} could not be written\n", cli.error_text())
        [run] = run_cli("--json", "--locate", self.located, "--save-mdm", target,
                        self.mdm).objects()
        self.assertEqual([f["code"] for f in run["findings"]], ["SDM_UNREADABLE", "MDM_NOT_SAVED"])
        self.assertIsNone(run["savedMdm"])

    def test_without_an_answer_the_repair_is_cancelled_and_locate_suggested(self):
        for args, reason in (([], "standard input is no terminal"),
                             (["--no-prompt"], "--no-prompt")):
            cli, _ = self.assertSameAsHost(args, ["--cancel-open"])
            self.assertStatus(cli, EXIT_NOT_INSPECTED)
            # The SDMs past the first are not where the MDM says either: each is named after the
            # run.
            self.assertEqual(cli.error_text(), NOT_FOUND + (
                f"kelvora: {self.mdm}: the first SDM was not found; not asked ({reason}): "
                "--locate SDM_PATH repairs it\n") + "".join(
                f'kelvora: error (after the log stopped): the SDM "D:/lab/old/{stem}.sdm" cannot '
                'be '
                "opened\n" for stem in ("S01_run2", "S02_run1", "S02_run2")) + MOVED)
            self.assertEqual(cli.lines()[-1], "Kelvora>  Asking user to select correct path")

    def test_a_located_file_that_cannot_be_read_ends_the_run(self):
        wrong = self.study.path("elsewhere/S01_run1.sdm")
        cli, _ = self.assertSameAsHost(["--locate", wrong], ["--open", wrong])
        self.assertStatus(cli, EXIT_NOT_INSPECTED)
        self.assertEqual(cli.lines()[-1], f"Kelvora>  Error Reading {wrong}")

    def test_relative_paths_given_become_full_paths_in_the_saved_mdm(self):
        cli = run_cli("--json", "--locate", "moved/S01_run1.sdm", "--save-mdm", "fixed.mdm",
                      self.mdm, cwd=self.study.root)
        [run] = cli.objects()
        self.assertEqual((run["end"], run["savedMdm"]),
                         ("COMPLETE", full_path(self.study.path("fixed.mdm"))))
        # The paths are re-based on the full path of the located SDM's folder, spelled with the
        # separator of the MDM's own paths.
        moved = full_path(self.study.path("moved")).replace("\\", "/")
        self.assertIn(f'"{moved}/S02_run2.sdm"'.encode(), self.study.read("fixed.mdm"))

    def test_options_for_a_study_that_needs_no_repair_get_a_note(self):
        clean = write_study(self.study, clean_runs(), folder="clean")
        cli = run_cli("--locate", self.located, "--save-mdm", "fixed.mdm", clean)
        self.assertStatus(cli, EXIT_CLEAN)
        self.assertEqual(cli.error_text(), f"kelvora: note: {clean} asked for no repair; "
                                           "--locate and --save-mdm were not used\n")
        self.assertFalse(self.study.exists("fixed.mdm"))


class GuardedRepair(CliTest):
    """A located file must bear the missing SDM's name, or --force-locate must take it; the
    corrected MDM is saved only when every SDM it lists opens."""

    def setUp(self):
        super().setUp()
        self.mdm = write_study(self.study, clean_runs(), folder="moved", sdm_folder="D:/lab/old")
        self.original = self.study.read("moved/group.mdm")
        self.target = self.study.path("fixed.mdm")

    def test_a_file_of_another_name_is_refused_unless_forced(self):
        # The files were renamed on the way: "site-S01_run1.sdm" for "S01_run1.sdm".
        for stem, text in clean_runs():
            self.study.write(f"renamed/site-{stem}.sdm", text)
        located = self.study.path("renamed/site-S01_run1.sdm")
        refused = run_cli("--locate", located, "--save-mdm", self.target, self.mdm)
        self.assertStatus(refused, EXIT_NOT_INSPECTED)
        self.assertEqual(refused.error_text(), NOT_FOUND + (
            f"kelvora: {self.mdm}: --locate names site-S01_run1.sdm, not the missing "
            "S01_run1.sdm: refused, as every path of the MDM would be re-based on it "
            "(--force-locate takes it)\n") + "".join(
            f'kelvora: error (after the log stopped): the SDM "D:/lab/old/{stem}.sdm" cannot be '
            'opened\n'
            for stem in ("S01_run2", "S02_run1", "S02_run2")) + MOVED)
        self.assertEqual(refused.lines()[-1], "Kelvora>  Asking user to select correct path")
        self.assertFalse(self.study.exists("fixed.mdm"))

        forced = run_cli("--force-locate", "--locate", located, "--save-mdm", self.target,
                         self.mdm)
        self.assertStatus(forced, EXIT_CLEAN)
        self.assertEqual(forced.error_text(),
                         NOT_FOUND + f"kelvora: the corrected MDM was saved to {self.target}\n")
        self.assertIn(f'"{self.study.root}/renamed/site-S02_run2.sdm"'.encode(),
                      self.study.read("fixed.mdm"))
        self.assertEqual(self.study.read("moved/group.mdm"), self.original)

        alone = run_cli("--force-locate", self.mdm)
        self.assertStatus(alone, EXIT_USAGE)
        self.assertEqual(alone.error_text(), "kelvora: --force-locate takes --locate\n"
                                             "Run 'kelvora --help' for the usage.\n")

    def test_a_corrected_mdm_whose_sdms_do_not_all_open_is_not_saved(self):
        os.remove(self.study.path("moved/S02_run2.sdm"))
        located = self.study.path("moved/S01_run1.sdm")
        # Saving over the MDM itself: its bytes must stay as they were.
        host = run_host_in(self.study.root, "--open", self.mdm, "--open", located, "--yesno", "2")
        cli = run_cli("--locate", located, "--save-mdm", self.mdm, self.mdm)
        self.assertStatus(cli, EXIT_NOT_INSPECTED)
        self.assertEqual(cli.lines(), run_texts(host))  # the run's lines as for a "no"
        missing = f"{self.study.root}/moved/S02_run2.sdm"
        self.assertEqual(cli.error_text(), NOT_FOUND + (
            f"kelvora: the corrected MDM was not saved: 1 of its 4 SDM paths do not open: "
            f"{missing}\n"))
        self.assertEqual(cli.lines()[-1], f"!!!  Failed opening SDM for reading: {missing}")
        self.assertEqual(self.study.read("moved/group.mdm"), self.original)

        # The located file alone in another folder: the first few paths named, then a count.
        lone = self.study.write("lone/S01_run1.sdm", run_sdm())
        cli = run_cli("--json", "--locate", lone, "--save-mdm", self.target,
                      write_study(self.study, clean_runs(subjects=("S01", "S02", "S03")),
                                  folder="three", sdm_folder="D:/lab/old"))
        self.assertStatus(cli, EXIT_NOT_INSPECTED)
        self.assertIn("kelvora: the corrected MDM was not saved: 5 of its 6 SDM paths do not open: "
                      + ", ".join(f"{self.study.root}/lone/{stem}.sdm"
                                  for stem in ("S01_run2", "S02_run1", "S02_run2"))
                      + " and 2 more\n", cli.error_text())
        self.assertFalse(self.study.exists("fixed.mdm"))


class SavesThatMustNotHappen(CliTest):
    """The corrected MDM is never saved where it would destroy an SDM of the study, nor as lines
    that would not read back; a replaced MDM keeps its permission bits, without setuid or setgid
    bits."""

    def repair(self, folder, target):
        mdm = write_study(self.study, clean_runs(), folder=folder, sdm_folder="D:/lab/old")
        located = self.study.path(f"{folder}/S01_run1.sdm")
        return mdm, run_cli("--locate", located, "--save-mdm", target, mdm)

    def test_refused_targets_leave_the_files_as_they_were(self):
        # An SDM of the study once its paths are re-based: the run learns it only from the repair.
        cases = [("moved", "moved/S02_run1.sdm")]
        if not ON_WINDOWS:  # a folder name that holds a quote or a line break
            cases += [('mo"ved', 'mo"ved/group.mdm'), ("mo\nved", "mo\nved/group.mdm")]
        for folder, target in cases:
            target = self.study.path(target)
            mdm, cli = self.repair(folder, target)
            self.assertStatus(cli, EXIT_REPORTED)
            self.assertIn(f"\n!! Cannot Create file: {target}\n", cli.stdout.decode("latin-1"))
            self.assertIn(b'"D:/lab/old/S01_run1.sdm"', self.study.read(f"{folder}/group.mdm"))
            self.assertTrue(self.study.read(f"{folder}/group_log.txt").startswith(
                f"Kelvora>  Start inspecting {mdm}".encode("latin-1")))
        self.assertEqual(self.study.read("moved/S02_run1.sdm"), run_sdm().encode("latin-1"))

    @unittest.skipIf(ON_WINDOWS, "permission bits are POSIX's")
    def test_replaced_mdm_keeps_its_permission_bits(self):
        target = self.study.write("fixed.mdm", "read-only")
        for mode, kept in ((0o440, 0o440), (0o6755, 0o755)):
            os.chmod(target, mode)
            _, cli = self.repair("moved", target)
            self.assertStatus(cli, EXIT_CLEAN)
            self.assertEqual(os.stat(target).st_mode & 0o7777, kept)
        self.assertTrue(self.study.read("fixed.mdm").startswith(b"\r\nFileVersion:"))


if __name__ == "__main__":
    unittest.main()
