"""Every hostile case of hostile_cases.py, made by kelvora and Python from the build tree
(KELVORA_BUILD_DIR): each invocation ends in one of its exit statuses, within the memory bound, and
says what it must say. Linux builds without sanitizers only: the Python package, GNU time, and a
process whose memory is its own."""

import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from bounded_process import MEMORY_BOUND, MIB, run_measured  # noqa: E402
from hostile_cases import all_cases, command_of  # noqa: E402

BUILD = os.environ.get("KELVORA_BUILD_DIR", "")


class HostileInputs(unittest.TestCase):

    def test_every_case_ends_as_expected_within_the_memory_bound(self):
        for label, case in all_cases().items():
            with self.subTest(case=label), tempfile.TemporaryDirectory() as folder:
                for invocation in case(folder):
                    argv, env = command_of(invocation, BUILD)
                    done = run_measured(argv, cwd=invocation.cwd or folder, env=env,
                                        stdin=invocation.stdin)
                    said = done.stderr if invocation.tool == "kelvora" else done.stdout
                    context = f"{argv[-1][:200]!r}: {done.stderr[-2000:]!r}"
                    self.assertIn(done.status, invocation.statuses, context)
                    self.assertLessEqual(done.peak_bytes, MEMORY_BOUND,
                                         f"{done.peak_bytes / MIB:.0f} MiB: {context}")
                    self.assertIn(invocation.expect, said, context)


if __name__ == "__main__":
    unittest.main()
