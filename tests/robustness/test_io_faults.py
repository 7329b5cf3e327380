"""I/O faults through the stand-in host: files that cannot be created and writes that fail after
the file was created. The MDM that was opened must stay byte for byte what it was, nothing half
written may be left behind, and every failure is reported with its line: "!!!  Could not save
findings to: " for the findings file, "!! Cannot Create file: " for the corrected MDM, the run
going on after it.

CI runs as root, and permission bits do not stop root. So the unwritable places are made
otherwise: a folder standing where a file is to be created, a read-only file system, a full file
system (a small tmpfs), and a file-size limit (RLIMIT_FSIZE) that makes a write fail part-way.
The mounts need the right to mount (root, outside a restricted container); without it those
scenarios are skipped and the file-size limit still covers a write failing part-way.

The scenarios of a save into a folder that does not exist, or onto a folder, are in
tests/e2e/test_run_repair.py; these add the faults that strike the MDM being replaced.
"""

import errno
import os
import resource
import shutil
import signal
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))

from harness import ON_WINDOWS, PLUGIN, Transcript, host_command, log, run_host  # noqa: E402
from study_builder import (ASKING, RunTest, cannot_create_line, clean_checks, locate_dialog,  # noqa: E402
                           mdm_text, not_found_box, not_saved_line, read_line, run_events,
                           save_dialog_call, save_question, saved_line, sdm, sdm_failed_line,
                           start_line)

OLD = "D:/lab/old"
EXPECTED = "S01_run1.sdm"


def stems(count):
    return [f"S{s // 2 + 1:02d}_run{s % 2 + 1}" for s in range(count)]


def run_host_limited(file_size_limit, *args):
    """run_host with every file of the host limited to `file_size_limit` bytes: a write past it
    fails (EFBIG) instead of raising SIGXFSZ, which the host ignores."""
    def limit():
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
        resource.setrlimit(resource.RLIMIT_FSIZE, (file_size_limit, file_size_limit))
    command = host_command() + [str(a) for a in args] + [PLUGIN]
    done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          preexec_fn=limit, timeout=120)
    return Transcript(done.stdout, done.returncode, done.stderr)


class MovedStudyIn(RunTest):
    """A moved study (its MDM names D:/lab/old) in the folder `folder` of the scenario, with
    `count` studies of two subjects each; the scenario locates the first SDM, agrees to save and
    chooses the opened MDM itself as the target."""

    def make_study(self, folder, count=3):
        self.folder = folder
        self.stems = stems(count)
        os.makedirs(folder, exist_ok=True)
        for stem in self.stems:
            with open(f"{folder}/{stem}.sdm", "w") as out:
                out.write(sdm())
        self.mdm = f"{folder}/group.mdm"
        with open(self.mdm, "wb") as out:
            out.write(mdm_text([(f"{OLD}/{s}.vtc", f"{OLD}/{s}.sdm") for s in self.stems])
                      .encode("latin-1"))
        with open(self.mdm, "rb") as f:
            self.original = f.read()
        self.findings = f"{folder}/group_log.txt"

    def host_arguments(self):
        return ["--open", self.mdm, "--open", f"{self.folder}/{EXPECTED}", "--yesno", "1",
                "--save", self.mdm]

    def expected_run(self, last_lines):
        """The transcript's run: the repair, the save over the MDM failing, the checks, then
        `last_lines`."""
        subjects = (len(self.stems) + 1) // 2
        return run_events(self.mdm, log(start_line(self.mdm), sdm_failed_line(f"{OLD}/{EXPECTED}"),
                                        ASKING) + [
            not_found_box(),
            locate_dialog(EXPECTED, self.folder, 1, f"{self.folder}/{EXPECTED}"),
            save_question(1), save_dialog_call(self.folder, 1, self.mdm),
            *log(cannot_create_line(self.mdm), read_line(len(self.stems)),
                 *clean_checks(2, subjects), *last_lines)], True)

    def assertMdmKept(self):
        with open(self.mdm, "rb") as f:
            self.assertEqual(f.read(), self.original)

    def assertFolderHolds(self, *names):
        """Nothing else was left in the study's folder: no temporary file beside the MDM."""
        self.assertEqual(sorted(os.listdir(self.folder)),
                         sorted(list(names) + ["group.mdm"] + [f"{s}.sdm" for s in self.stems]))


@unittest.skipIf(ON_WINDOWS, "file-size limits and mounts are Linux's")
class WriteFailingPartWay(MovedStudyIn):

    def test_write_past_the_file_size_limit_keeps_the_mdm_and_reports_it(self):
        # Twenty studies make the MDM larger than the limit; the findings file stays below it.
        self.make_study(self.study.path("moved"), count=20)
        limit = 1024
        self.assertGreater(len(self.original), limit)
        t = run_host_limited(limit, *self.host_arguments())
        self.assertRuns(t, self.expected_run([saved_line(self.findings)]))
        self.assertMdmKept()
        self.assertFolderHolds("group_log.txt")


class Mounted(MovedStudyIn):
    """A study on a tmpfs of its own, mounted for the scenario and unmounted after it."""

    def mount(self, size):
        if ON_WINDOWS:
            self.skipTest("mounts are Linux's")
        if os.geteuid() != 0 or shutil.which("mount") is None:
            self.skipTest("mounting a tmpfs needs root")
        point = self.study.path("mnt")
        os.makedirs(point)
        done = subprocess.run(["mount", "-t", "tmpfs", "-o", f"size={size}", "tmpfs", point],
                              stderr=subprocess.PIPE)
        if done.returncode != 0:
            self.skipTest(f"cannot mount a tmpfs here: {done.stderr.decode().strip()}")
        self.addCleanup(subprocess.run, ["umount", "-l", point])
        return point

    def test_full_file_system_keeps_the_mdm_and_loses_the_findings_visibly(self):
        point = self.mount("64k")
        self.make_study(f"{point}/moved")
        with open(f"{point}/filler", "wb", buffering=0) as filler:  # takes every block left
            try:
                while True:
                    filler.write(b"\0" * 4096)
            except OSError as full:
                self.assertEqual(full.errno, errno.ENOSPC)
        t = run_host(*self.host_arguments())
        self.assertRuns(t, self.expected_run([not_saved_line(self.findings)]))
        self.assertMdmKept()
        self.assertFolderHolds("group_log.txt")

    def test_read_only_file_system_creates_nothing_and_says_so(self):
        point = self.mount("1m")
        self.make_study(f"{point}/moved")
        remount = subprocess.run(["mount", "-o", "remount,ro", point], stderr=subprocess.PIPE)
        self.assertEqual(remount.returncode, 0, remount.stderr)
        t = run_host(*self.host_arguments())
        self.assertRuns(t, self.expected_run([not_saved_line(self.findings)]))
        self.assertMdmKept()
        self.assertFolderHolds()


class FindingsFileThatCannotBeCreated(RunTest):

    def test_folder_where_the_findings_file_belongs(self):
        folder = self.study.path("study")
        os.makedirs(f"{folder}/group_log.txt")
        with open(f"{folder}/S01_run1.sdm", "w") as out:
            out.write(sdm())
        mdm = f"{folder}/group.mdm"
        with open(mdm, "wb") as out:
            out.write(mdm_text([(f"{folder}/S01_run1.vtc", f"{folder}/S01_run1.sdm")])
                      .encode("latin-1"))
        t = run_host("--open", mdm)
        findings = f"{folder}/group_log.txt"
        self.assertRuns(t, run_events(mdm, log(start_line(mdm), read_line(1), *clean_checks(2, 1),
                                               not_saved_line(findings)), True))
        self.assertEqual(os.listdir(findings), [])


if __name__ == "__main__":
    unittest.main()
