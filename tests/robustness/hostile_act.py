"""Hostile inputs of the findings guide and of the study-wide notes: an --explain code or a
Python explain() code far longer than any code (compared with none), a study of many SDMs all
missing from one folder (STUDY_MOVED), and one of many runs of two lengths (RUN_LENGTH notes)."""

import os

from hostile_cases import kelvora, python


def long_explain_code(folder):
    code = "ZERO_" * 20_000  # 100,000 bytes: near the most one argument may hold
    return [kelvora("--explain", code, statuses=(64,), expect=b"no finding has the code"),
            python("import kelvora\n"
                   "try:\n    kelvora.explain('HIGH_VIF' * 1_000_000)\n"
                   "except ValueError as error:\n    print(str(error)[:40])\n",
                   expect=b"no finding has the code")]


def mdm_of(folder, sdm_paths):
    lines = [f'"{os.path.splitext(p)[0]}.vtc" "{p}"' for p in sdm_paths]
    text = ("\nFileVersion: 3\nTypeOfFunctionalData: VTC\n\nRFX-GLM: 1\n\n"
            f"NrOfStudies: {len(lines)}\n" + "\n".join(lines) + "\n")
    path = os.path.join(folder, "group.mdm")
    with open(path, "w", newline="\r\n") as f:
        f.write(text)
    return path


def moved_study_of_many_sdms(folder):
    mdm = mdm_of(folder, [f"/gone/study/S{i:05d}_run1.sdm" for i in range(50_000)])
    return [kelvora("--no-prompt", "--no-findings-file", "--quiet", mdm, statuses=(2,),
                    expect=b"the study seems to have moved")]


def runs_of_two_lengths(folder):
    paths = []
    for i in range(600):
        rows = 10 if i % 3 else 11
        name = f"S{i // 2:04d}_run{i % 2 + 1}.sdm"
        values = "\n".join(f"{r % 5} 1" for r in range(rows))
        with open(os.path.join(folder, name), "w") as f:
            f.write(f"FileVersion: 1\nNrOfPredictors: 2\nNrOfDataPoints: {rows}\n"
                    "IncludesConstant: 1\nFirstConfoundPredictor: 2\n\n"
                    f'255 0 0\n0 0 255\n"Faces" "Constant"\n{values}\n')
        paths.append(name)
    return [kelvora("--no-prompt", "--no-findings-file", "--quiet", mdm_of(folder, paths),
                    statuses=(0, 1), expect=b"where most runs of the study have 10")]


CASES = {
    "explain: a code of 100,000 bytes, and of 8 MB in Python": long_explain_code,
    "study moved: 50,000 SDMs missing from one folder": moved_study_of_many_sdms,
    "run length: 600 runs of two lengths, 200 notes": runs_of_two_lengths,
}
