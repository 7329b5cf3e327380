"""Inputs that announce, name or hold far more than a study should, for the resource-bound scenarios
(test_resource_bounds.py checks what the plug-in says about each; measure_resource_bounds.py
measures the time and peak memory each costs the host's process).

Each case writes its files into a folder and returns the MDM's path, the run's expected lines up
to the line saying where its findings were saved, and how the run ends: COMPLETE (that line
follows), ENDED (nothing follows), or REPAIR (the first SDM could not be opened: the host is asked
to locate the file named `expected`, and cancels).
"""

import os

from study_builder import (ASKING, clean_checks, mdm_text, read_line, sdm, sdm_failed_line,
                           start_line, too_large_line)

COMPLETE, ENDED, REPAIR = "complete", "ended", "repair"
NAMES_LINE_BYTES = 48 * 1024 * 1024
MANY_STUDIES = 10000


def _write(path, content):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as out:
        out.write(content if isinstance(content, bytes) else content.encode("latin-1"))
    return path


def _mdm(folder, sdm_paths, **settings):
    studies = [(f"{folder}/S{i // 2 + 1:05d}_run{i % 2 + 1}.vtc", path)
               for i, path in enumerate(sdm_paths)]
    return _write(f"{folder}/group.mdm", mdm_text(studies, **settings))


def huge_sdm_header(folder):
    """An SDM of about 200 bytes announcing 2147483647 predictors and data points."""
    path = _write(f"{folder}/huge.sdm",
                  "FileVersion: 1\n\nNrOfPredictors: 2147483647\nNrOfDataPoints: 2147483647\n"
                  "IncludesConstant: 1\nFirstConfoundPredictor: 2\n\n255 0 0\n\"Faces\"\n1.0\n")
    mdm = _mdm(folder, [path])
    return mdm, [start_line(mdm), too_large_line(path)], ENDED


def huge_study_count(folder):
    """An MDM announcing 2147483647 studies that lists two."""
    paths = [_write(f"{folder}/S{i}.sdm", sdm()) for i in (1, 2)]
    mdm = _mdm(folder, paths, nr_of_studies=2147483647)
    return mdm, [start_line(mdm), read_line(2), *clean_checks(2, 1)], COMPLETE


def _second_sdm_is(folder, path):
    first = _write(f"{folder}/S1.sdm", sdm())
    mdm = _mdm(folder, [first, path])
    return mdm, [start_line(mdm), sdm_failed_line(path)], ENDED


def sdm_is_a_folder(folder):
    os.makedirs(f"{folder}/folder.sdm")
    return _second_sdm_is(folder, f"{folder}/folder.sdm")


def sdm_is_a_device(folder):
    return _second_sdm_is(folder, "/dev/zero")


def sdm_is_a_pipe(folder):
    os.makedirs(folder, exist_ok=True)
    os.mkfifo(f"{folder}/pipe.sdm")  # nobody ever writes to it
    return _second_sdm_is(folder, f"{folder}/pipe.sdm")


def first_sdm_is_a_pipe(folder):
    """The first study: the repair is offered (and cancelled) instead of blocking on the pipe."""
    os.makedirs(folder, exist_ok=True)
    os.mkfifo(f"{folder}/pipe.sdm")
    mdm = _mdm(folder, [f"{folder}/pipe.sdm"])
    return mdm, [start_line(mdm), sdm_failed_line(f"{folder}/pipe.sdm"), ASKING], REPAIR


def long_names_line(folder):
    """An SDM whose names line is tens of megabytes: its three names, then quoted texts that no
    predictor takes."""
    head = ("FileVersion: 1\n\nNrOfPredictors: 3\nNrOfDataPoints: 2\nIncludesConstant: 1\n"
            "FirstConfoundPredictor: 3\n\n255 0 0\n0 255 0\n0 0 255\n"
            "\"Faces\" \"Houses\" \"Constant\"").encode("latin-1")
    filler = b' "unused"' * (NAMES_LINE_BYTES // 9)
    path = _write(f"{folder}/long.sdm", head + filler + b"\n1 2 1\n2 1 1\n")
    mdm = _mdm(folder, [path])
    return mdm, [start_line(mdm), read_line(1), *clean_checks(2, 1)], COMPLETE


def many_studies(folder):
    """Ten thousand studies of five thousand subjects, all naming one SDM."""
    path = _write(f"{folder}/S.sdm", sdm())
    mdm = _mdm(folder, [path] * MANY_STUDIES)
    return (mdm, [start_line(mdm), read_line(MANY_STUDIES), *clean_checks(2, MANY_STUDIES // 2)],
            COMPLETE)


CASES = {
    "SDM header announcing 2147483647 x 2147483647 (200 bytes)": huge_sdm_header,
    "MDM announcing 2147483647 studies, listing 2": huge_study_count,
    "SDM path is a folder": sdm_is_a_folder,
    "SDM path is a device (/dev/zero)": sdm_is_a_device,
    "SDM path is a pipe without writer": sdm_is_a_pipe,
    "first SDM path is a pipe without writer": first_sdm_is_a_pipe,
    f"names line of {NAMES_LINE_BYTES // 2**20} MiB": long_names_line,
    f"{MANY_STUDIES} studies in one MDM": many_studies,
}
