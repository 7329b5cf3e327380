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

// Adds `weight` to the weight of `name` in `contrast`; `places` holds each name's place in it, so
// that an expression of thousands of terms is read in linear time.
void addWeight(Contrast& contrast, std::unordered_map<std::string_view, std::size_t>& places,
               std::string_view name, double weight) {
  const auto [place, added] = places.try_emplace(name, contrast.weights.size());
  if (added) {
    contrast.weights.emplace_back(name, weight);
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

// The next line of `text` (its end removed from `text`), without its LF or CRLF.
std::string_view nextLine(std::string_view& text) {
  const std::size_t end = std::min(text.find('\n'), text.size());
  std::string_view line = text.substr(0, end);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  text.remove_prefix(std::min(end + 1, text.size()));
  return line;
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

// The contrasts of one table as its rows come, sharing one copy of the header's names.
class TableContrasts {
 public:
  // Why the header's names cannot be taken, or nullopt when they are taken (copied once).
  std::optional<std::string> setPredictors(const std::vector<std::string_view>& names) {
    std::string joined;
    for (const std::string_view name : names) joined += name;
    auto shared = std::make_shared<std::string>(std::move(joined));
    predictors.clear();
    std::size_t at = 0;
    for (const std::string_view name : names) {
      if (name.empty()) return "a predictor name is empty";
      predictors.emplace_back(shared->data() + at, name.size());
      at += name.size();
    }
    std::vector<std::string_view> sorted = predictors;
    std::sort(sorted.begin(), sorted.end());
    const auto twice = std::adjacent_find(sorted.begin(), sorted.end());
    if (twice != sorted.end()) return "predictor \"" + std::string(*twice) + "\" is named twice";
    buffer = std::move(shared);
    return std::nullopt;
  }
  std::size_t predictorCount() const { return predictors.size(); }

  // Adds the contrast `name` of `weights` (per predictor, in header order; those absent are 0).
  // Why it cannot be, or nullopt when it is added.
  std::optional<std::string> add(std::string name,
                                 const std::vector<std::pair<std::size_t, double>>& weights) {
    if (contrasts.size() == kMostContrasts) {
      return "more than " + std::to_string(kMostContrasts) + " contrasts; at most " +
             std::to_string(kMostContrasts) + " are taken at once";
    }
    if (name.empty()) return "the contrast has no name";
    if (!names.insert(name).second) return "contrast \"" + name + "\" is named twice";
    Contrast contrast;
    contrast.name = std::move(name);
    contrast.names = buffer;
    contrast.weights.reserve(weights.size());
    // The header's names are distinct: each cell is a weight of its own.
    for (const auto& [predictor, weight] : weights) {
      contrast.weights.emplace_back(predictors[predictor], weight);
    }
    std::string reason;
    if (!dropZeroWeights(contrast, reason)) return reason;
    contrasts.push_back(std::move(contrast));
    return std::nullopt;
  }

  std::vector<Contrast> take() { return std::move(contrasts); }
  bool empty() const { return contrasts.empty(); }

 private:
  std::shared_ptr<const std::string> buffer;
  std::vector<std::string_view> predictors;  // views into `buffer`
  std::set<std::string> names;
  std::vector<Contrast> contrasts;
};

}  // namespace

std::optional<Contrast> parseContrastExpression(std::string_view text, std::string& error) {
  Contrast contrast;
  contrast.name = std::string(text);
  contrast.names = std::make_shared<const std::string>(text);
  text = *contrast.names;  // the names view the shared copy
  std::unordered_map<std::string_view, std::size_t> places;
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
    addWeight(contrast, places, term, weight);
    start = end;
  }
  if (!dropZeroWeights(contrast, error)) return std::nullopt;
  return contrast;
}

std::optional<std::vector<Contrast>> parseContrastTable(std::string_view text, std::string& error) {
  std::size_t line = 0;
  const auto fail = [&error, &line](const std::string& reason) {
    error = "line " + std::to_string(line) + ": " + reason;
    return std::nullopt;
  };
  ++line;
  const std::string_view headerLine = nextLine(text);
  std::vector<std::string_view> cells = splitCells(headerLine);
  if (cells.front() != "contrast") {
    // A table saved as CSV is the likeliest slip: say which separator the table takes.
    const bool commas = headerLine.find('\t') == std::string_view::npos &&
                        headerLine.find_first_of(",;") != std::string_view::npos;
    return fail(std::string(commas ? "the header is separated by commas or semicolons, but"
                                   : "the header does not begin with \"contrast\":") +
                " a contrast table is tab-separated (\"contrast\", then each predictor name "
                "after a tab)");
  }
  TableContrasts table;
  for (std::string_view& cell : cells) cell = trimmed(cell);
  cells.erase(cells.begin());
  if (const std::optional<std::string> reason = table.setPredictors(cells)) return fail(*reason);
  std::vector<std::pair<std::size_t, double>> weights;
  while (!text.empty()) {
    ++line;
    const std::string_view row = nextLine(text);
    if (trimmed(row).empty()) continue;
    cells = splitCells(row);
    if (cells.size() > table.predictorCount() + 1) return fail("more cells than the header");
    weights.clear();
    for (std::size_t i = 1; i < cells.size(); ++i) {
      if (trimmed(cells[i]).empty()) continue;
      const std::optional<double> weight = numberOf(cells[i]);
      if (!weight) return fail("\"" + std::string(cells[i]) + "\" is not a number");
      weights.emplace_back(i - 1, *weight);
    }
    if (const std::optional<std::string> reason =
            table.add(std::string(trimmed(cells[0])), weights)) {
      return fail(*reason);
    }
  }
  if (table.empty()) return fail("the table holds no contrast");
  return table.take();
}

std::optional<std::vector<Contrast>> contrastsOfCells(const std::vector<std::string>& predictors,
                                                      const std::vector<ContrastRow>& rows,
                                                      std::string& error) {
  TableContrasts table;
  if (const std::optional<std::string> reason = table.setPredictors(
          std::vector<std::string_view>(predictors.begin(), predictors.end()))) {
    error = "header: " + *reason;
    return std::nullopt;
  }
  std::vector<std::pair<std::size_t, double>> weights;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const auto fail = [&error, r](const std::string& reason) {
      error = "row " + std::to_string(r + 1) + ": " + reason;
      return std::nullopt;
    };
    if (rows[r].weights.size() != predictors.size()) return fail("not one weight per predictor");
    weights.clear();
    for (std::size_t i = 0; i < predictors.size(); ++i) {
      const double weight = rows[r].weights[i];
      if (std::isnan(weight)) continue;
      if (!std::isfinite(weight)) {
        return fail("the weight of predictor \"" + predictors[i] + "\" is not finite");
      }
      weights.emplace_back(i, weight);
    }
    if (const std::optional<std::string> reason = table.add(rows[r].name, weights)) {
      return fail(*reason);
    }
  }
  if (table.empty()) {
    error = "the table holds no contrast";
    return std::nullopt;
  }
  return table.take();
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
      if (seen.insert(weight.first).second) names.emplace_back(weight.first);
    }
  }
  return names;
}

}  // namespace kelvora::analysis
