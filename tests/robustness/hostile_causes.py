"""Hostile causes: one subject of 200 runs in which 40 predictors of interest are zero throughout,
and 100 contrasts each weighing one of them, so that 40 zero-across-runs findings explain 20,000
contrast findings and every run's rank findings (about 0.7 s, 60 MB with --json and --report). Each follower's cause is looked up by
column or by name, so the record costs no more than its findings; standard error gets one line
per cause, the JSON and the report keep every follower."""

import os

from hostile_cases import kelvora, python

RUNS = 200
ZEROS = 40  # predictors of interest zero in every run: Z0 ...
LIVE = 32    # predictors of interest that vary: A0 ...
POINTS = 80
CONTRASTS = 100


def _sdm(path):
    names = [f"Z{z}" for z in range(ZEROS)] + [f"A{a}" for a in range(LIVE)] + ["Constant"]
    rows = [" ".join(["0"] * ZEROS + [f"{((t * (a + 7) + a * a) % 13) / 4 + 0.5:g}"
                                      for a in range(LIVE)] + ["1"]) for t in range(POINTS)]
    lines = ["FileVersion: 1", "", f"NrOfPredictors: {len(names)}", f"NrOfDataPoints: {POINTS}",
             "IncludesConstant: 1", f"FirstConfoundPredictor: {ZEROS + LIVE + 1}", ""]
    lines += ["128 128 128"] * len(names)
    lines += ["", " ".join(f'"{name}"' for name in names)] + rows
    with open(path, "w", newline="") as file:
        file.write("\r\n".join(lines) + "\r\n")


def _study(folder):
    """The MDM and a contrast table; contrast c weighs Z(c mod 32) against A(c mod 32), so that
    the 100 contrasts weigh 64 names together, as many as one call takes."""
    for r in range(RUNS):
        _sdm(os.path.join(folder, f"sub-01_run-{r}.sdm"))
    with open(os.path.join(folder, "group.mdm"), "w", newline="") as file:
        file.write("\r\n".join([
            "FileVersion:          3", "TypeOfFunctionalData: VTC", "", "RFX-GLM:              1",
            "", "PSCTransformation:    1", "zTransformation:      0",
            "SeparatePredictors:   0", "", f"NrOfStudies:          {RUNS}"] +
            [f'"sub-01_run-{r}.vtc" "sub-01_run-{r}.sdm"' for r in range(RUNS)]) + "\r\n")
    weighed = [f"Z{n}" for n in range(LIVE)] + [f"A{n}" for n in range(LIVE)]
    with open(os.path.join(folder, "contrasts.tsv"), "w") as table:
        table.write("contrast\t" + "\t".join(weighed) + "\n")
        for c in range(CONTRASTS):
            cells = ["1" if n == c % LIVE else "-1" if n == LIVE + c % LIVE else ""
                     for n in range(2 * LIVE)]
            table.write(f"c{c}\t" + "\t".join(cells) + "\n")
    return os.path.join(folder, "group.mdm"), os.path.join(folder, "contrasts.tsv")


def many_followers(folder):
    mdm, table = _study(folder)
    program = (
        "import kelvora, pathlib\n"
        f"outcome = kelvora.inspect({mdm!r}, findings_file=False,"
        f" contrasts=pathlib.Path({table!r}))\n"
        "found = outcome.all_findings\n"
        "followers = found['causedBy'].notna().sum()\n"
        "assert followers > 20_000, followers\n"
        "print('followers', followers)\n")
    return [
        kelvora("--no-prompt", "--no-findings-file", "--contrasts", table, mdm, statuses=(1,),
                expect=b"findings that follow from it"),
        kelvora("--no-prompt", "--no-findings-file", "--json", "--report",
                os.path.join(folder, "r.html"), "--contrasts", table, mdm, statuses=(1,)),
        python(program, expect=b"followers"),
    ]


CASES = {
    "40 zero conditions explaining 20,000 contrast findings": many_followers,
}
