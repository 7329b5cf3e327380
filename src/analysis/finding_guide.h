// The findings guide: for each finding code, what was found, why it matters for the group
// analysis and what to do, in a researcher's words. Its one source is doc/findings.md, made into
// a table at build time (finding_guide_table.py), so `kelvora --explain`, Python's explain() and
// the report say what the installed guide says. Read-only static data; nothing here allocates
// but nearestGuideCodes' result, and nothing throws but std::bad_alloc.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kelvora::analysis {

struct GuideEntry {
  std::string_view code;
  std::string_view summary;  // one sentence, as the report's heading for the code shows it
  std::string_view text;     // the whole entry, plain text in paragraphs, with the summary first
};

// Every entry, in the guide's order.
std::vector<GuideEntry> guideEntries();

// The entry of `code` (compared exactly), or nullptr when the guide has none.
const GuideEntry* guideEntryOf(std::string_view code);

// The longest text compared with the guide's codes (the longest code has 34 bytes): a longer one
// is near none, whatever it holds, and costs nothing.
inline constexpr std::size_t kMostCodeBytesCompared = 64;

// Up to `most` codes of the guide nearest `code`, nearest first (letter case ignored; ties in the
// guide's order): those within an edit distance of a third of the code's length, or else those
// that hold it or that it holds. Empty when none is near, or when `code` is longer than
// kMostCodeBytesCompared. O(entries x kMostCodeBytesCompared^2) at most.
std::vector<std::string_view> nearestGuideCodes(std::string_view code, std::size_t most = 3);

// What `kelvora --explain` prints and Python's explain() returns: the code on a line of its own,
// then the entry's text, ending in a line end.
std::string explanation(const GuideEntry& entry);

// The sentence that refuses an unknown `code`, naming the nearest codes when some are near:
// `no finding has the code "ZERO_ACROS"; did you mean ZERO_ACROSS_RUNS?`.
std::string unknownCodeSentence(std::string_view code);

}  // namespace kelvora::analysis
