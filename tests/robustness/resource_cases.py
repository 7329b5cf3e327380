"""Inputs that announce, name or hold far more than a study should, for the resource-bound scenarios
(test_resource_bounds.py checks what the plug-in says about each; measure_resource_bounds.py
measures the time and peak memory each costs the host's process).

Each case writes its files into a folder and returns the MDM's path, the run's expected lines up
to the line saying where its findings were saved, and how the run ends: COMPLETE (that line
follows), ENDED (nothing follows), or REPAIR (the first SDM could not be opened: the host is asked
to locate the file named `expected`, and cancels).
"""

import os
import random

from study_builder import (ASKING, COUNTS_DIFFER, NAMES_DIFFER, clean_checks, count_line, mdm_text,
                           most_count_line, most_named_line, read_line, sdm, sdm_failed_line,
                           sdm_text, start_line, too_large_line)

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


def predictors_announced_in_102_bytes(folder):
    """An SDM of about 100 bytes announcing 932,067 predictors of one data point each."""
    path = _write(f"{folder}/wide.sdm", "FileVersion: 1\nNrOfPredictors: 932067\nNrOfDataPoints: 1\n"
                  "IncludesConstant: 1\nFirstConfoundPredictor: 2\n\n\"A\"\n1\n")
    mdm = _mdm(folder, [path])
    return mdm, [start_line(mdm), too_large_line(path)], ENDED


def sparse_file_with_a_huge_header(folder):
    """A sparse file of 2 GiB whose header announces 32768 x 32768 values: large enough to hold
    them, beyond the fixed cap all the same."""
    path = _write(f"{folder}/sparse.sdm", "FileVersion: 1\nNrOfPredictors: 32768\n"
                  "NrOfDataPoints: 32768\nIncludesConstant: 1\nFirstConfoundPredictor: 2\n")
    os.truncate(path, 2 << 30)
    mdm = _mdm(folder, [path])
    return mdm, [start_line(mdm), too_large_line(path)], ENDED


def zero_filled_sdm(folder):
    """2 GiB of NUL bytes as an SDM: its first word is longer than any the format holds, which
    ends the file; it reads as an SDM without predictors."""
    os.makedirs(folder, exist_ok=True)
    path = f"{folder}/zeros.sdm"
    with open(path, "wb") as out:
        out.truncate(2 << 30)
    mdm = _mdm(folder, [path])
    return mdm, [start_line(mdm), read_line(1), *clean_checks(-1, 1)], COMPLETE


def sdms_announcing_more_than_they_hold(folder):
    """Twenty SDMs of 63 KB, each announcing 4000 x 4000 values: the first ends the run."""
    text = ("FileVersion: 1\nNrOfPredictors: 4000\nNrOfDataPoints: 4000\nIncludesConstant: 1\n"
            "FirstConfoundPredictor: 2\n\n")
    paths = [_write(f"{folder}/S{i:02d}.sdm", text + "1 " * 31500) for i in range(20)]
    mdm = _mdm(folder, paths)
    return mdm, [start_line(mdm), too_large_line(paths[0])], ENDED


def dense_wide_sdm(folder):
    """A dense SDM of 4.5 MB: 1500 predictors of interest x 1500 data points of one digit each,
    the work of the rank check (--json, --report)."""
    digits = random.Random(1500)
    rows = "".join(" ".join(digits.choice("0123456789") for _ in range(1500)) + "\n"
                   for _ in range(1500))
    names = " ".join(f'"P{p}"' for p in range(1, 1501))
    path = _write(f"{folder}/dense.sdm", "FileVersion: 1\nNrOfPredictors: 1500\n"
                  "NrOfDataPoints: 1500\nIncludesConstant: 0\nFirstConfoundPredictor: 1501\n\n"
                  + names + "\n" + rows)
    mdm = _mdm(folder, [path])
    return mdm, [start_line(mdm), read_line(1), *clean_checks(1500, 1)], COMPLETE


def many_findings(folder):
    """200 studies of one SDM with 999 all-zero confounds: 199,800 findings, for the memory of
    --json."""
    names = " ".join(f'"C{p}"' for p in range(1000))
    path = _write(f"{folder}/S.sdm", "FileVersion: 1\nNrOfPredictors: 1000\nNrOfDataPoints: 1\n"
                  "IncludesConstant: 0\nFirstConfoundPredictor: 2\n\n" + names + "\n1" + " 0" * 999 + "\n")
    mdm = _mdm(folder, [path] * 200)
    zero = [f'!!!  S.sdm predictor number {p} named "C{p - 1}" contains only zeros'
            for p in range(2, 1001)]
    return (mdm, [start_line(mdm), read_line(200), *clean_checks(1, 100)[:4], *zero * 200],
            COMPLETE)


MOST_FINDINGS = 250000  # what a run reports before it ends with RUN_TOO_LARGE
ZERO_CONFOUNDS = 26000
ZERO_CONFOUND_LISTINGS = 80


def announced_zero_confounds_listed_many_times(folder):
    """A 101-byte SDM announcing 26,000 confounds and holding no value, so that each reads as
    all-zero, listed 80 times: 2,080,000 findings (the run kept each twice: 5.8 s and 1.5 GB). The
    run reports the first 250,000 and ends."""
    path = _write(f"{folder}/z.sdm", f"FileVersion: 1\nNrOfPredictors: {ZERO_CONFOUNDS}\n"
                  "NrOfDataPoints: 1\nIncludesConstant: 0\nFirstConfoundPredictor: 1\n")
    mdm = _mdm(folder, [path] * ZERO_CONFOUND_LISTINGS)
    zero = [f'!!!  z.sdm predictor number {p} named "NoName" contains only zeros'
            for p in range(1, ZERO_CONFOUNDS + 1)]
    reported = (zero * (MOST_FINDINGS // ZERO_CONFOUNDS + 1))[:MOST_FINDINGS]
    return (mdm, [start_line(mdm), read_line(ZERO_CONFOUND_LISTINGS),
                  *clean_checks(0, ZERO_CONFOUND_LISTINGS // 2)[:4], *reported,
                  f"!!!  Too many findings to report (more than {MOST_FINDINGS}), stopped at: "
                  f"{path}"], ENDED)


def zero_run_beside_a_filled_one(folder):
    """Two SDMs of 65,536 predictors of interest, one holding no value (so every predictor reads
    as zero), the other filled, as the two runs of each of 20 subjects: kelvora's checks beyond
    the log found 1.3 million notes (4.7 s, 480 MB), and list 250,000."""
    names = " ".join(f'"P{p}"' for p in range(1, WIDE_SDM_PREDICTORS + 1))
    header = (f"FileVersion: 1\nNrOfPredictors: {WIDE_SDM_PREDICTORS}\nNrOfDataPoints: 1\n"
              f"IncludesConstant: 0\nFirstConfoundPredictor: {WIDE_SDM_PREDICTORS + 1}\n\n{names}\n")
    runs = [_write(f"{folder}/zero.sdm", header),
            _write(f"{folder}/filled.sdm", header + "1 " * WIDE_SDM_PREDICTORS + "\n")]
    mdm = _mdm(folder, runs * 20)
    return (mdm, [start_line(mdm), read_line(40), *clean_checks(WIDE_SDM_PREDICTORS, 20)], COMPLETE)


def many_studies(folder):
    """Ten thousand studies of five thousand subjects, all naming one SDM."""
    path = _write(f"{folder}/S.sdm", sdm())
    mdm = _mdm(folder, [path] * MANY_STUDIES)
    return (mdm, [start_line(mdm), read_line(MANY_STUDIES), *clean_checks(2, MANY_STUDIES // 2)],
            COMPLETE)


def _dense_sdm(path, predictors, points, seed, digits="0123456789"):
    """An SDM of `predictors` of interest x `points` random one-digit values, named P1, P2, ..."""
    draw = random.Random(seed)
    rows = "".join(" ".join(draw.choice(digits) for _ in range(predictors)) + "\n"
                   for _ in range(points))
    names = " ".join(f'"P{p}"' for p in range(1, predictors + 1))
    return _write(path, f"FileVersion: 1\nNrOfPredictors: {predictors}\n"
                  f"NrOfDataPoints: {points}\nIncludesConstant: 0\n"
                  f"FirstConfoundPredictor: {predictors + 1}\n\n{names}\n{rows}")


def dense_800_predictors(folder):
    """A dense SDM of 1.3 MB: 800 predictors of interest x 800 data points, the VIF and
    correlations of a report."""
    mdm = _mdm(folder, [_dense_sdm(f"{folder}/dense.sdm", 800, 800, 800)])
    return mdm, [start_line(mdm), read_line(1), *clean_checks(800, 1)], COMPLETE


def three_sdms_of_16384_predictors(folder):
    """Three SDMs of about 200 KB, each 16384 predictors of interest x 2 data points (none zero):
    a report's pictures, heatmaps and grid as wide as a design can be."""
    paths = [_dense_sdm(f"{folder}/S{i}.sdm", 16384, 2, i, "123456789") for i in range(3)]
    mdm = _mdm(folder, paths)
    return mdm, [start_line(mdm), read_line(3), *clean_checks(16384, 2)], COMPLETE


def one_sdm_listed_200_times(folder):
    """One SDM of 4 KB (150 predictors of interest x 10 data points, none zero) listed 200 times:
    one design, checked and drawn once."""
    path = _dense_sdm(f"{folder}/S.sdm", 150, 10, 200, "123456789")
    mdm = _mdm(folder, [path] * 200)
    return mdm, [start_line(mdm), read_line(200), *clean_checks(150, 100)], COMPLETE


WIDE_SDM_PREDICTORS = 65536
WIDE_SDM_LISTINGS = 250
LARGE_SDM_LISTINGS = 16


def wide_sdm_listed_many_times(folder):
    """A 131 KB SDM of 65,536 predictors (one named, the others "NoName") of one data point,
    listed 250 times: the run keeps one list of its names for all listings (a copy per listing
    took 2 MiB each)."""
    predictors = WIDE_SDM_PREDICTORS
    path = _write(f"{folder}/wide.sdm", f"FileVersion: 1\nNrOfPredictors: {predictors}\n"
                  "NrOfDataPoints: 1\nIncludesConstant: 1\nFirstConfoundPredictor: 2\n\n"
                  "\"Constant\"\n" + "1 " * predictors + "\n")
    mdm = _mdm(folder, [path] * WIDE_SDM_LISTINGS)
    return (mdm, [start_line(mdm), read_line(WIDE_SDM_LISTINGS),
                  *clean_checks(1, WIDE_SDM_LISTINGS // 2)], COMPLETE)


def large_sdm_listed_many_times(folder):
    """A 4 MB SDM of 20 predictors x 100,000 data points (8 MB of values) listed 16 times: on 16
    threads the SDMs whose values are at hand stay within the run's budget, two at a time."""
    digits = random.Random(20)
    rows = [" ".join(digits.choice("123456789") for _ in range(20)) + "\n" for _ in range(97)]
    names = " ".join(f'"P{p}"' for p in range(1, 21))
    path = _write(f"{folder}/large.sdm", "FileVersion: 1\nNrOfPredictors: 20\n"
                  "NrOfDataPoints: 100000\nIncludesConstant: 0\nFirstConfoundPredictor: 21\n\n"
                  + names + "\n" + "".join(rows[t % 97] for t in range(100000)))
    mdm = _mdm(folder, [path] * LARGE_SDM_LISTINGS)
    return (mdm, [start_line(mdm), read_line(LARGE_SDM_LISTINGS),
                  *clean_checks(20, LARGE_SDM_LISTINGS // 2)], COMPLETE)


DENSE_SDM_LISTINGS = 10000


def dense_sdm_listed_many_times(folder):
    """A 177 KB SDM of 200 predictors x 220 data points (about 200 findings of its own) listed
    10,000 times in a 400 KB MDM, kelvora asked 32 contrasts of 64 names: its analysis is held and
    its findings told once, and each information matrix factored once (each listing took 32 KB and
    200 lines, and every contrast of every run and subject a factorisation: 25 s, 1.4 GB of JSON)."""
    draw = random.Random(7)
    rows = "".join(" ".join(f"{draw.randint(1, 9)}.{draw.randint(0, 9)}" for _ in range(200)) + "\n"
                   for _ in range(220))
    names = " ".join(f'"P{p}"' for p in range(1, 201))
    path = _write(f"{folder}/S.sdm", "FileVersion: 1\nNrOfPredictors: 200\nNrOfDataPoints: 220\n"
                  f"IncludesConstant: 0\nFirstConfoundPredictor: 201\n\n{names}\n{rows}")
    mdm = _mdm(folder, [path] * DENSE_SDM_LISTINGS)
    return (mdm, [start_line(mdm), read_line(DENSE_SDM_LISTINGS),
                  *clean_checks(200, DENSE_SDM_LISTINGS // 2)], COMPLETE)


# kelvora's options beyond the mode, for the cases that need them.
CLI_OPTIONS = {
    f"177 KB SDM listed {DENSE_SDM_LISTINGS} times, 32 contrasts":
        [arg for p in range(1, 64, 2) for arg in ("--contrast", f"P{p} - P{p + 1}")],
}

CASES = {
    "SDM header announcing 2147483647 x 2147483647 (200 bytes)": huge_sdm_header,
    "MDM announcing 2147483647 studies, listing 2": huge_study_count,
    "SDM path is a folder": sdm_is_a_folder,
    "SDM path is a device (/dev/zero)": sdm_is_a_device,
    "SDM path is a pipe without writer": sdm_is_a_pipe,
    "first SDM path is a pipe without writer": first_sdm_is_a_pipe,
    f"names line of {NAMES_LINE_BYTES // 2**20} MiB": long_names_line,
    f"{MANY_STUDIES} studies in one MDM": many_studies,
    "SDM of about 100 bytes announcing 932067 predictors": predictors_announced_in_102_bytes,
    "sparse 2 GiB SDM announcing 32768 x 32768": sparse_file_with_a_huge_header,
    "2 GiB of NUL bytes as an SDM": zero_filled_sdm,
    "20 SDMs of 63 KB announcing 4000 x 4000": sdms_announcing_more_than_they_hold,
    "dense SDM of 4.5 MB with 1500 predictors": dense_wide_sdm,
    "199,800 findings in one run": many_findings,
    f"101-byte SDM of {ZERO_CONFOUNDS} zero confounds listed {ZERO_CONFOUND_LISTINGS} times: "
    f"{MOST_FINDINGS} findings in one run":
        announced_zero_confounds_listed_many_times,
    f"2 SDMs of {WIDE_SDM_PREDICTORS} predictors, one all zero, the runs of 20 subjects: 250,000 "
    "findings beyond the log":
        zero_run_beside_a_filled_one,
    "dense SDM of 1.3 MB with 800 predictors": dense_800_predictors,
    "three SDMs of 200 KB with 16384 predictors": three_sdms_of_16384_predictors,
    "one SDM of 4 KB listed 200 times": one_sdm_listed_200_times,
    f"131 KB SDM of {WIDE_SDM_PREDICTORS} predictors listed {WIDE_SDM_LISTINGS} times":
        wide_sdm_listed_many_times,
    f"4 MB SDM listed {LARGE_SDM_LISTINGS} times": large_sdm_listed_many_times,
    f"177 KB SDM listed {DENSE_SDM_LISTINGS} times, 32 contrasts": dense_sdm_listed_many_times,
}


# The analysis after the run: bounded by the columns and names the files hold, whatever the header
# says (the cases above bound the run itself).

FAR_CONFOUND = 2147483647
MOST_PREDICTORS = 65536
LONG_NAME_BYTES = 100000


def _far_confound_sdm(folder, stem, names=("Faces", "Houses"), first_confound=FAR_CONFOUND):
    return _write(f"{folder}/{stem}.sdm", sdm_text(list(names), first_confound, [[1, 2], [2, 1]]))


def _far_confound_study(folder, odd_names=("Faces", "Houses"), odd_first_confound=FAR_CONFOUND):
    paths = [_far_confound_sdm(folder, "S1"), _far_confound_sdm(folder, "S2"),
             _far_confound_sdm(folder, "S3", odd_names, odd_first_confound)]
    return _mdm(folder, paths), os.path.basename(paths[2])


def far_confound(folder):
    """Three SDMs of about 130 bytes, two predictors each, FirstConfoundPredictor 2147483647."""
    mdm, _ = _far_confound_study(folder)
    return mdm, [start_line(mdm), read_line(3), *clean_checks(FAR_CONFOUND - 1, 2)], COMPLETE


def far_confound_one_name_differs(folder):
    """As far_confound, the third SDM naming its second predictor otherwise: the likely causes and
    the checks over the SDMs that agree."""
    mdm, odd = _far_confound_study(folder, odd_names=("Faces", "Homes"))
    return (mdm, [start_line(mdm), read_line(3), count_line(FAR_CONFOUND - 1), NAMES_DIFFER,
                  most_named_line(2, "Houses"), f"!!!  Homes in {odd}"], ENDED)


def far_confound_one_count_differs(folder):
    """As far_confound, the third SDM's FirstConfoundPredictor one less."""
    mdm, odd = _far_confound_study(folder, odd_first_confound=FAR_CONFOUND - 1)
    return (mdm, [start_line(mdm), read_line(3), COUNTS_DIFFER, most_count_line(FAR_CONFOUND - 1),
                  f"!!!  {FAR_CONFOUND - 2} in {odd}"], ENDED)


def _one_row_sdm(folder, stem, names):
    """An SDM of one data point whose predictors are all of interest."""
    text = (f"FileVersion: 1\nNrOfPredictors: {len(names)}\nNrOfDataPoints: 1\n"
            f"IncludesConstant: 0\nFirstConfoundPredictor: {len(names) + 1}\n\n"
            + "0 0 255\n" * len(names) + " ".join(f'"{n}"' for n in names) + "\n"
            + " 1" * len(names) + "\n")
    return _write(f"{folder}/{stem}.sdm", text)


def most_predictors_all_named_otherwise(folder):
    """Two SDMs of 65,536 predictors of interest (1.5 MB each) whose names all differ, none
    another's: the search for swapped names meets every name of every predictor."""
    faces = [f"Faces{p}" for p in range(1, MOST_PREDICTORS + 1)]
    houses = [f"Houses{p}" for p in range(1, MOST_PREDICTORS + 1)]
    paths = [_one_row_sdm(folder, "S1", faces), _one_row_sdm(folder, "S2", houses)]
    mdm = _mdm(folder, paths)
    differ = [line for p, (face, house) in enumerate(zip(faces, houses), 1)
              for line in (most_named_line(p, house), f"!!!  {face} in S1.sdm")]
    return (mdm, [start_line(mdm), read_line(2), count_line(MOST_PREDICTORS), NAMES_DIFFER,
                  *differ], ENDED)


def long_names_differing_at_their_end(folder):
    """Two SDMs of one predictor named by 100,000 bytes, the names differing in their last byte:
    the typo test meets two names far longer than any a design gives."""
    names = ["A" * (LONG_NAME_BYTES - 1) + last for last in "BC"]
    paths = [_one_row_sdm(folder, f"S{i}", [name]) for i, name in enumerate(names, 1)]
    mdm = _mdm(folder, paths)
    return (mdm, [start_line(mdm), read_line(2), count_line(1), NAMES_DIFFER,
                  most_named_line(1, names[1]), f"!!!  {names[0]} in S1.sdm"], ENDED)


CASES.update({
    "3 SDMs of 130 bytes, FirstConfoundPredictor 2147483647": far_confound,
    "the same, one SDM naming a predictor otherwise": far_confound_one_name_differs,
    "the same, one SDM's FirstConfoundPredictor one less": far_confound_one_count_differs,
    # The run reports each of the 65,536 names: its memory is that of its findings.
    f"2 SDMs of {MOST_PREDICTORS} predictors, every name differing: {MOST_PREDICTORS} "
    "findings in one run":
        most_predictors_all_named_otherwise,
    f"2 SDMs naming a predictor by {LONG_NAME_BYTES} bytes, differing":
        long_names_differing_at_their_end,
})
