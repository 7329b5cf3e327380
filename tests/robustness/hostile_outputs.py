"""Hostile inputs for the rule that no output replaces an input: MDMs whose functional paths are
many, or name a pipe, checked against every output of the call (kelvora's --save-mdm, --report
and findings file; Python's Mdm.save and Outcome.report), and Python threads inspecting such a
study side by side with relative paths."""

import os

from hostile_cases import kelvora, python

MANY = 10_000


def sdm_text():
    names = " ".join(f'"P{p}"' for p in range(3))
    rows = "\r\n".join("1 0 1" for _ in range(4))
    return (f"FileVersion: 3\r\nNrOfPredictors: 3\r\nNrOfDataPoints: 4\r\nIncludesConstant: 1\r\n"
            f"FirstConfoundPredictor: 3\r\n\r\n" + "255 0 0\r\n" * 3 + names + "\r\n" + rows +
            "\r\n")


def write_mdm(path, studies):
    header = ["", "FileVersion:          3", "TypeOfFunctionalData: VTC", "",
              "RFX-GLM:              0", "", "PSCTransformation:    0", "zTransformation:      1",
              "SeparatePredictors:   0", "", f"NrOfStudies:          {len(studies)}"]
    with open(path, "w", newline="") as file:
        file.write("\r\n".join(header + [f'"{f}" "{s}"' for f, s in studies]) + "\r\n")


def many_functional_paths(folder):
    """One SDM listed MANY times, each with a functional file of its own in a folder that does
    not exist (a full-path look-up each), the last one a file that an output names."""
    study = os.path.join(folder, "study")
    os.mkdir(study)
    with open(os.path.join(study, "run.sdm"), "w", newline="") as file:
        file.write(sdm_text())
    studies = [(f"gone/deeper/sub-{i:06d}_run-1.vtc", "run.sdm") for i in range(MANY - 1)]
    studies.append(("last.vtc", "run.sdm"))
    write_mdm(os.path.join(study, "group.mdm"), studies)
    with open(os.path.join(study, "last.vtc"), "wb") as file:
        file.write(b"functional data")
    mdm = os.path.join(study, "group.mdm")
    last = os.path.join(study, "last.vtc")
    save = ("import kelvora\n"
            f"m = kelvora.read_mdm({mdm!r})\n"
            "try:\n"
            f"    m.save({last!r})\n"
            "except ValueError:\n"
            f"    print('refused', open({last!r}, 'rb').read() == b'functional data')\n")
    return [
        kelvora("--save-mdm", last, mdm, statuses=(64,), expect=b"functional data file"),
        kelvora("--report", os.path.join(study, "report.html"), "--save-mdm",
                os.path.join(study, "copy.mdm"), mdm, statuses=(0, 1)),
        python(save, expect=b"refused True"),
    ]


def functional_path_is_a_pipe(folder):
    """A functional path that names a pipe, and an output that names it too: refused without the
    pipe ever being opened (which would wait for a writer)."""
    study = os.path.join(folder, "study")
    os.mkdir(study)
    with open(os.path.join(study, "run.sdm"), "w", newline="") as file:
        file.write(sdm_text())
    os.mkfifo(os.path.join(study, "pipe.vtc"))
    write_mdm(os.path.join(study, "group.mdm"), [("pipe.vtc", "run.sdm")])
    pipe, mdm = os.path.join(study, "pipe.vtc"), os.path.join(study, "group.mdm")
    report = ("import kelvora\n"
              f"o = kelvora.inspect({mdm!r}, findings_file=False)\n"
              "try:\n"
              f"    o.report({pipe!r})\n"
              "except OSError as error:\n"
              "    print('refused', 'a file of this inspection' in str(error))\n")
    return [
        kelvora("--report", pipe, mdm, statuses=(64,), expect=b"functional data file"),
        kelvora("--save-mdm", pipe, mdm, statuses=(64,), expect=b"functional data file"),
        python(report, expect=b"refused True"),
    ]


def threads_with_relative_paths(folder):
    """Eight threads inspecting two studies by relative paths, each study listing MANY // 10
    runs: every outcome is its own study's, and the process's folder never moves."""
    for name in ("a", "b"):
        os.mkdir(os.path.join(folder, name))
        with open(os.path.join(folder, name, "run.sdm"), "w", newline="") as file:
            file.write(sdm_text())
        write_mdm(os.path.join(folder, name, "group.mdm"),
                  [(f"{name}-{i}_run-1.vtc", "run.sdm") for i in range(MANY // 10)])
    program = (
        "import os, threading, kelvora\n"
        "start, logs = os.getcwd(), []\n"
        "def work(name):\n"
        "    o = kelvora.inspect(f'{name}/group.mdm', findings_file=False)\n"
        "    logs.append((name, o.log[0]))\n"
        "threads = [threading.Thread(target=work, args=('ab'[i % 2],)) for i in range(8)]\n"
        "for t in threads: t.start()\n"
        "moved = False\n"
        "while any(t.is_alive() for t in threads): moved |= os.getcwd() != start\n"
        "for t in threads: t.join()\n"
        "own = all(line.endswith(os.path.join(start, name, 'group.mdm')) for name, line in logs)\n"
        "print('apart', len(logs) == 8 and own and not moved)\n")
    return [python(program, expect=b"apart True")]


CASES = {
    "many functional paths against every output": many_functional_paths,
    "a functional path that is a pipe": functional_path_is_a_pipe,
    "threads inspecting relative paths": threads_with_relative_paths,
}
