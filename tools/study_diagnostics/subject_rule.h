// Whether the plug-in's subject rule probably fits a study. The rule: a study's subject is the file
// name of its functional data up to the first '_' ("sub-03_run-2.vtc" gives "sub-03"), the whole
// file name when it has none; the folders do not count.
//
// Warnings: file names without '_' (SUBJECT_NO_UNDERSCORE), every study its own subject
// (SUBJECT_PER_STUDY), the same file name in different folders (SUBJECT_IN_FOLDER: the subject is
// probably in the folder name). A note: a subject with another number of runs than most
// (SUBJECT_UNEVEN_RUNS).
#pragma once

#include <string>
#include <vector>

#include "further_finding.h"
#include "inspection/subjects.h"
#include "study_input.h"

namespace kelvora::diagnostics {

// The rule as the report states it.
inline constexpr char kSubjectRule[] =
    "How subjects are found: a study's subject is the file name of its functional data up to the "
    "first \"_\" (\"sub-03_run-2.vtc\" gives \"sub-03\"), or the whole file name when it has "
    "none; the folders do not count (\"S03/run1.vtc\" gives \"run1.vtc\").";

void addSubjectRuleFindings(const StudyInput& study, const std::vector<SubjectGroup>& groups,
                            std::vector<FurtherFinding>& findings);

// The studies grouped by the name of the folder that holds each functional file, in the order of
// each folder's first study; what the subject probably is when SUBJECT_IN_FOLDER is found.
std::vector<SubjectGroup> groupByFolder(const std::vector<std::string>& functionalPaths);

}  // namespace kelvora::diagnostics
