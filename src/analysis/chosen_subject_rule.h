// The subject rule kelvora groups a study's runs by (--subject-rule): the plug-in's own rule or
// one that finds the subject where the lab put it. The plug-in and its log always use the file-name
// prefix; kelvora's checks across a subject's runs, its uneven-runs finding and its subject table
// use the rule chosen here.
//
// Rules, each applied to a functional data path as the MDM lists it ('/' and '\' both separate):
// - prefix: the file name up to its first '_' (the plug-in's rule; places every path);
// - bids: "sub-<label>" where a folder or file name starts with "sub-" or has "_sub-", the label
//   being the letters and digits that follow; the last such entity in the path (the file name's
//   when it has one);
// - folder:N: the name of the folder N levels up (folder:1 is the file's own folder);
// - regex:EXPR: a regular expression with exactly one capture group, searched in the path; the
//   group is the subject. The syntax is ECMAScript's, less what only backtracking can match
//   (linear_regex.h tells what is taken and what is refused).
// A path the rule cannot place (no entity, too few folders, an empty folder name, no match or an
// empty group) keeps its file-name prefix subject, the log's.
//
// Cost: one pass over each path; regex: one search per path, O(program x path bytes) whatever the
// expression (linear_regex.h), on paths of at most kMostRegexPathBytes (a longer path is not
// placed, so that one path costs at most kMostRegexProgram x kMostRegexPathBytes steps).
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/linear_regex.h"
#include "designmatrix/path_list.h"

namespace kelvora::analysis {

inline constexpr std::size_t kMostRegexPathBytes = 4096;

enum class SubjectRuleKind { kPrefix, kBids, kFolder, kRegex };

struct SubjectRule {
  SubjectRuleKind kind = SubjectRuleKind::kPrefix;
  std::string text = "prefix";               // as given on the command line
  std::size_t folderLevel = 1;               // kFolder: 1 is the file's own folder
  std::shared_ptr<const LinearRegex> regex;  // kRegex: compiled once, one capture group
};

// The rule `text` names ("prefix", "bids", "folder:N", "regex:EXPR"), or nothing with `error`
// saying in one sentence why not (unknown name, N not a whole number from 1, an expression that
// does not compile, asks what is not supported or has not exactly one capture group). Never throws
// but std::bad_alloc.
std::optional<SubjectRule> parseSubjectRule(std::string_view text, std::string& error);

struct ChosenSubjects {
  std::vector<std::string> ids;  // one per study
  std::size_t unplaced = 0;      // studies that kept their file-name prefix subject
  std::string unplacedExample;   // the first such functional path
};

// One subject per study, `studyCount` of them (a study without a functional path gets "", as in
// subjectIdsOf). O(total path bytes), plus one regex search per path for kRegex.
ChosenSubjects chooseSubjects(const SubjectRule& rule, const PathList& functionalPaths,
                              std::size_t studyCount);

}  // namespace kelvora::analysis
