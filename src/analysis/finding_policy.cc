#include "analysis/finding_policy.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

#include "analysis/contrast_study.h"
#include "analysis/design_warnings.h"
#include "analysis/finding_record.h"
#include "analysis/further_finding.h"
#include "analysis/study_designs.h"
#include "analysis/summary_columns.h"
#include "inspection/run_outcome.h"

namespace kelvora::analysis {
namespace {

constexpr PolicyAction kByPrecedence[] = {PolicyAction::kIgnore, PolicyAction::kError,
                                          PolicyAction::kWarning, PolicyAction::kNote};

bool isSeparator(char c) { return c == '/' || c == '\\'; }

// A glob as a bit-parallel automaton: bit i of a state set means "the first i steps of the glob
// have matched the text so far". Each text byte moves the whole set at once, a few word operations
// per 64 steps, so a match costs O(text x (glob / 64 + 1)) whatever stars the glob holds.
class GlobAutomaton {
 public:
  // `paths`: '/' and '\' separate components; otherwise no byte does (a predictor's name).
  GlobAutomaton(std::string_view glob, bool paths) : paths(paths) {
    enum class Step { kByte, kSeparator, kOne, kStar, kAnyStar };
    std::vector<std::pair<Step, char>> steps;
    for (std::size_t i = 0; i < glob.size(); ++i) {
      if (glob[i] == '*') {
        const bool any = i + 1 < glob.size() && glob[i + 1] == '*';
        i += any ? 1 : 0;
        // Stars in a row match what their widest one matches: one step, so that a set needs only
        // one move to pass over a star that matches nothing.
        if (!steps.empty() &&
            (steps.back().first == Step::kStar || steps.back().first == Step::kAnyStar)) {
          if (any) steps.back().first = Step::kAnyStar;
          continue;
        }
        steps.emplace_back(any ? Step::kAnyStar : Step::kStar, '*');
      } else {
        steps.emplace_back(glob[i] == '?'                  ? Step::kOne
                           : separates(glob[i]) ? Step::kSeparator
                                                           : Step::kByte,
                           glob[i]);
      }
    }
    words = steps.size() / 64 + 1;
    final = steps.size();
    advances.assign(256 * words, 0);
    stays.assign(words, 0);
    anyStays.assign(words, 0);
    skips.assign(words, 0);
    ones.assign(words, 0);
    for (std::size_t i = 0; i < steps.size(); ++i) {
      const auto [step, byte] = steps[i];
      const std::uint64_t bit = std::uint64_t{1} << (i % 64);
      if (step == Step::kStar) stays[i / 64] |= bit;
      if (step == Step::kAnyStar) anyStays[i / 64] |= bit;
      if (step == Step::kStar || step == Step::kAnyStar) skips[i / 64] |= bit;
      // A step is set for the bytes it takes alone ('?' steps in `ones`), so that making the
      // automaton costs O(glob + 256 words), not 256 per step: a rule's glob is made for every
      // finding it is matched against.
      const auto take = [&](char c) {
        advances[static_cast<unsigned char>(c) * words + i / 64] |= bit;
      };
      if (step == Step::kByte) take(byte);
      if (step == Step::kSeparator) {
        take('/');
        take('\\');
      }
      if (step == Step::kOne) ones[i / 64] |= bit;
    }
  }

  // Whether the glob matches all of `text`, or (`atComponents`) all of a part of it that begins
  // where `text` or a component of it begins.
  bool matches(std::string_view text, bool atComponents) const {
    std::vector<std::uint64_t> set(words, 0);
    std::vector<std::uint64_t> next(words, 0);
    set[0] = 1;
    passStars(set);
    for (const char byte : text) {
      const auto c = static_cast<unsigned char>(byte);
      const std::uint64_t* advance = &advances[c * words];
      const bool separator = separates(byte);
      std::uint64_t carry = 0;
      for (std::size_t w = 0; w < words; ++w) {
        const std::uint64_t moved = set[w] & (advance[w] | (separator ? 0 : ones[w]));
        next[w] = (moved << 1) | carry | (set[w] & (anyStays[w] | (separator ? 0 : stays[w])));
        carry = moved >> 63;
      }
      if (separator && atComponents) next[0] |= 1;
      passStars(next);
      set.swap(next);
    }
    return (set[final / 64] >> (final % 64) & 1) != 0;
  }

 private:
  // Adds to `set` the steps after each star it holds: a star may match nothing.
  void passStars(std::vector<std::uint64_t>& set) const {
    std::uint64_t carry = 0;
    for (std::size_t w = 0; w < words; ++w) {
      const std::uint64_t passed = set[w] & skips[w];
      set[w] |= (passed << 1) | carry;
      carry = passed >> 63;
    }
  }

  bool separates(char c) const { return paths && isSeparator(c); }

  bool paths = true;
  std::size_t words = 1;
  std::size_t final = 0;                // the bit of a whole match
  std::vector<std::uint64_t> advances;  // per byte: the steps it moves past
  std::vector<std::uint64_t> stays;     // '*' steps: keep their bit on any byte but a separator
  std::vector<std::uint64_t> anyStays;  // "**" steps: keep their bit on any byte
  std::vector<std::uint64_t> skips;     // every star step
  std::vector<std::uint64_t> ones;      // '?' steps: move past any byte but a separator
};

bool ruleMatches(const PolicyRule& rule, std::string_view code, std::string_view file,
                 const std::vector<PolicyPredictor>& predictors) {
  if (rule.code != code) return false;
  if (rule.fileGlob && (file.empty() || !fileGlobMatches(*rule.fileGlob, file))) return false;
  if (!rule.predictorGlob && !rule.role) return true;
  if (predictors.empty()) return false;
  std::optional<GlobAutomaton> names;
  if (rule.predictorGlob) names.emplace(*rule.predictorGlob, false);
  return std::all_of(predictors.begin(), predictors.end(), [&](const PolicyPredictor& predictor) {
    return (!rule.role || *rule.role == predictor.role) &&
           (!names || names->matches(predictor.name, false));
  });
}

// Appends the names that `name` gives to 0, 1, ... until it gives none.
template <typename Code, typename Name>
void addNames(std::vector<std::string>& codes, Name name) {
  for (int value = 0; value < 256; ++value) {
    const char* text = name(static_cast<Code>(value));
    if (*text == '\0' || std::strcmp(text, "UNKNOWN") == 0) return;
    codes.emplace_back(text);
  }
}

}  // namespace

bool FindingPolicy::empty() const {
  return std::all_of(std::begin(rules), std::end(rules),
                     [](const std::vector<PolicyRule>& list) { return list.empty(); });
}

std::optional<PolicyAction> FindingPolicy::actionFor(
    std::string_view code, std::string_view file,
    const std::vector<PolicyPredictor>& predictors) const {
  for (const PolicyAction action : kByPrecedence) {
    for (const PolicyRule& rule : of(action)) {
      if (ruleMatches(rule, code, file, predictors)) return action;
    }
  }
  return std::nullopt;
}

const char* policyActionName(PolicyAction action) {
  switch (action) {
    case PolicyAction::kIgnore:
      return "ignore";
    case PolicyAction::kError:
      return "error";
    case PolicyAction::kWarning:
      return "warning";
    case PolicyAction::kNote:
      return "note";
  }
  return "";
}

RecordSeverity severityOf(PolicyAction action) {
  return action == PolicyAction::kError     ? RecordSeverity::kError
         : action == PolicyAction::kWarning ? RecordSeverity::kWarning
                                            : RecordSeverity::kNote;
}

std::vector<PolicyPredictor> policyPredictorsOf(const SdmDesign& design,
                                                const std::vector<std::int32_t>& columns) {
  std::vector<PolicyPredictor> predictors;
  for (const std::int32_t column : columns) {
    predictors.push_back({std::string(nameAt(design.names, column)),
                          column < design.interestCount ? PredictorRole::kInterest
                                                        : PredictorRole::kConfound});
  }
  return predictors;
}

const char* predictorRoleName(PredictorRole role) {
  return role == PredictorRole::kInterest ? "interest" : "confound";
}

bool predictorGlobMatches(std::string_view glob, std::string_view name) {
  return GlobAutomaton(glob, false).matches(name, false);
}

bool fileGlobMatches(std::string_view glob, std::string_view path) {
  const GlobAutomaton automaton(glob, true);
  if (std::none_of(glob.begin(), glob.end(), isSeparator)) {
    const auto last = std::find_if(path.rbegin(), path.rend(), isSeparator);
    return automaton.matches(path.substr(static_cast<std::size_t>(path.rend() - last)), false);
  }
  // A glob that begins with a separator matches from the path's start only.
  return automaton.matches(path, !isSeparator(glob.front()));
}

const std::vector<std::string>& knownFindingCodes() {
  static const std::vector<std::string> codes = [] {
    std::vector<std::string> all;
    addNames<FindingCode>(all, codeName);
    addNames<FurtherCode>(all, furtherCodeName);
    addNames<CauseCode>(all, causeCodeName);
    addNames<DependencyKind>(all, [](DependencyKind kind) {
      return kind <= DependencyKind::kNearDependent ? dependencyCodeName(kind) : "";
    });
    addNames<DesignWarningCode>(all, designWarningCodeName);
    addNames<ContrastCode>(all, contrastCodeName);
    all.emplace_back(kRankCheckSkippedCode);
    all.emplace_back(kDependenciesMoreCode);
    return all;
  }();
  return codes;
}

bool isKnownFindingCode(std::string_view code) {
  const std::vector<std::string>& codes = knownFindingCodes();
  return std::find(codes.begin(), codes.end(), code) != codes.end();
}

}  // namespace kelvora::analysis
