"""The README's shell recipes run as they stand, in a terminal, and never wait at a prompt.

A recipe is a fenced block whose info string is `sh`, right after a comment that says what it
must give:

    <!-- recipe exit=1 expect="text in its output" env="NAME=value" creates="a/file" -->

Each runs verbatim with bash under a pseudo-terminal (so kelvora would prompt if a recipe let it),
in a fresh folder holding a copy of examples/, with the build's kelvora first on PATH, and must end
within the time limit with that exit status, that text in its output and that file made (not
empty).
"""

import os
import pty
import re
import select
import shlex
import shutil
import signal
import subprocess
import tempfile
import time
import unittest

from cli_harness import EXAMPLES, KELVORA, REPO
from harness import ON_WINDOWS

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


if __name__ == "__main__":
    unittest.main()
