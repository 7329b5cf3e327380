#include "finding_guide.h"

#include <algorithm>
#include <string>
#include <utility>

#include "finding_guide_table.h"
#include "mismatch_causes.h"

namespace kelvora::analysis {
namespace {

GuideEntry entryOf(const generated::GuideText& text) {
  return GuideEntry{text.code, text.summary, text.text};
}

std::string upper(std::string_view text) {
  std::string result(text);
  for (char& c : result) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return result;
}

}  // namespace

std::vector<GuideEntry> guideEntries() {
  std::vector<GuideEntry> entries;
  for (const generated::GuideText& text : generated::kGuideTexts) entries.push_back(entryOf(text));
  return entries;
}

const GuideEntry* guideEntryOf(std::string_view code) {
  static const std::vector<GuideEntry> entries = guideEntries();
  const auto found = std::find_if(entries.begin(), entries.end(),
                                  [&](const GuideEntry& entry) { return entry.code == code; });
  return found == entries.end() ? nullptr : &*found;
}

std::vector<std::string_view> nearestGuideCodes(std::string_view code, std::size_t most) {
  if (code.size() > kMostCodeBytesCompared) return {};
  const std::string asked = upper(code);
  const std::size_t limit = std::max<std::size_t>(1, asked.size() / 3);
  std::vector<std::pair<std::size_t, std::string_view>> near;  // (distance, code), guide order
  std::vector<std::string_view> holding;
  for (const generated::GuideText& text : generated::kGuideTexts) {
    const std::string_view known = text.code;
    const std::size_t distance = editDistance(asked, known, limit);
    if (distance <= limit) {
      near.emplace_back(distance, known);
    } else if (!asked.empty() && (known.find(asked) != std::string_view::npos ||
                                  asked.find(known) != std::string::npos)) {
      holding.push_back(known);
    }
  }
  std::stable_sort(near.begin(), near.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::string_view> codes;
  for (const auto& [distance, known] : near) codes.push_back(known);
  if (codes.empty()) codes = std::move(holding);
  if (codes.size() > most) codes.resize(most);
  return codes;
}

std::string explanation(const GuideEntry& entry) {
  return std::string(entry.code) + "\n" + std::string(entry.text) + "\n";
}

std::string unknownCodeSentence(std::string_view code) {
  std::string sentence = "no finding has the code \"" + std::string(code) + "\"";
  const std::vector<std::string_view> near = nearestGuideCodes(code);
  if (near.empty()) return sentence + " (doc/findings.md lists every code)";
  sentence += "; did you mean ";
  for (std::size_t i = 0; i < near.size(); ++i) {
    if (i > 0) sentence += i + 1 == near.size() ? " or " : ", ";
    sentence += near[i];
  }
  return sentence + "?";
}

}  // namespace kelvora::analysis
