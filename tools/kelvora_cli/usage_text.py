#!/usr/bin/env python3
"""kelvora's usage texts, all made from usage.txt so that they cannot drift apart.

  usage_text.py USAGE VERSION --header FILE.h    the --help text as a C++ header, and each
                                                 option's name for the parser
  usage_text.py USAGE VERSION --man FILE.1.gz    the man page kelvora(1), compressed, with the
                                                 examples
  usage_text.py USAGE VERSION --fill IN OUT      IN with @KELVORA_VERSION@ and @KELVORA_HELP@
                                                 filled in (the Windows package's README)
  usage_text.py USAGE VERSION --markdown         the README's synopsis and tables (options, exit
                                                 statuses, environment), to paste

The build runs the first three; tests/e2e/test_cli_usage.py checks the README against the last.
"""

import gzip
import re
import sys
import textwrap
from dataclasses import dataclass, field

WIDTH = 79
README_WIDTH = 99
EXIT_STATUS_HEADING = "Exit status (several MDM_FILEs: the worst of their inspections)"


@dataclass
class Entry:
    key: str
    value: str
    paragraphs: list = field(default_factory=list)
    lines: list = field(default_factory=list)  # an example's command lines, as they stand

    @property
    def name(self):
        return self.value.split()[0]

    @property
    def value_name(self):
        words = self.value.split()
        return words[1] if len(words) > 1 else ""

    def text(self):
        return " ".join(self.paragraphs)


@dataclass
class Usage:
    summary: str
    description: list
    options: list
    actions: list
    statuses: list
    environment: list
    examples: list

    def synopsis(self):
        """The two usage lines, without the leading program name."""
        return [" ".join(f"[{group}]" for group in self.option_groups()) + " MDM_FILE...",
                " | ".join(a.name for a in self.actions)]

    def option_groups(self, show=lambda value: value):
        """The options as the synopsis groups them: an alternative joins the option before it."""
        groups = []
        for entry in self.options:
            if entry.key == "alternative":
                groups[-1] += " | " + show(entry.value)
            else:
                groups.append(show(entry.value))
        return groups


def parse(path):
    entries = []
    with open(path, encoding="utf-8") as lines:
        for number, line in enumerate(lines, 1):
            line = line.rstrip("\n")
            if not line.strip() or line.startswith("#"):
                continue
            if not line[0].isspace():
                key, _, value = line.partition(":")
                entries.append(Entry(key.strip(), value.strip()))
            elif not entries:
                raise SystemExit(f"{path}:{number}: text before the first entry")
            elif entries[-1].key == "example":
                entries[-1].lines.append(line[2:])
            elif line.strip() == ".":
                entries[-1].paragraphs.append("")
            elif entries[-1].paragraphs:
                last = entries[-1].paragraphs[-1]
                entries[-1].paragraphs[-1] = (last + " " if last else "") + line.strip()
            else:
                entries[-1].paragraphs.append(line.strip())
    by_key = {}
    for entry in entries:
        by_key.setdefault(entry.key, []).append(entry)
    unknown = set(by_key) - {"summary", "description", "option", "alternative", "action", "status",
                             "environment", "example"}
    if unknown:
        raise SystemExit(f"{path}: unknown keys {sorted(unknown)}")
    return Usage(summary=by_key["summary"][0].value,
                 description=by_key["description"][0].paragraphs,
                 options=[e for e in entries if e.key in ("option", "alternative")],
                 actions=by_key["action"], statuses=by_key["status"],
                 environment=by_key.get("environment", []),
                 examples=by_key.get("example", []))


def wrap_synopsis(line, prefix, width):
    """`line` after `prefix`, wrapped between the bracketed groups, never inside one."""
    words = [word.replace(" ", "\0") for word in re.findall(r"\[[^]]*\]|\S+", line)]
    return [wrapped.replace("\0", " ") for wrapped in
            textwrap.wrap(" ".join(words), width, initial_indent=prefix,
                          subsequent_indent=" " * len(prefix), break_on_hyphens=False)]


def help_text(usage):
    first, second = usage.synopsis()
    out = wrap_synopsis(first, "Usage: kelvora ", WIDTH) + [f"       kelvora {second}", ""]
    for paragraph in usage.description:
        out += textwrap.wrap(paragraph, WIDTH) + [""]
    out.append("Options:")
    for entry in usage.options + usage.actions:
        out.append(f"  {entry.value}")
        out += textwrap.wrap(entry.text(), WIDTH, initial_indent=" " * 6,
                             subsequent_indent=" " * 6)
    out += ["", EXIT_STATUS_HEADING + ":"]
    for entry in usage.statuses:
        out += textwrap.wrap(entry.text(), WIDTH, initial_indent=f"  {entry.value:<4}",
                             subsequent_indent=" " * 6)
    if usage.environment:
        out += ["", "Environment:"]
    for entry in usage.environment:
        out.append(f"  {entry.value}")
        out += textwrap.wrap(entry.text(), WIDTH, initial_indent=" " * 6,
                             subsequent_indent=" " * 6)
    return "\n".join(out) + "\n"


def c_string(text):
    escaped = text.replace("\\", "\\\\").replace('"', '\\"').replace("\n", "\\n")
    return f'"{escaped}"'


def header(usage):
    names = "\n".join(f"    {c_string(o.name)}," for o in usage.options + usage.actions)
    lines = "\n".join(f"    {c_string(line)}" for line in help_text(usage).splitlines(True))
    return f"""// Generated by usage_text.py from usage.txt: edit usage.txt instead.
#pragma once

#include <string_view>

namespace kelvora::cli::usage {{

// The names of the options that usage.txt documents, in its order.
inline constexpr std::string_view kOptionNames[] = {{
{names}
}};

// kelvora --help.
inline constexpr char kHelpText[] =
{lines};

}}  // namespace kelvora::cli::usage
"""


def roff(text):
    text = text.replace("\\", "\\e").replace("-", "\\-")
    return "\\&" + text if text[:1] in (".", "'") else text


def roff_option(value):
    name, _, value_name = value.partition(" ")
    return f"\\fB{roff(name)}\\fR" + (f" \\fI{roff(value_name)}\\fR" if value_name else "")


def man_page(usage, version):
    out = [f'.TH KELVORA 1 "" "Kelvora {version}" "User Commands"', ".SH NAME",
           f"kelvora \\- {roff(usage.summary)}", ".SH SYNOPSIS",
           ".B kelvora",
           " ".join(f"[{group}]" for group in usage.option_groups(roff_option))
           + " \\fIMDM_FILE\\fR...",
           ".br", ".B kelvora",
           " | ".join(roff_option(a.value) for a in usage.actions), ".SH DESCRIPTION"]
    out += "\n.PP\n".join(roff(p) for p in usage.description).split("\n")
    out.append(".SH OPTIONS")
    for entry in usage.options + usage.actions:
        out += [".TP", roff_option(entry.value), roff(entry.text())]
    out += [".SH EXIT STATUS", roff(EXIT_STATUS_HEADING + ".")]
    for entry in usage.statuses:
        out += [".TP", f".B {entry.value}", roff(entry.text())]
    if usage.environment:
        out.append(".SH ENVIRONMENT")
    for entry in usage.environment:
        out += [".TP", f".B {roff(entry.value)}", roff(entry.text())]
    if usage.examples:
        out.append(".SH EXAMPLES")
    for entry in usage.examples:
        out += [".PP", roff(entry.value), ".PP", ".RS 4", ".nf"]
        out += [roff(line) for line in entry.lines]
        out += [".fi", ".RE"]
    out += [".SH SEE ALSO",
            "The README, the documents it links to, the example studies and the licences in "
            "/usr/share/doc/kelvora."]
    return "\n".join(out) + "\n"


def cell(text):
    return text.replace("|", "\\|")


def markdown(usage):
    """The README's synopsis block, option table and exit-status table, in that order."""
    first, second = usage.synopsis()
    lines = wrap_synopsis(first, "kelvora ", README_WIDTH) + [f"kelvora {second}"]
    synopsis = "```\n" + "\n".join(lines) + "\n```\n"
    options = ["| option | what it does |", "|---|---|"]
    options += [f"| `{o.value}` | {cell(o.text())} |" for o in usage.options + usage.actions]
    statuses = ["| status | meaning |", "|---|---|"]
    statuses += [f"| {s.value} | {cell(s.text())} |" for s in usage.statuses]
    environment = ["| variable | what it does |", "|---|---|"]
    environment += [f"| `{e.value}` | {cell(e.text())} |" for e in usage.environment]
    return [synopsis, "\n".join(options) + "\n", "\n".join(statuses) + "\n",
            "\n".join(environment) + "\n"]


def main(argv):
    usage, version, mode, targets = parse(argv[1]), argv[2], argv[3], argv[4:]
    if mode == "--header":
        with open(targets[0], "w", encoding="utf-8") as out:
            out.write(header(usage))
    elif mode == "--man":
        # mtime 0: the same page gives the same bytes.
        with gzip.GzipFile(targets[0], "wb", compresslevel=9, mtime=0) as out:
            out.write(man_page(usage, version).encode("utf-8"))
    elif mode == "--fill":
        with open(targets[0], encoding="utf-8") as template:
            text = template.read()
        text = text.replace("@KELVORA_VERSION@", version)
        text = text.replace("@KELVORA_HELP@", help_text(usage))
        with open(targets[1], "w", encoding="utf-8", newline="\r\n") as out:
            out.write(text)
    elif mode == "--markdown":
        print("\n".join(markdown(usage)), end="")
    else:
        raise SystemExit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
