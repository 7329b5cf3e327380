"""The README's shell recipes run as they stand, in a terminal, and never wait at a prompt; and the
findings guide the README points to, doc/findings.md, explains every code the JSON documents.

A recipe is a fenced block whose info string is `sh`, right after a comment that says what it
must give:

    <!-- recipe exit=1 expect="text in its output" env="NAME=value" creates="a/file" -->

Each runs verbatim with bash under a pseudo-terminal (so kelvora would prompt if a recipe let it),
in a fresh folder holding a copy of examples/, with the build's kelvora first on PATH, and must end
within the time limit with that exit status, that text in its output and that file made (not
empty).
"""

import json
import os
import pty
import re
import select
import shlex
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

from cli_harness import EXAMPLES, EXIT_CLEAN, EXIT_USAGE, KELVORA, REPO, run_cli
from harness import ON_WINDOWS

sys.path.insert(0, os.path.join(REPO, "src", "analysis"))
import finding_guide_table  # noqa: E402

TIME_LIMIT = 60  # seconds; the slowest recipe takes about one, so only a wait comes near it

RECIPE = re.compile(r"^<!-- recipe (?P<attributes>[^\n]*) -->\n```sh\n(?P<script>.*?)^```$",
                    re.MULTILINE | re.DOTALL)


def readme_recipes():
    with open(os.path.join(REPO, "README.md"), encoding="utf-8") as readme:
        text = readme.read()
    recipes = []
    for match in RECIPE.finditer(text):
        attributes = dict(word.split("=", 1) for word in shlex.split(match["attributes"]))
        recipes.append((match["script"], attributes))
    return text.count("```sh\n"), recipes


def run_in_terminal(script, folder, env):
    """Runs `script` with bash, its standard streams on a pseudo-terminal; returns (exit status,
    output), or (None, output) when it had not ended within the time limit."""
    primary, secondary = pty.openpty()
    process = subprocess.Popen(["bash", "-c", script], cwd=folder, env=env, stdin=secondary,
                               stdout=secondary, stderr=secondary, start_new_session=True)
    os.close(secondary)
    output = b""
    deadline = time.monotonic() + TIME_LIMIT
    try:
        while time.monotonic() < deadline:
            ready, _, _ = select.select([primary], [], [], deadline - time.monotonic())
            if not ready:
                break
            try:
                chunk = os.read(primary, 65536)
            except OSError:  # every writer has gone: the terminal is closed
                chunk = b""
            if not chunk:
                return process.wait(timeout=TIME_LIMIT), output.decode("latin-1")
            output += chunk
        os.killpg(process.pid, signal.SIGKILL)
        process.wait()
        return None, output.decode("latin-1")
    finally:
        os.close(primary)


@unittest.skipIf(ON_WINDOWS, "the recipes are for a POSIX shell")
class ReadmeRecipes(unittest.TestCase):

    def test_every_recipe_ends_without_a_prompt_as_its_comment_says(self):
        blocks, recipes = readme_recipes()
        self.assertEqual(len(recipes), blocks, "every ```sh block needs its recipe comment")
        self.assertGreaterEqual(len(recipes), 5)
        env = dict(os.environ, PATH=os.path.dirname(KELVORA) + os.pathsep + os.environ["PATH"])
        for script, attributes in recipes:
            with self.subTest(script=script), tempfile.TemporaryDirectory() as folder:
                shutil.copytree(EXAMPLES, os.path.join(folder, "examples"),
                                ignore=shutil.ignore_patterns("*.py"))
                name, _, value = attributes.get("env", "=").partition("=")
                status, output = run_in_terminal(script, folder,
                                                 dict(env, **({name: value} if name else {})))
                self.assertIsNotNone(status, "still running: waiting at a prompt?\n" + output)
                self.assertEqual(status, int(attributes["exit"]), output)
                self.assertIn(attributes.get("expect", ""), output)
                if "creates" in attributes:
                    made = os.path.join(folder, attributes["creates"])
                    self.assertTrue(os.path.isfile(made) and os.path.getsize(made) > 0, output)


def documented_codes():
    """The codes doc/json-output.md's table and the JSON schema's code lists name."""
    with open(os.path.join(REPO, "doc", "json-output.md"), encoding="utf-8") as doc:
        rows = [line for line in doc if line.startswith("| `")]
    codes = {code for row in rows for code in re.findall(r"`([A-Z][A-Z_]+)`", row.split(" | ")[0])}
    with open(os.path.join(REPO, "doc", "kelvora-json.schema.json"), encoding="utf-8") as schema:
        text = schema.read()
    json.loads(text)
    for listed in re.findall(r'"code": \{"enum": \[([^\]]*)\]', text):
        codes.update(json.loads("[" + listed + "]"))
    return codes


class FindingsGuide(unittest.TestCase):

    def test_kelvora_explains_every_documented_code_as_the_guide_says(self):
        with open(os.path.join(REPO, "doc", "findings.md"), encoding="utf-8") as guide:
            entries = {code: text for code, _, text in finding_guide_table.entries(guide.read())}
        codes = documented_codes()
        self.assertGreater(len(codes), 40)
        self.assertEqual(codes, set(entries))
        for code in sorted(codes):
            with self.subTest(code=code):
                cli = run_cli("--explain", code)
                self.assertEqual(cli.returncode, EXIT_CLEAN)
                self.assertEqual(cli.stdout.decode("ascii"), f"{code}\n{entries[code]}\n")

    def test_an_unknown_code_is_a_usage_error_naming_the_nearest(self):
        cli = run_cli("--explain", "ZERO_ACROS_RUNS")
        self.assertEqual(cli.returncode, EXIT_USAGE)
        self.assertEqual(cli.stdout, b"")
        self.assertIn('kelvora: --explain: no finding has the code "ZERO_ACROS_RUNS"; did you mean '
                      'ZERO_ACROSS_RUNS?', cli.error_text())


if __name__ == "__main__":
    unittest.main()
