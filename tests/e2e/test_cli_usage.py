"""kelvora's usage has one source, tools/kelvora_cli/usage.txt: the README's tables, the options
that the command accepts, its --help and its man page all follow it."""

import os
import re
import shutil
import subprocess
import sys
import unittest

from cli_harness import EXIT_CLEAN, EXIT_USAGE, REPO, CliTest, run_cli
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


if __name__ == "__main__":
    unittest.main()
