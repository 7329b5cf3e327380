// The config file of a finding policy (finding_policy.h), in JSON:
//   {"ignore": [{"code": "HIGH_VIF", "file": "sub-*_run-3.sdm"}, "ZERO_CONFOUND"],
//    "warning": [...], "error": [...], "note": [...]}
// Every key is optional; a rule is an object with "code" and optionally "file" (a glob),
// "predictor" (a glob on the names of the predictors it names) and "role" ("interest" or
// "confound"), or a code alone as a string: {"code": "NEAR_DEPENDENT_DESIGN", "role": "confound"}. An unknown key, a rule without a code, a code that no finding carries
// and a value of another type are refused, as a misspelt policy would silently change nothing.
// The config is read whole; it is small (kMaxPolicyFileBytes), and so is everything made of it.
// Its nesting is bounded too (kMostPolicyDepth): the JSON parser recurses once per level, so a file
// of a few KiB of '[' would otherwise overflow the stack; a config needs three levels.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "analysis/finding_policy.h"

namespace kelvora::analysis {

inline constexpr std::size_t kMaxPolicyFileBytes = 1 << 20;
inline constexpr std::size_t kMostPolicyDepth = 32;

// Adds the rules of the config `text` to `policy`. True when it parses and every rule is sound;
// false with `error` saying where and why ("line 3: unknown code \"HIGH_VIFF\""), and `policy`
// then unchanged. The line of a rule's mistake is that of its first mention in the text. A text
// longer than kMaxPolicyFileBytes, or nested deeper than kMostPolicyDepth arrays and objects, is
// refused before it is parsed, and so is a "file" or "predictor" glob longer than kMostGlobBytes. Never throws
// except std::bad_alloc.
bool addPolicyConfig(std::string_view text, FindingPolicy& policy, std::string& error);

// Adds an ignore rule for `code` on every file. False, with `error`, for a code no finding carries.
bool addIgnoredCode(const std::string& code, FindingPolicy& policy, std::string& error);

// The policy as a config that addPolicyConfig reads back to the same policy: every key, in the
// order ignore, error, warning, note, each rule an object; ends with a line end.
std::string policyConfigText(const FindingPolicy& policy);

}  // namespace kelvora::analysis
