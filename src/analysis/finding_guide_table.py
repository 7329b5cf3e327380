#!/usr/bin/env python3
"""The findings guide, doc/findings.md, as a C++ table: the one source of `kelvora --explain`,
Python's `kelvora.explain` and the report's text beside each finding.

  finding_guide_table.py GUIDE.md OUT.h

An entry is a level-3 heading "### `CODE`" under "## The findings"; its first paragraph is the
summary, the whole body its text, each paragraph filled to 79 columns. `code` marks and links
are made plain for a terminal. A guide without entries, or with a code twice, fails the build.
"""

import re
import sys
import textwrap

WIDTH = 79  # a terminal's line, as kelvora's --help

HEADING = re.compile(r"^### `([A-Z][A-Z0-9_]*)`$")


def entries(markdown):
    """[(code, summary, text)] in the guide's order."""
    found = []
    in_findings = False
    code, body = None, []

    def close():
        if code is None:
            return
        paragraphs = [plain(" ".join(p.split())) for p in "\n".join(body).strip().split("\n\n")]
        text = "\n\n".join(textwrap.fill(p, WIDTH, break_on_hyphens=False, break_long_words=False)
                           for p in paragraphs)
        found.append((code, paragraphs[0], text))

    for line in markdown.splitlines():
        if line.startswith("## "):
            close()
            code, body = None, []
            in_findings = line == "## The findings"
            continue
        heading = HEADING.match(line)
        if in_findings and heading:
            close()
            code, body = heading.group(1), []
        elif code is not None:
            body.append(line)
    close()
    codes = [entry[0] for entry in found]
    if not found or len(set(codes)) != len(codes):
        raise SystemExit("finding_guide_table.py: no entries, or a code twice")
    return found


def plain(text):
    text = re.sub(r"\[([^\]]*)\]\([^)]*\)", r"\1", text)
    return text.replace("`", "")


def main():
    guide, out = sys.argv[1], sys.argv[2]
    with open(guide, encoding="utf-8") as file:
        found = entries(file.read())
    lines = ["// Made from doc/findings.md by finding_guide_table.py at build time; do not edit.",
             "#pragma once", "", "namespace kelvora::analysis::generated {", "",
             "struct GuideText {", "  const char* code;", "  const char* summary;",
             "  const char* text;", "};", "", "inline constexpr GuideText kGuideTexts[] = {"]
    for code, summary, text in found:
        for part in (summary, text):
            if ")guide\"" in part or not part.isascii():
                raise SystemExit(f"finding_guide_table.py: {code}: not plain ASCII text")
        lines.append(f'    {{"{code}", R"guide({summary})guide", R"guide({text})guide"}},')
    lines += ["};", "", "}  // namespace kelvora::analysis::generated", ""]
    with open(out, "w", encoding="ascii", newline="\n") as file:
        file.write("\n".join(lines))


if __name__ == "__main__":
    main()
