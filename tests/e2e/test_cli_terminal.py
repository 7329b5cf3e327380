"""kelvora at a terminal (Linux: a pseudo-terminal from the pty module): the repair's questions
asked at a prompt, and the progress of reading a study with many SDMs."""

import json
import os
import select
import subprocess
import sys
import unittest

from cli_harness import (EXIT_NOT_INSPECTED, EXIT_REPORTED, CliTest, clean_runs, kelvora_command,
                         read_bytes, run_cli, run_host_in, run_texts, write_study)
from harness import ON_WINDOWS

PATH_PROMPT = b"path (an empty line cancels): "
YES_NO_PROMPT = b"[y/N] "
NAME_QUESTION = b"take it all the same? [y/N] "
NOT_FOUND = ("The first SDM from the MDM file was not found.\n"
             "If you select it manually the plugin will try to correct the path!\n")
# kelvora's one line for a study whose SDMs are all missing from the folder its MDM names.
MOVED = ('kelvora: note: group.mdm: 4 of 4 SDMs cannot be opened from "D:/lab/old": the study '
         'seems to have moved; kelvora --locate FIRST_SDM --save-mdm NEW.mdm group.mdm '
         '(FIRST_SDM: where "S01_run1.sdm" is now) moves every path with it and saves the '
         'corrected MDM\n')


class TerminalSession:
    """kelvora with standard input and error on a pseudo-terminal, standard output on a pipe."""

    def __init__(self, test, args, cwd):
        import pty  # POSIX only
        self.master, slave = pty.openpty()
        self.process = subprocess.Popen(kelvora_command() + args, stdin=slave, stderr=slave,
                                        stdout=subprocess.PIPE, cwd=cwd, close_fds=True)
        os.close(slave)
        self.screen = b""
        test.addCleanup(self.close)

    def close(self):
        """Ends a session that a failed test left waiting at a prompt."""
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        self.process.stdout.close()
        if self.master is not None:
            os.close(self.master)
            self.master = None

    def read_until(self, text, count=1, timeout=90.0):
        """What the terminal showed once `text` has come `count` times; fails when it does not."""
        while self.screen.count(text) < count:
            ready, _, _ = select.select([self.master], [], [], timeout)
            if not ready:
                raise AssertionError(f"no {text!r} on the terminal: {self.screen!r}")
            self.screen += self._read()
        return self.screen

    def answer(self, line):
        os.write(self.master, line + b"\n")

    def finish(self):
        stdout = self.process.stdout.read()
        self.process.wait(timeout=60)
        while select.select([self.master], [], [], 0.2)[0]:
            chunk = self._read()
            if not chunk:
                break
            self.screen += chunk
        return stdout

    def _read(self):
        try:
            return os.read(self.master, 4096)
        except OSError:  # the other side is closed
            return b""


@unittest.skipIf(ON_WINDOWS or sys.platform == "win32", "pseudo-terminals are a Linux matter here")
class PromptAtTerminal(CliTest):

    def setUp(self):
        super().setUp()
        self.mdm = write_study(self.study, clean_runs(repeating=True), folder="moved",
                               sdm_folder="D:/lab/old")
        self.located = self.study.path("moved/S01_run1.sdm")
        self.target = self.study.path("fixed.mdm")

    def test_path_then_yes_then_file_name_as_the_dialogs_would(self):
        host = run_host_in(self.study.root, "--open", self.mdm, "--open", self.located,
                           "--yesno", "1", "--save", self.target)
        host_saved = read_bytes(self.target)
        os.remove(self.target)

        session = TerminalSession(self, [self.mdm], self.study.root)
        screen = session.read_until(PATH_PROMPT)
        # The run's own dialog texts: the not-found message, the title, the filter and folder.
        self.assertIn(b"If you select it manually the plugin will try to correct the path!", screen)
        self.assertIn(b"SDM not found. Select S01_run1.sdm manually.", screen)
        self.assertIn(f"Single Subject Desgin Matrix (S01_run1.sdm), in {self.study.root}/moved"
                      .encode(), screen)
        session.answer(self.located.encode())
        screen = session.read_until(YES_NO_PROMPT)
        self.assertIn(b"Would you like to Save the MDM file with corrected path information? ",
                      screen)
        session.answer(b"y")
        session.read_until(PATH_PROMPT, count=2)
        self.assertIn(f"Select a filename for saving\r\n  Multi Subject Design Matrix (*.mdm), in "
                      f"{self.study.root}/moved".encode(), session.screen)
        session.answer(self.target.encode())
        stdout = session.finish()

        self.assertEqual(session.process.returncode, EXIT_REPORTED)
        self.assertEqual(stdout.decode("latin-1").split("\n")[:-1], run_texts(host))
        self.assertEqual(read_bytes(self.target), host_saved)

    def test_an_empty_line_cancels_and_no_keeps_the_mdm(self):
        session = TerminalSession(self, [self.mdm], self.study.root)
        session.read_until(PATH_PROMPT)
        session.answer(b"")
        session.finish()
        self.assertEqual(session.process.returncode, EXIT_NOT_INSPECTED)
        self.assertIn(f"kelvora: {self.mdm}: the first SDM was not found; the prompt was "
                      "cancelled: --locate SDM_PATH repairs it\r\n".encode(), session.screen)

        session = TerminalSession(self, ["--json", self.mdm], self.study.root)
        session.read_until(PATH_PROMPT)
        session.answer(self.located.encode())
        session.read_until(YES_NO_PROMPT)
        session.answer(b"n")
        stdout = session.finish()
        self.assertEqual(session.process.returncode, EXIT_REPORTED)
        self.assertIn(b'"end":"COMPLETE","studies":4', stdout)
        self.assertNotIn(b"Select a filename", session.screen)

    def test_a_path_given_at_the_prompt_serves_the_rank_check_too(self):
        session = TerminalSession(self, ["--json", self.mdm], self.study.root)
        session.read_until(PATH_PROMPT)
        session.answer(self.located.encode())
        session.read_until(YES_NO_PROMPT)
        session.answer(b"n")
        [prompted] = [json.loads(line) for line in session.finish().splitlines()]
        [located] = run_cli("--json", "--locate", self.located, self.mdm,
                            cwd=self.study.root).objects()
        self.assertEqual(prompted["designFindings"], located["designFindings"])
        self.assertIn("RANK_DEFICIENT_DESIGN", {f["code"] for f in prompted["designFindings"]})

    def test_prompts_refuse_what_a_dialog_would_and_complete_paths_with_tab(self):
        session = TerminalSession(self, ["--json", self.mdm], self.study.root)
        session.read_until(PATH_PROMPT)
        for refused in (b"no-such.sdm", self.study.root.encode()):
            session.answer(refused)
            session.read_until(PATH_PROMPT, count=2 + (refused != b"no-such.sdm"))
        self.assertIn(f"{self.study.root}/moved/no-such.sdm does not exist".encode(),
                      session.screen)
        self.assertIn(f"{self.study.root} is a folder".encode(), session.screen)
        # Relative to the folder the prompt names; without Tab, S01_run1 would be refused.
        session.answer(b"S01_run1\t")
        session.read_until(YES_NO_PROMPT)
        session.answer(b"y")
        session.read_until(PATH_PROMPT, count=4)
        session.answer(b"group.mdm")
        session.read_until(b"moved/group.mdm exists: overwrite? [y/N] ")
        session.answer(b"n")
        session.read_until(PATH_PROMPT, count=5)
        session.answer(b"fixed.mdm")
        [run] = [json.loads(line) for line in session.finish().splitlines()]
        self.assertEqual((run["end"], run["savedMdm"]),
                         ("COMPLETE", f"{self.study.root}/moved/fixed.mdm"))
        self.assertIn(f"MDM was saved to {self.study.root}/moved/fixed.mdm".encode(),
                      session.screen)
        self.assertIn(f'"{self.study.root}/moved/S02_run2.sdm"'.encode(),
                      self.study.read("moved/fixed.mdm"))
        self.assertNotIn(f"{self.study.root}/moved".encode(), self.study.read("moved/group.mdm"))

    def test_no_prompt_asks_nobody_and_says_so(self):
        session = TerminalSession(self, ["--no-prompt", "--quiet", self.mdm], self.study.root)
        stdout = session.finish()
        self.assertEqual(session.process.returncode, EXIT_NOT_INSPECTED)
        self.assertEqual(stdout, b"")
        self.assertEqual(session.screen.decode("latin-1").replace("\r\n", "\n"), NOT_FOUND + (
            f"kelvora: {self.mdm}: the first SDM was not found; not asked (--no-prompt): "
            "--locate SDM_PATH repairs it\n") + "".join(
            f'kelvora: error (after the log stopped): the SDM "D:/lab/old/{stem}.sdm" cannot be '
            'opened\n'
            for stem in ("S01_run2", "S02_run1", "S02_run2")) + MOVED)

    def test_a_file_of_another_name_is_taken_only_when_confirmed(self):
        session = TerminalSession(self, [self.mdm], self.study.root)
        session.read_until(PATH_PROMPT)
        session.answer(b"S02_run1.sdm")
        session.read_until(NAME_QUESTION)
        self.assertIn(b"\r\n  S02_run1.sdm is not S01_run1.sdm, the SDM the MDM names: every path "
                      b"of the MDM would be re-based on it\r\n  " + NAME_QUESTION, session.screen)
        session.answer(b"n")  # asked for the path again
        session.read_until(PATH_PROMPT, count=2)
        session.answer(b"S02_run1.sdm")
        session.read_until(NAME_QUESTION, count=2)
        session.answer(b"y")
        stdout = session.finish()
        # Taken: S01's runs became S02's, and S02's stayed at the old place, so saving is not even
        # asked.
        self.assertEqual(session.process.returncode, EXIT_NOT_INSPECTED)
        self.assertNotIn(b"Would you like to Save", session.screen)
        self.assertIn(b"kelvora: the corrected MDM was not saved: 2 of its 4 SDM paths do not "
                      b"open: D:/lab/old/S02_run1.sdm, D:/lab/old/S02_run2.sdm\r\n", session.screen)
        self.assertEqual(stdout.decode("latin-1").split("\n")[-2],
                         "!!!  Failed opening SDM for reading: D:/lab/old/S02_run1.sdm")

    def test_options_answer_without_a_prompt(self):
        session = TerminalSession(self, ["--locate", self.located, self.mdm], self.study.root)
        session.finish()
        self.assertEqual(session.process.returncode, EXIT_REPORTED)
        self.assertNotIn(PATH_PROMPT, session.screen)
        self.assertNotIn(YES_NO_PROMPT, session.screen)


@unittest.skipIf(ON_WINDOWS or sys.platform == "win32", "pseudo-terminals are a Linux matter here")
class ProgressAtTerminal(CliTest):

    def test_reading_many_sdms_shows_progress_on_the_terminal_only(self):
        subjects = [f"S{n:02}" for n in range(30)]  # 60 SDMs
        mdm = write_study(self.study, clean_runs(subjects=subjects))
        session = TerminalSession(self, [mdm], self.study.root)
        stdout = session.finish()
        self.assertEqual(session.process.returncode, 0)
        self.assertEqual(stdout, run_cli(mdm).stdout)
        self.assertNotIn(b"Reading", stdout)
        screen = session.screen
        self.assertIn(b"\rReading SDM 1/60", screen)
        # Erased when done: the last thing on the terminal is the line wiped with blanks.
        self.assertRegex(screen, rb"Reading SDM \d+/60\r +\r$")


@unittest.skipIf(ON_WINDOWS or sys.platform == "win32", "such file names are a Linux matter here")
class ControlBytesOfFileNames(CliTest):

    def test_names_that_would_drive_a_terminal_are_shown_escaped_on_standard_error(self):
        title = "S01\x1b]0;owned\x07"
        runs = clean_runs(interest=("Faces", "Hou\x1b[2Jses"))
        runs[0] = (title + "_run1", runs[0][1].replace("0.5 ", "0,5 ", 1))
        runs[1] = (title + "_run2", None)
        done = run_cli(write_study(self.study, runs))
        error = done.stderr.decode("latin-1")
        self.assertNotRegex(error, "[\x00-\x08\x0b-\x1f\x7f]")
        self.assertIn("S01\\x1b]0;owned\\x07_run1.sdm", error)
        # Standard output is the log, byte for byte: the name as the MDM lists it.
        self.assertIn(title.encode("latin-1") + b"_run2.sdm", done.stdout)


if __name__ == "__main__":
    unittest.main()
