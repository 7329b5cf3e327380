"""Hostile configs for the predictor selectors: a config of 1 MiB whose rules each carry a name
glob of 1 KB and a role, matched against every design finding of the example study (each rule's
glob is made again for every finding it meets)."""

import json
import os
import shutil

from hostile_cases import kelvora, python

EXAMPLES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "examples")
CODES = ["PREDICTOR_CORRELATION", "NEAR_DEPENDENT_DESIGN", "RANK_DEFICIENT_DESIGN", "HIGH_VIF"]


def selectors_on_every_design_finding(folder):
    study = os.path.join(folder, "study")
    shutil.copytree(os.path.join(EXAMPLES, "study"), study)
    mdm = os.path.join(study, "group.mdm")
    # 920 rules; the last ones' glob "*" takes every name, so that matching also runs to its end.
    rules = [{"code": code, "predictor": ("*?" * 512)[:1024], "role": "confound"}
             for code in CODES * 229] + [{"code": code, "predictor": "*" * 1024} for code in CODES]
    config = os.path.join(folder, "selectors.json")
    with open(config, "w") as file:
        json.dump({"warning": rules}, file)
    return [kelvora("--no-prompt", "--no-findings-file", "--all-correlations", "--config", config,
                    mdm, statuses=(1,), expect=b'kelvora: warning: sub-04_run-1.sdm: predictor 8'),
            python("import kelvora\n"
                   f"outcome = kelvora.inspect({mdm!r}, findings_file=False, config={config!r})\n"
                   "print('notes:', (outcome.all_findings.severity == 'note').sum())\n",
                   expect=b"notes: 0")]


CASES = {"config of 920 predictor selectors on every design finding":
         selectors_on_every_design_finding}
