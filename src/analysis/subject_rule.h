// Whether the plug-in's subject rule probably fits a study. The rule: a study's subject is the file
// name of its functional data up to the first '_' ("sub-03_run-2.vtc" gives "sub-03"), the whole
// file name when it has none; the folders do not count.
//
// The findings judge the rule kelvora groups by (chosen_subject_rule.h; the plug-in's by default).
// Warnings: file names without '_' (SUBJECT_NO_UNDERSCORE, the plug-in's rule only), every study
// its own subject (SUBJECT_PER_STUDY), the same file name in different folders (SUBJECT_IN_FOLDER,
// the plug-in's rule only: the subject is probably in the folder name), a folder whose runs all
// became subjects of one run (SUBJECT_SPLIT_FOLDER), paths a chosen rule cannot place
// (SUBJECT_RULE_UNPLACED). Notes: a subject with another number of runs than most
// (SUBJECT_UNEVEN_RUNS), a chosen rule that counts other subjects than the log
// (SUBJECT_RULE_COUNT).
#pragma once

#include <string>
#include <vector>

#include "analysis/chosen_subject_rule.h"
#include "analysis/further_finding.h"
#include "analysis/study_input.h"
#include "inspection/subjects.h"

namespace kelvora::analysis {

// The rule as the report states it.
inline constexpr char kSubjectRule[] =
    "How subjects are found: a study's subject is the file name of its functional data up to the "
    "first \"_\" (\"sub-03_run-2.vtc\" gives \"sub-03\"), or the whole file name when it has "
    "none; the folders do not count (\"S03/run1.vtc\" gives \"run1.vtc\").";

// `logGroups`: the studies by the plug-in's rule, as the log counts them; `chosen` and
// `chosenGroups`: by `rule` (the same as the log's for "prefix"). O(m log m) in the studies.
void addSubjectRuleFindings(const StudyInput& study, const SubjectRule& rule,
                            const ChosenSubjects& chosen,
                            const std::vector<SubjectGroup>& logGroups,
                            const std::vector<SubjectGroup>& chosenGroups,
                            std::vector<FurtherFinding>& findings);

// "" for the plug-in's rule; "by --subject-rule RULE, " otherwise: what a text about the chosen
// rule's subjects begins with.
std::string ruleWords(const SubjectRule& rule);

// The studies grouped by the name of the folder that holds each functional file, in the order of
// each folder's first study; what the subject probably is when SUBJECT_IN_FOLDER is found.
std::vector<SubjectGroup> groupByFolder(const PathList& functionalPaths);

}  // namespace kelvora::analysis
