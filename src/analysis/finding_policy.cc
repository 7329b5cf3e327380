#include "analysis/finding_policy.h"

#include <algorithm>
#include <cstring>

#include "analysis/contrast_study.h"
#include "analysis/design_warnings.h"
#include "analysis/finding_record.h"
#include "analysis/further_finding.h"
#include "analysis/study_designs.h"
#include "inspection/run_outcome.h"

namespace kelvora::analysis {
namespace {

constexpr PolicyAction kByPrecedence[] = {PolicyAction::kIgnore, PolicyAction::kError,
                                          PolicyAction::kWarning, PolicyAction::kNote};

bool isSeparator(char c) { return c == '/' || c == '\\'; }

// Whether all of `glob` matches all of `text`: a table over the two lengths, so a glob of many
// stars costs no more than any other.
bool wholeMatch(std::string_view glob, std::string_view text) {
  const std::size_t width = text.size() + 1;
  // matched[i * width + j]: glob[i..] matches text[j..].
  std::vector<char> matched((glob.size() + 1) * width, 0);
  matched[glob.size() * width + text.size()] = 1;
  for (std::size_t i = glob.size(); i-- > 0;) {
    const bool across = glob[i] == '*' && i + 1 < glob.size() && glob[i + 1] == '*';
    const std::size_t next = across ? i + 2 : i + 1;
    for (std::size_t j = text.size() + 1; j-- > 0;) {
      bool result = false;
      if (glob[i] == '*') {
        // Nothing more of the text, or one more character that the star may take.
        result =
            matched[next * width + j] ||
            (j < text.size() && (across || !isSeparator(text[j])) && matched[i * width + j + 1]);
      } else if (j < text.size()) {
        const bool same = glob[i] == '?'         ? !isSeparator(text[j])
                          : isSeparator(glob[i]) ? isSeparator(text[j])
                                                 : glob[i] == text[j];
        result = same && matched[(i + 1) * width + j + 1];
      }
      matched[i * width + j] = result;
    }
  }
  return matched[0] != 0;
}

bool ruleMatches(const PolicyRule& rule, std::string_view code, std::string_view file) {
  if (rule.code != code) return false;
  if (!rule.fileGlob) return true;
  return !file.empty() && fileGlobMatches(*rule.fileGlob, file);
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

std::optional<PolicyAction> FindingPolicy::actionFor(std::string_view code,
                                                     std::string_view file) const {
  for (const PolicyAction action : kByPrecedence) {
    for (const PolicyRule& rule : of(action)) {
      if (ruleMatches(rule, code, file)) return action;
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

bool fileGlobMatches(std::string_view glob, std::string_view path) {
  const bool hasSeparator = std::any_of(glob.begin(), glob.end(), isSeparator);
  if (!hasSeparator) {
    const auto last = std::find_if(path.rbegin(), path.rend(), isSeparator);
    return wholeMatch(glob, path.substr(static_cast<std::size_t>(path.rend() - last)));
  }
  if (wholeMatch(glob, path)) return true;
  if (isSeparator(glob.front())) return false;
  for (std::size_t at = 0; at < path.size(); ++at) {
    if (isSeparator(path[at]) && wholeMatch(glob, path.substr(at + 1))) return true;
  }
  return false;
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
