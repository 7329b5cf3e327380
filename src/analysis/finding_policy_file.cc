#include "analysis/finding_policy_file.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <utility>

namespace kelvora::analysis {
namespace {

using Json = nlohmann::ordered_json;

constexpr PolicyAction kActions[] = {PolicyAction::kIgnore, PolicyAction::kError,
                                     PolicyAction::kWarning, PolicyAction::kNote};

// 1-based line of the byte at `offset` (0-based) of `text`.
std::size_t lineAt(std::string_view text, std::size_t offset) {
  offset = std::min(offset, text.size());
  return 1 + static_cast<std::size_t>(std::count(text.begin(), text.begin() + offset, '\n'));
}

// The line where `value` is first written in `text`, as JSON writes it; 1 when it is written
// otherwise (with escapes).
std::size_t lineOf(std::string_view text, const Json& value) {
  const std::string written = value.dump();
  const std::size_t at = text.find(written);
  return at == std::string_view::npos ? 1 : lineAt(text, at);
}

// The reason of a parse error without the library's prefix and its own position.
std::string parseReason(const std::string& message) {
  const std::size_t at = message.find("syntax error");
  return at == std::string::npos ? message : message.substr(at);
}

bool failAt(std::size_t line, const std::string& reason, std::string& error) {
  error = "line " + std::to_string(line) + ": " + reason;
  return false;
}

// The offset of the first '[' or '{' (outside strings) that opens a level deeper than
// kMostPolicyDepth; npos when there is none. One pass, so that the recursive parser is never
// given a text that would exhaust the stack; brackets out of balance are the parser's to tell.
std::size_t tooDeepAt(std::string_view text) {
  std::size_t depth = 0;
  bool inString = false;
  for (std::size_t at = 0; at < text.size(); ++at) {
    const char c = text[at];
    if (inString) {
      if (c == '\\') {
        ++at;  // the escaped character cannot end the string
      } else if (c == '"') {
        inString = false;
      }
    } else if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      if (++depth > kMostPolicyDepth) return at;
    } else if ((c == ']' || c == '}') && depth > 0) {
      --depth;
    }
  }
  return std::string_view::npos;
}

bool readRule(std::string_view text, const Json& item, PolicyRule& rule, std::string& error) {
  const Json* code = &item;
  if (item.is_object()) {
    for (const auto& [key, value] : item.items()) {
      if (key != "code" && key != "file" && key != "predictor" && key != "role") {
        return failAt(lineOf(text, Json(key)), "unknown key \"" + key + "\" in a rule", error);
      }
      if (!value.is_string()) {
        return failAt(lineOf(text, Json(key)), "\"" + key + "\" is not a string", error);
      }
    }
    if (!item.contains("code")) {
      const Json first = item.empty() ? item : Json(item.begin().key());
      return failAt(lineOf(text, first), "a rule without \"code\"", error);
    }
    code = &item.at("code");
    if (item.contains("file")) rule.fileGlob = item.at("file").get<std::string>();
    if (item.contains("predictor")) rule.predictorGlob = item.at("predictor").get<std::string>();
    if (item.contains("role")) {
      const std::string role = item.at("role").get<std::string>();
      if (role != predictorRoleName(PredictorRole::kInterest) &&
          role != predictorRoleName(PredictorRole::kConfound)) {
        return failAt(lineOf(text, Json(role)),
                      "unknown role \"" + role + "\" (roles: interest, confound)", error);
      }
      rule.role = role == predictorRoleName(PredictorRole::kInterest) ? PredictorRole::kInterest
                                                                      : PredictorRole::kConfound;
    }
  } else if (!item.is_string()) {
    return failAt(lineOf(text, item), "a rule is a code or an object with \"code\"", error);
  }
  rule.code = code->get<std::string>();
  if (!isKnownFindingCode(rule.code)) {
    return failAt(lineOf(text, *code), "unknown code \"" + rule.code + "\"", error);
  }
  for (const auto& [key, glob] : {std::pair{"file", &rule.fileGlob},
                                  std::pair{"predictor", &rule.predictorGlob}}) {
    if (*glob && (*glob)->empty()) {
      return failAt(lineOf(text, *code), std::string("an empty \"") + key + "\" glob", error);
    }
    if (*glob && (*glob)->size() > kMostGlobBytes) {
      return failAt(lineOf(text, *code),
                    std::string("a \"") + key + "\" glob longer than " +
                        std::to_string(kMostGlobBytes) + " bytes",
                    error);
    }
  }
  return true;
}

}  // namespace

bool addPolicyConfig(std::string_view text, FindingPolicy& policy, std::string& error) {
  if (text.size() > kMaxPolicyFileBytes) {
    return failAt(1, "the config is larger than " + std::to_string(kMaxPolicyFileBytes) + " bytes",
                  error);
  }
  if (const std::size_t deep = tooDeepAt(text); deep != std::string_view::npos) {
    return failAt(lineAt(text, deep),
                  "nested deeper than " + std::to_string(kMostPolicyDepth) + " levels", error);
  }
  Json config;
  try {
    config = Json::parse(text.begin(), text.end());
  } catch (const Json::parse_error& failure) {
    return failAt(lineAt(text, failure.byte == 0 ? 0 : failure.byte - 1),
                  parseReason(failure.what()), error);
  }
  if (!config.is_object()) {
    return failAt(1, "the config is not an object of \"ignore\", \"error\", \"warning\", \"note\"",
                  error);
  }
  FindingPolicy added = policy;
  for (const auto& [key, rules] : config.items()) {
    const auto* action = std::find_if(std::begin(kActions), std::end(kActions),
                                      [&](PolicyAction a) { return key == policyActionName(a); });
    if (action == std::end(kActions)) {
      return failAt(lineOf(text, Json(key)),
                    "unknown key \"" + key + "\" (keys: ignore, error, warning, note)", error);
    }
    if (!rules.is_array()) {
      return failAt(lineOf(text, Json(key)), "\"" + key + "\" is not a list of rules", error);
    }
    for (const Json& item : rules) {
      PolicyRule rule;
      if (!readRule(text, item, rule, error)) return false;
      added.of(*action).push_back(std::move(rule));
    }
  }
  policy = std::move(added);
  return true;
}

bool addIgnoredCode(const std::string& code, FindingPolicy& policy, std::string& error) {
  if (!isKnownFindingCode(code)) {
    error = "unknown code \"" + code + "\"";
    return false;
  }
  policy.of(PolicyAction::kIgnore).push_back(PolicyRule{code, std::nullopt});
  return true;
}

std::string policyConfigText(const FindingPolicy& policy) {
  Json config = Json::object();
  for (const PolicyAction action : kActions) {
    Json rules = Json::array();
    for (const PolicyRule& rule : policy.of(action)) {
      Json item{{"code", rule.code}};
      if (rule.fileGlob) item["file"] = *rule.fileGlob;
      if (rule.predictorGlob) item["predictor"] = *rule.predictorGlob;
      if (rule.role) item["role"] = predictorRoleName(*rule.role);
      rules.push_back(std::move(item));
    }
    config[policyActionName(action)] = std::move(rules);
  }
  return config.dump(2) + "\n";
}

}  // namespace kelvora::analysis
