// Findings from what the MDM and SDM readers noticed on the way (MdmReadNotes, SdmReadNotes), and
// from the MDM's study list itself: paths listed twice.
#pragma once

#include <vector>

#include "analysis/further_finding.h"
#include "analysis/sdm_summary.h"
#include "analysis/study_input.h"

namespace kelvora::analysis {

// MDM_STUDY_COUNT, MDM_LINE_SKIPPED, MDM_DUPLICATE_SDM, MDM_DUPLICATE_FUNCTIONAL.
void addMdmFindings(const StudyInput& study, std::vector<FurtherFinding>& findings);

// SDM_HEADER_FIELD, SDM_NAMES_LINE, SDM_SHORT_MATRIX, SDM_UNREADABLE_VALUE, SDM_TEXT_AFTER_MATRIX
// of one SDM that was read.
void addSdmFindings(const SdmSummary& sdm, std::vector<FurtherFinding>& findings);

}  // namespace kelvora::analysis
