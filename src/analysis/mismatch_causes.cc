#include "analysis/mismatch_causes.h"

#include <algorithm>
#include <string>
#include <unordered_map>
#include <utility>

#include "analysis/summary_columns.h"
#include "designmatrix/path_names.h"
#include "inspection/prevailing_value.h"

namespace kelvora::analysis {
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

// True when found[j + shift] equals prevailing[j] for every j from `from` to `to` - 1 (shift may be
// negative), and at least one name is compared. Only the names the lists hold are compared: past
// both, either side is "NoName".
template <typename NameList>
bool shiftedMatch(const NameList& found, const Names& prevailing, std::int64_t from,
                  std::int64_t to, std::int64_t shift) {
  if (from >= to) return false;
  const std::int64_t held = std::max(static_cast<std::int64_t>(found.size()) - shift,
                                     static_cast<std::int64_t>(prevailing.size()));
  for (std::int64_t j = from; j < std::min(to, held); ++j) {
    if (nameAt(found, j + shift) != nameAt(prevailing, j)) return false;
  }
  return true;
}

// The disagreeing predictors of one SDM by their (prevailing name, name in the SDM), each pair with
// its first predictor: predictor k is swapped with the predictor of k's pair reversed.
using NamePair = std::pair<std::string_view, std::string_view>;
struct NamePairHash {
  std::size_t operator()(const NamePair& pair) const {
    const std::size_t first = std::hash<std::string_view>()(pair.first);
    return first ^
           (std::hash<std::string_view>()(pair.second) + 0x9e3779b9u + (first << 6) + (first >> 2));
  }
};
using FirstOfPair = std::unordered_map<NamePair, std::int64_t, NamePairHash>;

MismatchCause cause(const SdmSummary& sdm, CauseCode code, std::string text) {
  return MismatchCause{std::string(sdm.path), std::nullopt, code,
                       fileNameOf(sdm.path) + ": " + text};
}

// `found`, a cause told of `first`, told of `sdm`, which holds the same names.
MismatchCause retold(const MismatchCause& found, const SdmSummary& first, const SdmSummary& sdm) {
  if (&first == &sdm) return found;
  MismatchCause told = found;
  told.path = std::string(sdm.path);
  told.text = fileNameOf(sdm.path) + found.text.substr(fileNameOf(first.path).size());
  return told;
}

// The cause that explains the whole list of `sdm` from its first disagreeing predictor `k` on.
std::optional<MismatchCause> shiftCause(const SdmSummary& sdm, const Names& prevailing,
                                        std::int64_t k, std::int64_t n) {
  if (shiftedMatch(sdm.names, prevailing, k + 1, n, -1)) {
    return cause(sdm, CauseCode::kMissingPredictor,
                 "probably " + predictorPhrase(k, nameAt(prevailing, k)) +
                     " is missing, so the names after it are shifted by one");
  }
  if (shiftedMatch(sdm.names, prevailing, k, n, 1)) {
    return cause(sdm, CauseCode::kExtraPredictor,
                 "probably " + predictorPhrase(k, nameAt(sdm.names, k)) +
                     " is extra, so the names after it are shifted by one");
  }
  return std::nullopt;
}

std::optional<MismatchCause> nameCause(const SdmSummary& sdm, const Names& prevailing,
                                       const FirstOfPair& firstOf, std::int64_t k) {
  const std::string_view found = nameAt(sdm.names, k);
  const std::string_view wanted = nameAt(prevailing, k);
  const auto swapped = firstOf.find(NamePair{found, wanted});
  const bool examined =
      found.size() <= kMostNameBytesExamined && wanted.size() <= kMostNameBytesExamined;
  if (swapped == firstOf.end() && !examined) return std::nullopt;  // the one-name causes skip it
  const std::string pair =
      visible(found) + " for " + visible(wanted) + " (predictor " + std::to_string(k + 1) + ")";
  if (swapped != firstOf.end()) {
    const std::int64_t m = swapped->second;
    return cause(sdm, CauseCode::kSwapped,
                 "probably predictors " + std::to_string(std::min(k, m) + 1) + " and " +
                     std::to_string(std::max(k, m) + 1) + " are swapped: " + pair);
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

// The causes of the names of `sdm` that differ from the prevailing ones, by predictor.
std::vector<MismatchCause> causesOfList(const SdmSummary& sdm, const Names& prevailing,
                                        std::int64_t examined) {
  std::vector<MismatchCause> causes;
  std::vector<std::int64_t> disagreeing;
  for (std::int64_t k = 0; k < examined; ++k) {
    if (nameAt(sdm.names, k) != nameAt(prevailing, k)) disagreeing.push_back(k);
  }
  if (disagreeing.empty()) return causes;
  const std::optional<MismatchCause> shift =
      shiftCause(sdm, prevailing, disagreeing.front(), examined);
  FirstOfPair firstOf;
  if (!shift) {
    for (const std::int64_t k : disagreeing) {
      firstOf.emplace(NamePair{nameAt(prevailing, k), nameAt(sdm.names, k)}, k);
    }
  }
  for (const std::int64_t k : disagreeing) {
    std::optional<MismatchCause> found = shift ? shift : nameCause(sdm, prevailing, firstOf, k);
    if (!found) continue;
    found->predictorNumber = k + 1;
    causes.push_back(std::move(*found));
  }
  return causes;
}

}  // namespace

std::size_t editDistance(std::string_view a, std::string_view b, std::size_t limit) {
  const std::size_t gap = a.size() > b.size() ? a.size() - b.size() : b.size() - a.size();
  if (gap > limit) return limit + 1;
  // No distance exceeds the longer length: a larger limit would only widen the band.
  const std::size_t band = std::min(limit, std::max(a.size(), b.size()));
  const std::size_t beyond = band + 1;  // any distance past the band
  // Row i of the table holds the distances of a's first i bytes to b's first j bytes for j from
  // i - band to i + band, at j - i + band; beyond the band every distance exceeds it. Three rows:
  // i - 2, i - 1 and i.
  std::vector<std::size_t> before(2 * band + 1, beyond), previous(before), row(before);
  const auto at = [band, beyond, &b](const std::vector<std::size_t>& cells, std::size_t i,
                                     std::size_t j) {
    return j + band < i || j > i + band || j > b.size() ? beyond : cells[j + band - i];
  };
  for (std::size_t j = 0; j <= std::min(band, b.size()); ++j) previous[j + band] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t best = beyond;
    for (std::size_t j = i > band ? i - band : 0; j <= std::min(i + band, b.size()); ++j) {
      std::size_t distance = i;
      if (j > 0) {
        distance = std::min({at(previous, i - 1, j) + 1, at(row, i, j - 1) + 1,
                             at(previous, i - 1, j - 1) + (a[i - 1] == b[j - 1] ? 0 : 1)});
      }
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
        distance = std::min(distance, at(before, i - 2, j - 2) + 1);  // two neighbours swapped
      }
      row[j + band - i] = std::min(distance, beyond);
      best = std::min(best, row[j + band - i]);
    }
    if (best > band) return limit + 1;
    std::swap(before, previous);
    std::swap(previous, row);
  }
  const std::size_t distance = at(previous, a.size(), b.size());
  return distance > band ? limit + 1 : distance;
}

std::vector<MismatchCause> nameCauses(const std::vector<const SdmSummary*>& sdms, std::int64_t n,
                                      std::size_t most) {
  std::vector<MismatchCause> causes;
  const std::int64_t examined = examinedInterestCount(n, sdms);
  const Names prevailing = prevailingNamesOf(sdms, examined);
  // The causes of a list of names are those of the first SDM that holds it, told again of the
  // others: a list is compared with the prevailing names once, however often it is listed.
  std::unordered_map<const void*, std::pair<const SdmSummary*, std::vector<MismatchCause>>> byList;
  for (const SdmSummary* sdm : sdms) {
    const auto [entry, added] = byList.try_emplace(sdm->names.identity());
    auto& [first, listCauses] = entry->second;
    if (added) {
      first = sdm;
      listCauses = causesOfList(*sdm, prevailing, examined);
    }
    for (const MismatchCause& found : listCauses) {
      if (causes.size() >= most) return causes;
      causes.push_back(retold(found, *first, *sdm));
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
  const Names prevailing = prevailingNamesOf(prevailingSdms, std::min(columns, n + 1));
  for (const SdmSummary* sdm : sdms) {
    const std::int64_t count = sdm->interestCount;
    if (count != n - 1 && count != n + 1) continue;
    const std::int64_t shorter = std::min(count, n);
    // The first name of interest that differs; past the names either list holds none can.
    const std::int64_t held = std::min(
        shorter, static_cast<std::int64_t>(std::max(sdm->names.size(), prevailing.size())));
    std::int64_t first = 0;
    while (first < held && nameAt(sdm->names, first) == nameAt(prevailing, first)) ++first;
    if (first == held) first = shorter;
    const bool sameNames = first == shorter && nameAt(sdm->names, n) == nameAt(prevailing, n) &&
                           nameAt(sdm->names, n - 1) == nameAt(prevailing, n - 1);
    if (sameNames) {
      const std::int64_t boundary = std::min(count, n);
      causes.push_back(cause(*sdm, CauseCode::kConfoundBoundary,
                             "FirstConfoundPredictor is probably one too " +
                                 std::string(count < n ? "small" : "large") + ": " +
                                 predictorPhrase(boundary, nameAt(sdm->names, boundary)) +
                                 " is taken for " +
                                 (count < n ? "a confound" : "a predictor of interest")));
    } else if (count == n - 1 && shiftedMatch(sdm->names, prevailing, first + 1, n + 1, -1)) {
      causes.push_back(
          cause(*sdm, CauseCode::kMissingPredictor,
                "probably " + predictorPhrase(first, nameAt(prevailing, first)) + " is missing"));
    } else if (count == n + 1 && shiftedMatch(sdm->names, prevailing, first, n + 1, 1)) {
      causes.push_back(
          cause(*sdm, CauseCode::kExtraPredictor,
                "probably " + predictorPhrase(first, nameAt(sdm->names, first)) + " is extra"));
    }
  }
  return causes;
}

}  // namespace kelvora::analysis
