#include "analysis/contrast_weights.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <set>
#include <unordered_map>
#include <unordered_set>

namespace kelvora::analysis {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  return text;
}

// The finite number that is the whole of `text` (blanks at its ends aside).
std::optional<double> numberOf(std::string_view text) {
  const std::string whole(trimmed(text));
  if (whole.empty()) return std::nullopt;
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(whole.c_str(), &end);
  if (end != whole.c_str() + whole.size() || errno == ERANGE || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

// Adds `weight` to `name`'s, keeping the order in which names were first given.
// Adds `weight` to the weight of `name` in `contrast`; `places` holds each name's place in it, so
// that an expression of thousands of terms is read in linear time.
void addWeight(Contrast& contrast, std::unordered_map<std::string, std::size_t>& places,
               std::string name, double weight) {
  const auto [place, added] = places.try_emplace(name, contrast.weights.size());
  if (added) {
    contrast.weights.emplace_back(std::move(name), weight);
  } else {
    contrast.weights[place->second].second += weight;
  }
}

bool dropZeroWeights(Contrast& contrast, std::string& error) {
  contrast.weights.erase(std::remove_if(contrast.weights.begin(), contrast.weights.end(),
                                        [](const auto& weight) { return weight.second == 0.0; }),
                         contrast.weights.end());
  if (!contrast.weights.empty()) return true;
  error = "contrast \"" + contrast.name + "\" weighs no predictor";
  return false;
}

std::vector<std::string_view> splitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    text.remove_prefix(std::min(end + 1, text.size()));
  }
  return lines;
}

std::vector<std::string_view> splitCells(std::string_view line) {
  std::vector<std::string_view> cells;
  for (std::size_t start = 0;;) {
    const std::size_t tab = line.find('\t', start);
    cells.push_back(line.substr(start, tab == std::string_view::npos ? tab : tab - start));
    if (tab == std::string_view::npos) return cells;
    start = tab + 1;
  }
}

}  // namespace

std::optional<Contrast> parseContrastExpression(std::string_view text, std::string& error) {
  Contrast contrast;
  contrast.name = std::string(text);
  std::unordered_map<std::string, std::size_t> places;
  std::size_t start = 0;
  while (start < text.size()) {
    double sign = 1.0;
    if (text[start] == '+' || text[start] == '-') sign = text[start++] == '-' ? -1.0 : 1.0;
    std::size_t end = start;
    while (end < text.size() &&
           !((text[end] == '+' || text[end] == '-') && end > start && isBlank(text[end - 1]))) {
      ++end;
    }
    std::string_view term = trimmed(text.substr(start, end - start));
    double weight = sign;
    const std::size_t star = term.find('*');
    if (star != std::string_view::npos) {
      if (const std::optional<double> factor = numberOf(term.substr(0, star))) {
        weight *= *factor;
        term = trimmed(term.substr(star + 1));
      }
    }
    if (term.empty()) {
      error = "contrast \"" + contrast.name + "\" has a term without a predictor name";
      return std::nullopt;
    }
    addWeight(contrast, places, std::string(term), weight);
    start = end;
  }
  if (!dropZeroWeights(contrast, error)) return std::nullopt;
  return contrast;
}

std::optional<std::vector<Contrast>> parseContrastTable(std::string_view text, std::string& error) {
  const std::vector<std::string_view> lines = splitLines(text);
  const auto fail = [&error](std::size_t line, const std::string& reason) {
    error = "line " + std::to_string(line + 1) + ": " + reason;
    return std::nullopt;
  };
  if (lines.empty() || splitCells(lines[0]).front() != "contrast") {
    // A table saved as CSV is the likeliest slip: say which separator the table takes.
    const bool commas = !lines.empty() && lines[0].find('\t') == std::string_view::npos &&
                        lines[0].find_first_of(",;") != std::string_view::npos;
    return fail(0, std::string(commas ? "the header is separated by commas or semicolons, but"
                                      : "the header does not begin with \"contrast\":") +
                       " a contrast table is tab-separated (\"contrast\", then each predictor "
                       "name after a tab)");
  }
  const std::vector<std::string_view> header = splitCells(lines[0]);
  std::set<std::string_view> seen;
  for (std::size_t i = 1; i < header.size(); ++i) {
    if (trimmed(header[i]).empty()) return fail(0, "a predictor name is empty");
    if (!seen.insert(trimmed(header[i])).second) {
      return fail(0, "predictor \"" + std::string(trimmed(header[i])) + "\" is named twice");
    }
  }
  std::vector<Contrast> contrasts;
  std::set<std::string> names;
  for (std::size_t line = 1; line < lines.size(); ++line) {
    if (trimmed(lines[line]).empty()) continue;
    const std::vector<std::string_view> cells = splitCells(lines[line]);
    if (cells.size() > header.size()) return fail(line, "more cells than the header");
    Contrast contrast;
    contrast.name = std::string(trimmed(cells[0]));
    if (contrast.name.empty()) return fail(line, "the contrast has no name");
    if (!names.insert(contrast.name).second) {
      return fail(line, "contrast \"" + contrast.name + "\" is named twice");
    }
    for (std::size_t i = 1; i < cells.size(); ++i) {
      if (trimmed(cells[i]).empty()) continue;
      const std::optional<double> weight = numberOf(cells[i]);
      if (!weight) return fail(line, "\"" + std::string(cells[i]) + "\" is not a number");
      // The header's names are distinct: each cell is a weight of its own.
      contrast.weights.emplace_back(std::string(trimmed(header[i])), *weight);
    }
    std::string reason;
    if (!dropZeroWeights(contrast, reason)) return fail(line, reason);
    contrasts.push_back(std::move(contrast));
  }
  if (contrasts.empty()) return fail(lines.size() - 1, "the table holds no contrast");
  return contrasts;
}

std::optional<std::string> contrastSetError(const std::vector<Contrast>& contrasts) {
  std::unordered_set<std::string_view> names;
  for (const Contrast& contrast : contrasts) {
    if (!names.insert(contrast.name).second) {
      return "contrast \"" + contrast.name + "\" is given twice";
    }
  }
  if (contrasts.size() > kMostContrasts) {
    return std::to_string(contrasts.size()) + " contrasts are asked; at most " +
           std::to_string(kMostContrasts) + " are taken at once";
  }
  const std::size_t weighed = contrastedNames(contrasts).size();
  if (weighed > kMostContrastedNames) {
    return "the contrasts weigh " + std::to_string(weighed) + " predictor names; at most " +
           std::to_string(kMostContrastedNames) + " are taken at once";
  }
  return std::nullopt;
}

std::vector<std::string> contrastedNames(const std::vector<Contrast>& contrasts) {
  std::vector<std::string> names;
  std::unordered_set<std::string_view> seen;
  for (const Contrast& contrast : contrasts) {
    for (const auto& weight : contrast.weights) {
      if (seen.insert(weight.first).second) names.push_back(weight.first);
    }
  }
  return names;
}

}  // namespace kelvora::analysis
