"""Hostile inputs that a user names or a study holds, for kelvora and the Python package: each case
writes its files into a folder and returns the invocations to make of them, each with the exit
statuses it may end with. test_hostile_inputs.py runs every invocation (each must end in one of
its statuses, within MEMORY_BOUND); measure_resource_bounds.py prints what each costs.

The cases live in the modules hostile_*.py beside this one, one per area; each module's CASES maps
a label to a function(folder) -> [Invocation]."""

import glob
import importlib
import os
import sys
from dataclasses import dataclass, field

HERE = os.path.dirname(os.path.abspath(__file__))


@dataclass
class Invocation:
    """kelvora's arguments (tool "kelvora"), or a Python program run by Debian's /usr/bin/python3
    with the package built in the tree importable (tool "python")."""
    tool: str
    arguments: list
    statuses: tuple
    stdin: bytes = b""
    cwd: str = None
    # A text each run's standard error (kelvora) or output (Python) must hold.
    expect: bytes = b""
    env: dict = field(default_factory=dict)


def kelvora(*arguments, statuses=(0, 1, 2), **options):
    return Invocation("kelvora", list(arguments), statuses, **options)


def python(program, statuses=(0,), **options):
    return Invocation("python", ["-c", program], statuses, **options)


def all_cases():
    cases = {}
    for path in sorted(glob.glob(os.path.join(HERE, "hostile_*.py"))):
        name = os.path.splitext(os.path.basename(path))[0]
        if name == "hostile_cases":
            continue
        if HERE not in sys.path:
            sys.path.insert(0, HERE)
        cases.update(importlib.import_module(name).CASES)
    return cases


def command_of(invocation, build_dir):
    """The argv and environment that make `invocation` in the build tree `build_dir`."""
    env = dict(os.environ, **invocation.env)
    if invocation.tool == "kelvora":
        return [os.path.join(build_dir, "tools", "kelvora_cli", "kelvora"),
                *invocation.arguments], env
    env["PYTHONPATH"] = os.path.join(build_dir, "python")
    return ["/usr/bin/python3", *invocation.arguments], env
