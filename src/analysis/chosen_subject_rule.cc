#include "analysis/chosen_subject_rule.h"

#include <cctype>
#include <utility>

#include "inspection/subjects.h"

namespace kelvora::analysis {
namespace {

constexpr std::string_view kFolderPrefix = "folder:";
constexpr std::string_view kRegexPrefix = "regex:";
constexpr std::string_view kBidsEntity = "sub-";
constexpr std::size_t kMostLevelDigits = 9;

bool isSeparator(char c) { return c == '/' || c == '\\'; }

bool startsWith(std::string_view text, std::string_view start) {
  return text.substr(0, start.size()) == start;
}

// The last "sub-<label>" entity of `path`, or "".
std::string bidsSubjectOf(std::string_view path) {
  std::string found;
  for (std::size_t at = path.find(kBidsEntity); at != std::string_view::npos;
       at = path.find(kBidsEntity, at + 1)) {
    if (at > 0 && !isSeparator(path[at - 1]) && path[at - 1] != '_') continue;
    std::size_t end = at + kBidsEntity.size();
    while (end < path.size() && std::isalnum(static_cast<unsigned char>(path[end]))) ++end;
    if (end > at + kBidsEntity.size()) found = std::string(path.substr(at, end - at));
  }
  return found;
}

// The name of the folder `level` levels up from the file, or "" when the path has fewer.
std::string folderSubjectOf(std::string_view path, std::size_t level) {
  constexpr std::size_t kNone = std::string_view::npos;
  const auto lastSeparatorBefore = [path](std::size_t end) {
    return end == 0 ? kNone : path.find_last_of("/\\", end - 1);
  };
  std::size_t end = path.size();  // path[0, end) ends with the name wanted
  for (std::size_t up = 0; up < level; ++up) {
    end = lastSeparatorBefore(end);
    if (end == kNone) return "";
  }
  const std::size_t separator = lastSeparatorBefore(end);
  const std::size_t start = separator == kNone ? 0 : separator + 1;
  return std::string(path.substr(start, end - start));
}

std::string regexSubjectOf(std::string_view path, const LinearRegex& regex) {
  if (path.size() > kMostRegexPathBytes) return "";
  return std::string(regex.searchGroup(path, 1).value_or(std::string_view()));
}

std::string subjectByRule(const SubjectRule& rule, std::string_view path) {
  switch (rule.kind) {
    case SubjectRuleKind::kPrefix:
      return subjectIdOf(path);
    case SubjectRuleKind::kBids:
      return bidsSubjectOf(path);
    case SubjectRuleKind::kFolder:
      return folderSubjectOf(path, rule.folderLevel);
    case SubjectRuleKind::kRegex:
      return regexSubjectOf(path, *rule.regex);
  }
  return "";
}

}  // namespace

std::optional<SubjectRule> parseSubjectRule(std::string_view text, std::string& error) {
  SubjectRule rule;
  rule.text = std::string(text);
  if (text == "prefix") return rule;
  if (text == "bids") {
    rule.kind = SubjectRuleKind::kBids;
    return rule;
  }
  if (startsWith(text, kFolderPrefix)) {
    const std::string_view level = text.substr(kFolderPrefix.size());
    const bool digits = !level.empty() && level.size() <= kMostLevelDigits &&
                        level.find_first_not_of("0123456789") == std::string_view::npos;
    rule.kind = SubjectRuleKind::kFolder;
    rule.folderLevel = digits ? std::stoul(std::string(level)) : 0;
    if (rule.folderLevel >= 1) return rule;
    error = "folder:N takes a whole number N from 1 (1: the file's own folder), not \"" +
            std::string(level) + "\"";
    return std::nullopt;
  }
  if (startsWith(text, kRegexPrefix)) {
    rule.kind = SubjectRuleKind::kRegex;
    std::optional<LinearRegex> regex =
        LinearRegex::compile(text.substr(kRegexPrefix.size()), error);
    if (!regex) {
      error = "the expression does not compile: " + error;
      return std::nullopt;
    }
    if (regex->groupCount() == 1) {
      rule.regex = std::make_shared<const LinearRegex>(std::move(*regex));
      return rule;
    }
    error = "the expression must have exactly one capture group (the subject); it has " +
            std::to_string(regex->groupCount());
    return std::nullopt;
  }
  error = "unknown rule \"" + std::string(text) + "\" (prefix, bids, folder:N or regex:EXPR)";
  return std::nullopt;
}

ChosenSubjects chooseSubjects(const SubjectRule& rule, const PathList& functionalPaths,
                              std::size_t studyCount) {
  ChosenSubjects chosen;
  chosen.ids = subjectIdsOf(functionalPaths, studyCount);
  if (rule.kind == SubjectRuleKind::kPrefix) return chosen;
  for (std::size_t i = 0; i < studyCount && i < functionalPaths.size(); ++i) {
    std::string subject = subjectByRule(rule, functionalPaths[i]);
    if (!subject.empty()) {
      chosen.ids[i] = std::move(subject);
    } else if (chosen.unplaced++ == 0) {
      chosen.unplacedExample = std::string(functionalPaths[i]);
    }
  }
  return chosen;
}

}  // namespace kelvora::analysis
