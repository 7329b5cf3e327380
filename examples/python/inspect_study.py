"""Inspects the example study as kelvora does and prints its findings as a table.

Usage: /usr/bin/python3 inspect_study.py [MDM]   (default: ../study/group.mdm; run it on a copy,
as the inspection writes its findings file beside the MDM)."""
import os
import sys

import kelvora

here = os.path.dirname(os.path.abspath(__file__))
mdm = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "study", "group.mdm")
outcome = kelvora.inspect(mdm)
print(outcome.all_findings[["kind", "code", "severity", "file", "text"]].to_string())
print("exit status", outcome.exit_status)
