// A lab's policy over kelvora's findings: which findings it ignores, and which it reports at
// another severity than kelvora's own. The record of all findings applies it (finding_record.h),
// so the lines on standard error, the JSON members "allFindings" and "designFindings", kelvora's
// section of the findings file and the exit status all see one result; the run's log lines and
// its part of the findings file are the plug-in's, and stay as they are.
//
// A rule names a finding code and, optionally, a glob on the finding's file, and selectors of the
// predictors it names: a glob on their names and a role (of interest, or confound: the constant
// is a confound). A finding that names several predictors (a dependency, a correlated pair)
// matches the selectors when every one of them does; one that names none (or is not about a
// design: the selectors apply to RANK_DEFICIENT_DESIGN, NEAR_DEPENDENT_DESIGN,
// PREDICTOR_CORRELATION and HIGH_VIF) never matches a rule with a selector. A name glob is the
// file glob's without separators: `*` any text, `?` one character. Of the rules that
// match a finding, ignore wins over error, error over warning, warning over note, whatever their
// order. Globs: `*` is any text within one path component, `**` any text across components, `?`
// one character but a separator; '/' and '\' both separate; letters are compared as they are. A
// glob without a separator matches the file name; one with a separator matches the whole path or
// any trailing part of it that begins at a component. A rule with a glob never matches a finding
// without a file (a subject's finding, NO_STUDIES).
//
// Cost: deciding one finding compares its code with every rule, and matches the globs of the rules
// with its code in one pass over the path, O(path length x (glob length / 64 + 1)) time and
// O(glob length) memory; a config's globs are at most kMostGlobBytes long (finding_policy_file.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/record_severity.h"

namespace kelvora::analysis {

inline constexpr std::size_t kMostGlobBytes = 1024;

enum class PolicyAction { kIgnore, kError, kWarning, kNote };

enum class PredictorRole { kInterest, kConfound };

struct PolicyRule {
  std::string code;
  std::optional<std::string> fileGlob;       // none: every file, and findings without one
  std::optional<std::string> predictorGlob;  // none: any predictor, and findings without one
  std::optional<PredictorRole> role;         // none: either role, and findings without one
};

// A predictor that a finding names, as the selectors see it.
struct PolicyPredictor {
  std::string name;  // file bytes
  PredictorRole role = PredictorRole::kInterest;
};

struct FindingPolicy {
  // Indexed by PolicyAction: the rules of "ignore", "error", "warning", "note".
  std::vector<PolicyRule> rules[4];

  bool empty() const;
  std::vector<PolicyRule>& of(PolicyAction action) { return rules[static_cast<int>(action)]; }
  const std::vector<PolicyRule>& of(PolicyAction action) const {
    return rules[static_cast<int>(action)];
  }

  // The action of the winning rule for a finding of `code` about `file` (empty: none) that names
  // `predictors`; none when no rule matches.
  std::optional<PolicyAction> actionFor(std::string_view code, std::string_view file,
                                        const std::vector<PolicyPredictor>& predictors = {}) const;
};

struct SdmDesign;  // study_designs.h

// The predictors `columns` (0-based) of `design`, as a finding about them names them to the
// policy. May throw std::bad_alloc.
std::vector<PolicyPredictor> policyPredictorsOf(const SdmDesign& design,
                                                const std::vector<std::int32_t>& columns);

// "interest", "confound": the values of a rule's "role".
const char* predictorRoleName(PredictorRole role);

// "ignore", "error", "warning", "note": the keys of the config file.
const char* policyActionName(PolicyAction action);

// The severity that `action` gives.
RecordSeverity severityOf(PolicyAction action);

// True when `glob` matches `path` as the header describes.
bool fileGlobMatches(std::string_view glob, std::string_view path);
// True when the name glob `glob` matches all of `name`.
bool predictorGlobMatches(std::string_view glob, std::string_view name);

// Every code a finding of kelvora's record can carry, in no particular order.
const std::vector<std::string>& knownFindingCodes();
bool isKnownFindingCode(std::string_view code);

}  // namespace kelvora::analysis
