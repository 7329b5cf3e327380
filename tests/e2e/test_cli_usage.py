"""kelvora's usage has one source, tools/kelvora_cli/usage.txt: the README's tables, the options
that the command accepts, its --help and its man page all follow it."""

import os
import re
import shutil
import subprocess
import sys
import unittest

from cli_harness import (EXAMPLES, EXIT_CLEAN, EXIT_NOT_INSPECTED, EXIT_USAGE, REPO,
                         CliTest, clean_runs, run_cli, write_study)
from harness import BUILD_DIR, ON_WINDOWS

sys.path.insert(0, os.path.join(REPO, "tools", "kelvora_cli"))
import usage_text  # noqa: E402

USAGE = usage_text.parse(os.path.join(REPO, "tools", "kelvora_cli", "usage.txt"))


class Usage(CliTest):

    def test_the_readme_shows_the_synopsis_and_tables_of_usage_txt(self):
        with open(os.path.join(REPO, "README.md"), encoding="utf-8") as readme:
            text = readme.read()
        for block in usage_text.markdown(USAGE):
            self.assertIn(block, text, "paste the output of usage_text.py --markdown")

    def test_every_documented_option_is_accepted(self):
        for option in USAGE.options:
            with self.subTest(option=option.value):
                cli = run_cli(*option.value.split())
                self.assertStatus(cli, EXIT_USAGE)
                self.assertIn("no MDM_FILE given", cli.error_text())
        cli = run_cli("--help")
        self.assertStatus(cli, EXIT_CLEAN)
        self.assertEqual(cli.stdout.decode("ascii"), usage_text.help_text(USAGE))

    def test_version_is_the_projects(self):
        with open(os.path.join(REPO, "CMakeLists.txt"), encoding="utf-8") as cmake:
            version = re.search(r"project\(Kelvora VERSION (\S+)", cmake.read()).group(1)
        self.assertEqual(run_cli("--version").stdout, f"kelvora {version}\n".encode())

    @unittest.skipIf(ON_WINDOWS or not shutil.which("man"), "the man page is Linux's")
    def test_the_man_page_renders_without_warnings_and_documents_every_option(self):
        page = os.path.join(BUILD_DIR, "tools", "kelvora_cli", "kelvora.1.gz")
        done = subprocess.run(["man", "--warnings", "-l", page], capture_output=True, text=True,
                              env=dict(os.environ, MANWIDTH="80", LC_ALL="C.UTF-8"), check=True)
        self.assertEqual(done.stderr, "")
        for entry in USAGE.options + USAGE.actions + USAGE.statuses:
            self.assertIn(entry.value, done.stdout)
        examples = done.stdout[done.stdout.index("\nEXAMPLES\n"):]
        for line in (line for entry in USAGE.examples for line in entry.lines):
            self.assertIn(line, examples)

    def test_an_sdm_given_for_its_mdm_is_told_and_not_run(self):
        mdm = write_study(self.study, clean_runs())
        sdm = self.study.path("S01_run1.sdm")
        alone = run_cli(sdm)
        self.assertStatus(alone, EXIT_NOT_INSPECTED)
        self.assertEqual((alone.stdout, alone.error_text()),
                         (b"", f"kelvora: {sdm}: this looks like an SDM: give the MDM that lists it\n"))
        self.assertFalse(self.study.exists("S01_run1_log.txt"))
        # Beside a real MDM: that one is still checked, and the status is the worse.
        both = run_cli("--json", sdm, mdm)
        self.assertStatus(both, EXIT_NOT_INSPECTED)
        self.assertEqual([run["end"] for run in both.objects()], ["COMPLETE"])

    def test_a_file_that_is_no_mdm_gets_a_note_and_the_plugins_run(self):
        self.study.write("notes.txt", "S01 S02\n")
        cli = run_cli(self.study.path("notes.txt"))
        self.assertIn("notes.txt: this does not look like an MDM", cli.error_text())
        self.assertIn("!!!  The MDM file lists no studies", cli.lines())

    def test_findings_dir_is_made_when_only_its_last_folder_is_missing(self):
        mdm = write_study(self.study, clean_runs())
        made = run_cli("--findings-dir", self.study.path("checks"), mdm)
        self.assertStatus(made, EXIT_CLEAN)
        self.assertTrue(self.study.exists("checks/group_log.txt"))
        deeper = run_cli("--findings-dir", self.study.path("no/checks"), mdm)
        self.assertStatus(deeper, EXIT_USAGE)
        self.assertIn("no/checks does not exist, nor does the folder that would hold it",
                      deeper.error_text().replace("\\", "/"))
        self.assertFalse(self.study.exists("no"))

    def test_a_located_path_takes_the_separator_of_the_mdms_paths(self):
        # The example MDM was written with '/'; a relative --locate is made full by the system,
        # which on Windows spells it with '\\'. The corrected MDM must not mix the two.
        shutil.copytree(os.path.join(EXAMPLES, "moved"), self.study.path("moved"))
        cli = run_cli("--locate", "moved/sub-01_run-1.sdm", "--save-mdm", "moved/fixed.mdm",
                      "moved/group.mdm", cwd=self.study.root)
        self.assertStatus(cli, EXIT_CLEAN)
        paths = re.findall(r'"([^"]*)"', self.study.read("moved/fixed.mdm").decode("latin-1"))
        self.assertEqual(len(paths), 8)
        for path in paths:
            self.assertFalse("/" in path and "\\" in path, path)


if __name__ == "__main__":
    unittest.main()
