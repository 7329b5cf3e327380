// Runs of another length: an SDM whose number of data points differs from that of most runs of its
// study, as an aborted scan or a design made for another functional file leaves it. Where no length
// holds most of the study's runs (runs that differ by design, e.g. subjects scanned with runs of
// different lengths), each run is compared with most runs of its own subject instead.
#pragma once

#include <vector>

#include "analysis/further_finding.h"
#include "analysis/study_input.h"
#include "inspection/subjects.h"

namespace kelvora::analysis {

// Appends a RUN_LENGTH note for each SDM read (with data points) whose number of data points is not
// the one that more than half of the study's SDMs read have; without such a number, for each SDM
// whose number is not the one that more than half of its subject's SDMs read have (in `subjects`,
// indices into study.sdms). SDMs not read, or with no data points (told by the reader's findings),
// take no part. O(m log m) for m SDMs.
void addRunLengthFindings(const StudyInput& study, const std::vector<SubjectGroup>& subjects,
                          std::vector<FurtherFinding>& findings);

}  // namespace kelvora::analysis
