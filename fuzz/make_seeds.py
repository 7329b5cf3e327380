#!/usr/bin/env python3
"""Writes the fuzz targets' seed corpora (fuzz/corpus/<target>/) from the example studies and from
the corner cases that the unit tests pin down. SDMs are cut to a few data points so that the
corpora stay small; the fuzzer grows them as it needs. Run it again after changing the examples:
the output is the same every time.
"""

import decimal
import fractions
import pathlib
import shutil
import struct

ROOT = pathlib.Path(__file__).resolve().parent.parent
CORPUS = ROOT / "fuzz" / "corpus"
EXAMPLES = ROOT / "examples"
SEPARATOR = b"\n%%\n"


def trimmed_sdm(data, rows=4):
    """The SDM with its header saying `rows` data points and only that many value rows."""
    lines = data.split(b"\n")
    names = next(i for i, line in enumerate(lines) if line.startswith(b'"'))
    header = [line.replace(b"NrOfDataPoints: 240", b"NrOfDataPoints: %d" % rows)
              for line in lines[:names + 1]]
    return b"\n".join(header + lines[names + 1:names + 1 + rows]) + b"\n"


def mdm(studies, kind=b"VTC", line_end=b"\r\n"):
    text = [b"", b"FileVersion:          3", b"TypeOfFunctionalData: " + kind, b"",
            b"RFX-GLM:              0", b"", b"PSCTransformation:    0",
            b"zTransformation:      1", b"SeparatePredictors:   0", b"",
            b"NrOfStudies:          %d" % len(studies)]
    text += [b" ".join(b'"%s"' % p for p in study) for study in studies]
    return line_end.join(text) + line_end


def sdm(names, first_confound, rows, line_end=b"\n"):
    text = [b"FileVersion: 1", b"", b"NrOfPredictors: %d" % len(names),
            b"NrOfDataPoints: %d" % len(rows), b"IncludesConstant: 1",
            b"FirstConfoundPredictor: %d" % first_confound, b""]
    text += [b"255 %d 0" % i for i in range(len(names))]
    text.append(b" ".join(b'"%s"' % n for n in names))
    text += [b" ".join(rows_value for rows_value in row) for row in rows]
    return line_end.join(text) + line_end


SMALL_SDMS = {
    "faces_houses": sdm([b"Faces", b"Houses", b"Motion", b"Constant"], 3,
                        [[b"1", b"0", b"0.5", b"1"], [b"0", b"1", b"-0.25", b"1"]]),
    "zero_confound": sdm([b"Faces", b"Houses", b"Motion", b"Constant"], 3,
                         [[b"1", b"-0", b"0", b"1"], [b"1e-30", b"0", b"0", b"1"]], b"\r\n"),
    "three_of_interest": sdm([b"Faces", b"Houses", b"Tools", b"Constant"], 4,
                             [[b"1", b"2", b"3", b"1"]]),
    "number_corners": sdm([b"A", b"B", b"C"], 2,
                          [[b"+1.5", b".5", b"5."], [b"1E+05", b"1e-46", b"1e-45"],
                           [b"0x1A", b"1.5.3", b"3.4028235e38"]]),
    "short_matrix": b"FileVersion: 1\nNrOfPredictors: 2\nNrOfDataPoints: 1000\n"
                    b"IncludesConstant: 0\nFirstConfoundPredictor: 2\n1 2 3\n4 5 6\n"
                    b'"x" "y"\n1 2 3 4 5\n',
    "huge_header": b"FileVersion: 1\nNrOfPredictors: 2147483647\nNrOfDataPoints: 2147483647\n"
                   b"IncludesConstant: 1\nFirstConfoundPredictor: -2147483648\n",
    # Guards the value loop against stepping through rows that have no predictor to read.
    "no_predictors_two_billion_data_points":
        b"FileVersion: 1\nNrOfPredictors: 0\nNrOfDataPoints: 2147483647\n"
        b"IncludesConstant: 1\nFirstConfoundPredictor: 1\n\n\"\"\n",
    "names_line_alone": b"NrOfPredictors: 3\nFirstConfoundPredictor: 2\n\n"
                        b'"a b" "" "c"  "extra"\n',
}


def around_midpoint(value):
    """The exact decimal text of the point halfway between the float `value` and the next float
    up (where rounding to nearest, ties to even, is decided by the very last digit), and the texts
    a hair above and below it, seven digits further on."""
    bits = struct.unpack("<I", struct.pack("<f", value))[0]
    low = fractions.Fraction(value)
    # Above the largest float, the next one would be 2^128 if the exponent went on.
    high = (fractions.Fraction(2) ** 128 if bits == 0x7F7FFFFF else
            fractions.Fraction(struct.unpack("<f", struct.pack("<I", bits + 1))[0]))
    middle = (low + high) / 2
    with decimal.localcontext(decimal.Context(prec=300)):
        exact = decimal.Decimal(middle.numerator) / decimal.Decimal(middle.denominator)
        hair = decimal.Decimal(1).scaleb(exact.as_tuple().exponent - 7)
        return [format(text, "f").encode() for text in (exact, exact + hair, exact - hair)]


MAX_FLOAT = struct.unpack("<f", struct.pack("<I", 0x7F7FFFFF))[0]
SMALLEST_DENORMAL = struct.unpack("<f", struct.pack("<I", 1))[0]

# Seeds of the differential SDM target beyond the SDM reader's: number texts where a fast
# conversion most easily parts from the general one, and the bytes around them.
NUMBER_SDMS = {
    "long_digit_runs": sdm([b"A", b"B", b"C"], 3, [
        [b"1." + b"9" * 60, b"0" * 40 + b"1.5", b"123456789012345678901234567890"],
        [b"0." + b"0" * 44 + b"1401298464324817", b"-" + b"0" * 45, b"." + b"3" * 70]]),
    "exponents": sdm([b"A", b"B", b"C"], 3, [
        [b"1e38", b"3.4028235e38", b"-3.4028235E+38"], [b"1e-45", b"7e-46", b"-1e-46"],
        [b"1e0000000000000000000001", b"0e999999999999999999999", b"1e-999999999999999999999"],
        [b"3.40282357e38", b"1e39", b"1e"]]),
    # The midpoint above the largest float is no value (it rounds to infinity), so it comes last.
    "rounding_midpoints": sdm([b"Tie", b"Above", b"Below"], 3, [
        around_midpoint(value) for value in (1.0, 1.0000001192092896, 16777216.0, 16777218.0, 0.1,
                                             0.0, SMALLEST_DENORMAL, 1.1754942e-38, MAX_FLOAT)]),
    "crlf_and_lone_cr": sdm([b"A", b"B"], 2, [[b"1.5", b"-0"], [b"2.5\r3.5", b"4"],
                                             [b"5", b"6\r"]], b"\r\n"),
    "values_split_by_nul": sdm([b"A\0B", b"C"], 2, [[b"1.5\x002.5", b"3"], [b"4", b"5"]]),
    "value_at_end_of_file": sdm([b"A", b"B"], 2, [[b"1", b"2"], [b"3", b"-0.125"]])[:-1],
    "exponent_at_end_of_file": sdm([b"A", b"B"], 2, [[b"1", b"2"], [b"3", b"2.5e"]])[:-1],
}


def write(target, name, data):
    folder = CORPUS / target
    folder.mkdir(parents=True, exist_ok=True)
    (folder / name).write_bytes(data)


def run_input(answers, mdm_bytes, sdms):
    return SEPARATOR.join([answers, mdm_bytes] + sdms)


def main():
    shutil.rmtree(CORPUS, ignore_errors=True)
    example_sdms = {}
    for study in ["study", "names", "moved"]:
        write("mdm_reader", f"example_{study}.mdm", (EXAMPLES / study / "group.mdm").read_bytes())
        for path in sorted((EXAMPLES / study).glob("*_run-1.sdm"))[:2]:
            example_sdms[f"{study}_{path.stem}"] = trimmed_sdm(path.read_bytes())
    write("mdm_reader", "mtc_four_and_six_quotes.mdm",
          mdm([(b"S01_a.vtc", b"S01_a.sdm"), (b"x.mtc", b"S02_a.vtc", b"S02_a.sdm")], b"MTC"))
    write("mdm_reader", "more_announced_than_held.mdm",
          b"FileVersion: 3\nTypeOfFunctionalData: VTC\nNrOfStudies: 2147483647\n"
          b'"a.vtc" "a.sdm"\n"b.vtc" "b.sdm"')
    write("mdm_reader", "keys_out_of_order.mdm",
          b"NrOfStudies: 1 FileVersion: x\n\"a.vtc\" \"a.sdm\"\n")

    for name, data in {**example_sdms, **SMALL_SDMS}.items():
        write("sdm_reader", f"{name}.sdm", data)
    # The differential target reads corpus/sdm_reader as well (see CMakeLists.txt).
    for name, data in NUMBER_SDMS.items():
        write("sdm_differential", f"{name}.sdm", data)

    for name, data in [("sdm", SMALL_SDMS["number_corners"]),
                       ("mdm", mdm([(b"a.vtc", b"a.sdm")], b"MTC", b"\n"))]:
        # The scanner target reads its last bytes as chunk size and reads; the rest is the text.
        write("text_scanner", f"{name}_text", data + bytes([3, 0, 1, 0, 1, 3, 2, 2, 0, 4, 5, 9]))

    fh = SMALL_SDMS["faces_houses"]
    runs = {
        "complete": run_input(b"", mdm([(b"S01_1.vtc", b"0.sdm"), (b"S01_2.vtc", b"1.sdm"),
                                        (b"S02_1.vtc", b"2.sdm")]),
                              [fh, SMALL_SDMS["zero_confound"], fh]),
        "count_mismatch": run_input(b"", mdm([(b"S01_1.vtc", b"0.sdm"), (b"S02_1.vtc", b"1.sdm"),
                                              (b"S03_1.vtc", b"2.sdm")]),
                                    [fh, fh, SMALL_SDMS["three_of_interest"]]),
        "repair_and_save": run_input(
            b"locate ./0.sdm\nanswer yes\nsave 0",
            mdm([(b"D:/old/S01_1.vtc", b"D:/old/0.sdm"), (b"D:/old/S02_1.vtc", b"D:/old/1.sdm")]),
            [fh, fh]),
        "repair_save_over_original": run_input(
            b"locate ./0.sdm\nanswer yes\nsave 1",
            mdm([(b"D:/old/S01_1.mtc", b"D:/old/S01_1.vtc", b"D:/old/0.sdm")], b"MTC"), [fh]),
        "repair_save_fails": run_input(
            b"locate ./0.sdm\nanswer yes\nsave 2", mdm([(b"old/S01_1.vtc", b"old/0.sdm")]),
            [fh]),
        # Guards against a run that seems to hang: each SDM announces two billion data points
        # and has no predictor, so no row holds anything to read.
        "four_sdms_without_predictors": run_input(
            b"", mdm([(b"S0%d_1.vtc" % i, b"%d.sdm" % i) for i in range(4)]),
            [SMALL_SDMS["no_predictors_two_billion_data_points"]] * 4),
        "too_large": run_input(b"", mdm([(b"S01_1.vtc", b"0.sdm")]), [SMALL_SDMS["huge_header"]]),
        "examples": run_input(b"", mdm([(b"sub-01_run-1.vtc", b"0.sdm"),
                                        (b"sub-02_run-1.vtc", b"1.sdm")]),
                              [example_sdms["study_sub-01_run-1"],
                               example_sdms["study_sub-02_run-1"]]),
    }
    for name, data in runs.items():
        write("inspection_run", name, data)


if __name__ == "__main__":
    main()
