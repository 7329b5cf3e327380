#!/usr/bin/env python3
"""Generates the example studies under examples/ (reproducibly: fixed seed, no network).

study/  four subjects (sub-01 .. sub-04), two runs each: SDMs with six predictors of interest
        (blocks of six stimulus conditions convolved with a haemodynamic response), six motion
        confounds and a constant, 240 data points. Two real problems for the report to find:
        sub-03 never saw the "Bodies" condition (zero in both runs), and the motion estimate of
        sub-02's second run has a "Rot Z" column that is zero throughout. In sub-04's first run
        "Rot X" moves with "Trans Y": a near-dependency among confounds alone, told as a note.
        contrasts.tsv asks three contrasts; sub-03 cannot estimate the two that weigh "Bodies".
names/  two subjects, two runs each; one run calls its first condition "Face" where every other
        run says "Faces": the name check stops the inspection.
moved/  two subjects, two runs each, listed by an MDM written on another machine (D:/lab/fmri/...):
        the first SDM is not found until --locate says where it is now.

Every MDM lists paths relative to its own folder, so the inspector is run from inside that folder.
Run this script from anywhere; it rewrites the three folders beside it.
"""

import math
import os
import random
import shutil

SEED = 20240517
TR_SECONDS = 2.0
DATA_POINTS = 240
CONDITIONS = ["Faces", "Houses", "Bodies", "Tools", "Scenes", "Words"]
MOTION = ["Trans X", "Trans Y", "Trans Z", "Rot X", "Rot Y", "Rot Z"]
COLOURS = [(255, 60, 60), (60, 160, 255), (60, 200, 90), (240, 180, 40), (170, 90, 220),
           (40, 200, 200)]
BLOCK_SECONDS = 12.0
COUPLED_OWN = 0.02  # the part of its own walk a coupled confound keeps
BLOCKS_PER_CONDITION = 3
HERE = os.path.dirname(os.path.abspath(__file__))


def gamma_pdf(t, shape, scale=1.0):
    if t <= 0:
        return 0.0
    return (t ** (shape - 1) * math.exp(-t / scale)) / (math.gamma(shape) * scale ** shape)


def hrf(dt, length_seconds=30.0):
    """A double-gamma haemodynamic response (peak near 5 s, undershoot near 15 s), peak 1."""
    samples = [gamma_pdf(i * dt, 6.0) - gamma_pdf(i * dt, 16.0) / 6.0
               for i in range(int(length_seconds / dt))]
    peak = max(samples)
    return [s / peak for s in samples]


def block_onsets(rng):
    """Onsets (s) per condition: blocks in random order, each followed by 8-16 s of rest."""
    order = [c for c in range(len(CONDITIONS)) for _ in range(BLOCKS_PER_CONDITION)]
    rng.shuffle(order)
    onsets = {c: [] for c in range(len(CONDITIONS))}
    t = 10.0
    for condition in order:
        onsets[condition].append(t)
        t += BLOCK_SECONDS + rng.choice([8.0, 10.0, 12.0, 14.0, 16.0])
    return onsets


def convolved(onsets, kernel, dt):
    """The boxcar of the blocks at `onsets`, convolved with `kernel`, sampled once per TR."""
    fine = int(DATA_POINTS * TR_SECONDS / dt)
    boxcar = [0.0] * fine
    for onset in onsets:
        for i in range(int(onset / dt), min(fine, int((onset + BLOCK_SECONDS) / dt))):
            boxcar[i] = 1.0
    step = int(round(TR_SECONDS / dt))
    column = []
    for volume in range(DATA_POINTS):
        i = volume * step
        column.append(sum(boxcar[i - k] * kernel[k] for k in range(min(len(kernel), i + 1))) * dt)
    peak = max(column) or 1.0
    return [v / peak for v in column]


def motion(rng, scale):
    """A slow random walk, as a realignment estimates head motion (mm or degrees)."""
    value, column = 0.0, []
    for _ in range(DATA_POINTS):
        value = 0.97 * value + rng.gauss(0.0, scale)
        column.append(value)
    return column


def sdm_text(names, columns, first_confound):
    lines = ["FileVersion: 1", "", f"NrOfPredictors: {len(names)}",
             f"NrOfDataPoints: {len(columns[0])}", "IncludesConstant: 1",
             f"FirstConfoundPredictor: {first_confound}", ""]
    palette = COLOURS + [(128, 128, 128)] * (len(names) - len(COLOURS))
    lines += [f"{r} {g} {b}" for r, g, b in palette]
    lines.append(" ".join(f'"{n}"' for n in names))
    for t in range(len(columns[0])):
        lines.append(" ".join(f"{c[t]:.4f}" for c in columns))
    return "\r\n".join(lines) + "\r\n"


def mdm_text(studies):
    """The MDM as the host writes it: CR LF line ends, labels padded to 22 characters."""
    header = ["", "FileVersion:          3", "TypeOfFunctionalData: VTC", "",
              "RFX-GLM:              1", "", "PSCTransformation:    1", "zTransformation:      0",
              "SeparatePredictors:   0", "", f"NrOfStudies:          {len(studies)}"]
    rows = [f'"{functional}" "{sdm}"' for functional, sdm in studies]
    return "\r\n".join(header + rows) + "\r\n"


def run_sdm(rng, kernel, dt, names=CONDITIONS, absent=(), zero_confounds=(), points=DATA_POINTS,
            coupled=None):
    """One run's SDM; a run cut short (`points` below DATA_POINTS) keeps its first rows, so that
    every other run draws the same random numbers as without it. `coupled` (a confound's index
    and the one it follows) makes the first move with the second, as a rotation and the
    translation it drags along do, keeping a small part of its own walk: the same draws."""
    onsets = block_onsets(rng)
    interest = [[0.0] * DATA_POINTS if c in absent else convolved(onsets[c], kernel, dt)
                for c in range(len(CONDITIONS))]
    confounds = [motion(rng, 0.02 if m < 3 else 0.01) for m in range(len(MOTION))]
    for m in zero_confounds:
        confounds[m] = [0.0] * DATA_POINTS
    if coupled:
        follower, leader = coupled
        confounds[follower] = [0.5 * lead + COUPLED_OWN * own
                               for lead, own in zip(confounds[leader], confounds[follower])]
    columns = [column[:points] for column in interest + confounds + [[1.0] * DATA_POINTS]]
    return sdm_text(list(names) + MOTION + ["Constant"], columns, len(CONDITIONS) + 1)


def write(folder, name, text):
    with open(os.path.join(HERE, folder, name), "w", encoding="latin-1", newline="") as out:
        out.write(text)


def make_study(rng, kernel, dt, folder, subjects, special, prefix=""):
    """Writes one folder: an SDM per run and group.mdm listing them (paths after `prefix`)."""
    shutil.rmtree(os.path.join(HERE, folder), ignore_errors=True)
    os.makedirs(os.path.join(HERE, folder))
    studies = []
    for subject in subjects:
        for run in (1, 2):
            stem = f"{subject}_run-{run}"
            write(folder, stem + ".sdm", run_sdm(rng, kernel, dt, **special.get(stem, {})))
            studies.append((prefix + stem + ".vtc", prefix + stem + ".sdm"))
    write(folder, "group.mdm", mdm_text(studies))


CONTRASTS = [("Faces - Houses", {"Faces": 1, "Houses": -1}),
             ("Bodies - Tools", {"Bodies": 1, "Tools": -1}),
             ("Faces + Houses - 2*Bodies", {"Faces": 1, "Houses": 1, "Bodies": -2})]


def contrasts_text():
    """A contrast table: a header "contrast" and the conditions, one weight per cell, empty = 0."""
    lines = ["\t".join(["contrast"] + CONDITIONS)]
    for name, weights in CONTRASTS:
        lines.append("\t".join([name] + [str(weights.get(c, "")) for c in CONDITIONS]))
    return "\n".join(lines) + "\n"


def main():
    rng = random.Random(SEED)
    dt = 0.1
    kernel = hrf(dt)
    bodies, rot_z = CONDITIONS.index("Bodies"), MOTION.index("Rot Z")
    make_study(rng, kernel, dt, "study", ["sub-01", "sub-02", "sub-03", "sub-04"], {
        "sub-03_run-1": {"absent": [bodies]},
        "sub-03_run-2": {"absent": [bodies]},
        "sub-02_run-2": {"zero_confounds": [rot_z]},
        # "Rot X" follows "Trans Y": a near-dependency among confounds alone, a note.
        "sub-04_run-1": {"coupled": (MOTION.index("Rot X"), MOTION.index("Trans Y"))},
    })
    write("study", "contrasts.tsv", contrasts_text())
    make_study(rng, kernel, dt, "names", ["sub-01", "sub-02"], {
        "sub-02_run-1": {"names": ["Face"] + CONDITIONS[1:]},
        "sub-02_run-2": {"points": 180},  # an aborted scan: RUN_LENGTH
    })
    make_study(rng, kernel, dt, "moved", ["sub-01", "sub-02"], {}, prefix="D:/lab/fmri/moved/")


if __name__ == "__main__":
    main()
