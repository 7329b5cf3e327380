"""Inspects the example study as kelvora does and prints its findings as a table, then which
subject can estimate each contrast of the study's contrasts.tsv.

Usage: /usr/bin/python3 inspect_study.py [MDM]   (default: ../study/group.mdm; run it on a copy,
as the inspection writes its findings file beside the MDM)."""
import os
import pathlib
import sys

import kelvora

here = os.path.dirname(os.path.abspath(__file__))
mdm = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "study", "group.mdm")
contrasts = pathlib.Path(mdm).parent / "contrasts.tsv"  # a Path: a table file; a str: an expression
outcome = kelvora.inspect(mdm, contrasts=contrasts)
print(outcome.all_findings[["kind", "code", "severity", "file", "text"]].to_string())
print("exit status", outcome.exit_status)
subjects = outcome.contrasts.dropna(subset=["subject"])
print(subjects.pivot(index="subject", columns="contrast", values="estimable").to_string())
