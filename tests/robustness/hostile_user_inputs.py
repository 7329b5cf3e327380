"""Hostile inputs a user names: a config nested 100,000 levels deep, config globs matched against
many long paths and a glob longer than kelvora takes, subject-rule expressions that make a
backtracking engine take exponential time, and --config and --contrasts files that are pipes
without a writer, devices or too large. Each through kelvora and, where Python takes the same
input, through kelvora.inspect()."""

import json
import os
import sys

from hostile_cases import kelvora, python

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))

from study_builder import mdm_text, sdm  # noqa: E402

USAGE = 64


def _write(folder, name, text):
    path = os.path.join(folder, name)
    with open(path, "w" if isinstance(text, str) else "wb") as file:
        file.write(text)
    return path


def _inspect_refused(mdm, argument, value, said, stdin=b""):
    """A Python program that calls inspect() with `argument`=`value` and prints its ValueError,
    which must hold `said`. A contrast table file is named by a Path (a str is an expression)."""
    given = f"pathlib.Path({value!r})" if argument == "contrasts" else repr(value)
    return python("import kelvora, pathlib\n"
                  "try:\n"
                  f"    kelvora.inspect({mdm!r}, findings_file=False, {argument}={given})\n"
                  "except ValueError as error:\n"
                  "    print('refused:', error)\n", expect=said, stdin=stdin)


def deep_config(folder):
    config = _write(folder, "deep.json", '{"ignore":' + "[" * 100_000)
    said = b"nested deeper than 32 levels"
    return [kelvora("--print-config", "--config", config, statuses=(USAGE,), expect=said),
            kelvora("--no-prompt", "--config", config, "none.mdm", statuses=(USAGE,), expect=said),
            _inspect_refused("none.mdm", "config", config, said)]


def _long_path_study(folder):
    """An MDM of one SDM with a zero confound and 200 SDMs that are not there, each path 4 KB of
    2,000 folders: 200 findings whose file a glob is matched against."""
    _write(folder, "s1.sdm", sdm(zero=("Constant",)))
    deep = "/nowhere" + "/a" * 2000
    studies = [("s1.vtc", "s1.sdm")] + [(f"{deep}/s{i}.vtc", f"{deep}/s{i}.sdm")
                                        for i in range(200)]
    return _write(folder, "long.mdm", mdm_text(studies))


def globs_on_long_paths(folder):
    mdm = _long_path_study(folder)
    rules = {"ignore": [{"code": "SDM_UNREADABLE", "file": "x/*.sdm"}]}
    config = _write(folder, "glob.json", json.dumps(rules))
    return [kelvora("--no-prompt", "--quiet", "--no-findings-file", "--config", config, mdm,
                    statuses=(2,)),
            python("import kelvora\n"
                   f"outcome = kelvora.inspect({mdm!r}, findings_file=False, config={rules!r})\n"
                   "print('findings:', len(outcome.all_findings))\n", expect=b"findings: 207")]


def glob_too_long(folder):
    rules = {"ignore": [{"code": "HIGH_VIF", "file": "*a" * 10_000}]}
    config = _write(folder, "long-glob.json", json.dumps(rules))
    said = b'a "file" glob longer than 1024 bytes'
    return [kelvora("--print-config", "--config", config, statuses=(USAGE,), expect=said),
            _inspect_refused("none.mdm", "config", rules, said)]


def _subject_study(folder, functional):
    _write(folder, "r.sdm", sdm())
    return _write(folder, "subjects.mdm", mdm_text([(functional, "r.sdm"), ("b_run-2.vtc", "r.sdm")]))


def backtracking_subject_rules(folder):
    nested = _subject_study(folder, "a" * 28 + "!_run-1.vtc")
    os.makedirs(os.path.join(folder, "x"))
    starred = _write(os.path.join(folder, "x"), "subjects.mdm",
                     mdm_text([("a" * 1020 + "_run-1.vtc", "../r.sdm")]))
    # The Python package takes no subject rule: kelvora alone.
    return [kelvora("--no-prompt", "--quiet", "--no-findings-file", "--subject-rule",
                    "regex:^(?:a+)+(b)", nested, expect=b"places no subject in 2 of 2"),
            kelvora("--no-prompt", "--quiet", "--no-findings-file", "--subject-rule",
                    "regex:(.*)*x", starred, expect=b"places no subject in 1 of 1")]


def files_named_by_the_user(folder):
    pipe = os.path.join(folder, "pipe")
    os.mkfifo(pipe)  # nobody writes it: it reads as empty, never waits
    return [
        kelvora("--no-prompt", "--contrasts", pipe, "none.mdm", statuses=(USAGE,),
                expect=b'the header does not begin with "contrast"'),
        kelvora("--print-config", "--config", pipe, statuses=(USAGE,), expect=b"syntax error"),
        kelvora("--print-config", "--config", "/dev/zero", statuses=(USAGE,),
                expect=b"/dev/zero is neither a file nor a pipe"),
        kelvora("--print-config", "--config", "/dev/stdin", stdin=b" " * (2 << 20),
                statuses=(USAGE,), expect=b"/dev/stdin is larger than 1048576 bytes"),
        kelvora("--no-prompt", "--contrasts", "/dev/stdin", "none.mdm", stdin=b"0" * (2 << 20),
                statuses=(USAGE,), expect=b"/dev/stdin is larger than 1048576 bytes"),
        _inspect_refused("none.mdm", "config", "/dev/zero",
                         b"config: /dev/zero is neither a file nor a pipe"),
        _inspect_refused("none.mdm", "contrasts", pipe,
                         b'the header does not begin with "contrast"'),
        _inspect_refused("none.mdm", "config", "/dev/stdin",
                         b"config: /dev/stdin is larger than 1048576 bytes", stdin=b" " * (2 << 20)),
    ]


CASES = {
    "config nested 100,000 levels": deep_config,
    "config globs on 200 findings of 4 KB paths": globs_on_long_paths,
    "config glob of 20 KB": glob_too_long,
    "subject rules that backtrack exponentially": backtracking_subject_rules,
    "config and contrasts from pipes, devices, too large": files_named_by_the_user,
}
