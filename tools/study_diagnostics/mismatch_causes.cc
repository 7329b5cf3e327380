#include "mismatch_causes.h"

#include <algorithm>
#include <string>

#include "designmatrix/path_names.h"
#include "inspection/prevailing_value.h"

namespace kelvora::diagnostics {
namespace {

using Names = std::vector<std::string>;

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isAlnum(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || byte >= 0x80;
}
char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string lowered(std::string_view name) {
  std::string result(name);
  std::transform(result.begin(), result.end(), result.begin(), lower);
  return result;
}

// Leading and trailing blanks dropped, runs of blanks made one.
std::string blanksTidied(std::string_view name) {
  std::string result;
  for (const char c : name) {
    if (isBlank(c)) {
      if (!result.empty() && result.back() != ' ') result += ' ';
    } else {
      result += c;
    }
  }
  if (!result.empty() && result.back() == ' ') result.pop_back();
  return result;
}

std::string lettersAndDigits(std::string_view name) {
  std::string result;
  for (const char c : name) {
    if (isAlnum(c)) result += c;
  }
  return result;
}

std::string blanksDescribed(std::string_view found) {
  std::vector<std::string> kinds;
  if (!found.empty() && isBlank(found.front())) kinds.emplace_back("a leading blank");
  if (!found.empty() && isBlank(found.back())) kinds.emplace_back("a trailing blank");
  for (std::size_t i = 1; i < found.size(); ++i) {
    if (isBlank(found[i]) && isBlank(found[i - 1]) &&
        found.find_first_not_of(" \t", i) != std::string_view::npos &&
        found.find_last_not_of(" \t", i) != std::string_view::npos) {
      kinds.emplace_back("doubled blanks");
      break;
    }
  }
  if (kinds.empty()) return "blanks";
  std::string text = kinds.front();
  for (std::size_t i = 1; i < kinds.size(); ++i) text += " and " + kinds[i];
  return text;
}

std::size_t typoLimit(std::string_view a, std::string_view b) {
  const std::size_t shorter = std::min(a.size(), b.size());
  return shorter < 4 ? 0 : shorter < 8 ? 1 : 2;
}

// `names`: an SDM's (PredictorNameList) or the prevailing ones (Names).
template <typename NameList>
std::string nameAt(const NameList& names, std::int64_t j) {
  return j >= 0 && j < static_cast<std::int64_t>(names.size())
             ? std::string(names[static_cast<std::size_t>(j)])
             : kUnreadPredictorName;
}

// The prevailing name of each column 0 to columns - 1 among `sdms`.
Names prevailingNames(const std::vector<const SdmSummary*>& sdms, std::int64_t columns) {
  Names prevailing;
  for (std::int64_t j = 0; j < columns; ++j) {
    std::vector<std::string_view> names;
    for (const SdmSummary* sdm : sdms) {
      names.emplace_back(j < static_cast<std::int64_t>(sdm->names.size())
                             ? std::string_view(sdm->names[static_cast<std::size_t>(j)])
                             : std::string_view(kUnreadPredictorName));
    }
    prevailing.push_back(prevailingName(std::move(names)));
  }
  return prevailing;
}

// True when found[from + shift ...] equals prevailing[from ...] over `count` names (shift may be
// negative), and at least one name is compared.
bool shiftedMatch(const PredictorNameList& found, const Names& prevailing, std::int64_t from,
                  std::int64_t to, std::int64_t shift) {
  if (from >= to) return false;
  for (std::int64_t j = from; j < to; ++j) {
    if (nameAt(found, j + shift) != nameAt(prevailing, j)) return false;
  }
  return true;
}

std::string predictorText(std::int64_t index, std::string_view name) {
  return "predictor " + std::to_string(index + 1) + " " + visible(name);
}

MismatchCause cause(const SdmSummary& sdm, CauseCode code, std::string text) {
  return MismatchCause{sdm.path, std::nullopt, code, fileNameOf(sdm.path) + ": " + text};
}

// The cause that explains the whole list of `sdm` from its first disagreeing predictor `k` on.
std::optional<MismatchCause> shiftCause(const SdmSummary& sdm, const Names& prevailing,
                                        std::int64_t k, std::int64_t n) {
  if (shiftedMatch(sdm.names, prevailing, k + 1, n, -1)) {
    return cause(sdm, CauseCode::kMissingPredictor,
                 "probably " + predictorText(k, prevailing[static_cast<std::size_t>(k)]) +
                     " is missing, so the names after it are shifted by one");
  }
  if (shiftedMatch(sdm.names, prevailing, k, n, 1)) {
    return cause(sdm, CauseCode::kExtraPredictor,
                 "probably " + predictorText(k, nameAt(sdm.names, k)) +
                     " is extra, so the names after it are shifted by one");
  }
  return std::nullopt;
}

std::optional<MismatchCause> nameCause(const SdmSummary& sdm, const Names& prevailing,
                                       std::int64_t k, std::int64_t n) {
  const std::string found = nameAt(sdm.names, k);
  const std::string& wanted = prevailing[static_cast<std::size_t>(k)];
  const std::string pair =
      visible(found) + " for " + visible(wanted) + " (predictor " + std::to_string(k + 1) + ")";
  for (std::int64_t m = 0; m < n; ++m) {
    if (m != k && found == prevailing[static_cast<std::size_t>(m)] &&
        nameAt(sdm.names, m) == wanted) {
      return cause(sdm, CauseCode::kSwapped,
                   "probably predictors " + std::to_string(std::min(k, m) + 1) + " and " +
                       std::to_string(std::max(k, m) + 1) + " are swapped: " + pair);
    }
  }
  if (lowered(found) == lowered(wanted)) {
    return cause(sdm, CauseCode::kCaseOnly, pair + " differs in case only");
  }
  if (blanksTidied(found) == blanksTidied(wanted)) {
    return cause(sdm, CauseCode::kBlanksOnly,
                 pair + " differs only in blanks: " + blanksDescribed(found));
  }
  if (lettersAndDigits(found) == lettersAndDigits(wanted)) {
    return cause(sdm, CauseCode::kPunctuationOnly, pair + " differs only in punctuation");
  }
  const std::size_t limit = typoLimit(found, wanted);
  if (limit > 0 && editDistance(found, wanted, limit) <= limit) {
    return cause(sdm, CauseCode::kTypo, pair + " is probably a typo");
  }
  return std::nullopt;
}

}  // namespace

std::size_t editDistance(std::string_view a, std::string_view b, std::size_t limit) {
  const std::size_t gap = a.size() > b.size() ? a.size() - b.size() : b.size() - a.size();
  if (gap > limit) return limit + 1;
  // Three rows of the table: i - 2, i - 1 and i.
  std::vector<std::size_t> before(b.size() + 1), previous(b.size() + 1), row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) previous[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    row[0] = i;
    std::size_t best = row[0];
    for (std::size_t j = 1; j <= b.size(); ++j) {
      row[j] = std::min(
          {previous[j] + 1, row[j - 1] + 1, previous[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
        row[j] = std::min(row[j], before[j - 2] + 1);  // two neighbours swapped
      }
      best = std::min(best, row[j]);
    }
    if (best > limit) return limit + 1;
    std::swap(before, previous);
    std::swap(previous, row);
  }
  return std::min(previous[b.size()], limit + 1);
}

std::vector<MismatchCause> nameCauses(const std::vector<const SdmSummary*>& sdms, std::int64_t n) {
  std::vector<MismatchCause> causes;
  if (n <= 0 || sdms.empty()) return causes;
  const Names prevailing = prevailingNames(sdms, n);
  for (const SdmSummary* sdm : sdms) {
    std::optional<MismatchCause> shift;
    bool shiftTried = false;
    for (std::int64_t k = 0; k < n; ++k) {
      if (nameAt(sdm->names, k) == prevailing[static_cast<std::size_t>(k)]) continue;
      if (!shiftTried) {
        shift = shiftCause(*sdm, prevailing, k, n);
        shiftTried = true;
      }
      std::optional<MismatchCause> found = shift ? shift : nameCause(*sdm, prevailing, k, n);
      if (!found) continue;
      found->predictorNumber = k + 1;
      causes.push_back(std::move(*found));
    }
  }
  return causes;
}

std::vector<MismatchCause> countCauses(const std::vector<const SdmSummary*>& sdms, std::int64_t n) {
  std::vector<MismatchCause> causes;
  std::vector<const SdmSummary*> prevailingSdms;
  std::int64_t columns = 0;
  for (const SdmSummary* sdm : sdms) {
    if (sdm->interestCount != n) continue;
    prevailingSdms.push_back(sdm);
    columns = std::max(columns, static_cast<std::int64_t>(sdm->names.size()));
  }
  if (prevailingSdms.empty() || n < 0) return causes;
  const Names prevailing = prevailingNames(prevailingSdms, std::min(columns, n + 1));
  for (const SdmSummary* sdm : sdms) {
    const std::int64_t count = sdm->interestCount;
    if (count != n - 1 && count != n + 1) continue;
    const std::int64_t shorter = std::min(count, n);
    std::int64_t first = 0;  // the first name of interest that differs
    while (first < shorter && nameAt(sdm->names, first) == nameAt(prevailing, first)) ++first;
    const bool sameNames = first == shorter && nameAt(sdm->names, n) == nameAt(prevailing, n) &&
                           nameAt(sdm->names, n - 1) == nameAt(prevailing, n - 1);
    if (sameNames) {
      const std::int64_t boundary = std::min(count, n);
      causes.push_back(cause(*sdm, CauseCode::kConfoundBoundary,
                             "FirstConfoundPredictor is probably one too " +
                                 std::string(count < n ? "small" : "large") + ": " +
                                 predictorText(boundary, nameAt(sdm->names, boundary)) +
                                 " is taken for " +
                                 (count < n ? "a confound" : "a predictor of interest")));
    } else if (count == n - 1 && shiftedMatch(sdm->names, prevailing, first + 1, n + 1, -1)) {
      causes.push_back(
          cause(*sdm, CauseCode::kMissingPredictor,
                "probably " + predictorText(first, nameAt(prevailing, first)) + " is missing"));
    } else if (count == n + 1 && shiftedMatch(sdm->names, prevailing, first, n + 1, 1)) {
      causes.push_back(
          cause(*sdm, CauseCode::kExtraPredictor,
                "probably " + predictorText(first, nameAt(sdm->names, first)) + " is extra"));
    }
  }
  return causes;
}

}  // namespace kelvora::diagnostics
