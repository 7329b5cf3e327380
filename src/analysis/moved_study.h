// The study that seems to have moved: most of its SDMs, the first among them, fail to open from one
// folder, as when a study is copied to another disk after its MDM was written. The plug-in's log
// and kelvora's SDM_UNREADABLE findings tell each SDM apart; this one finding names the cause and
// the mend (the repair by --locate re-bases every path on the first SDM's new place).
#pragma once

#include <optional>

#include "analysis/further_finding.h"
#include "analysis/study_input.h"

namespace kelvora::analysis {

// STUDY_MOVED (a note) when more than half of the study's SDMs, at least two and the first among
// them, could not be opened and share one folder as the MDM lists them; nullopt otherwise.
// O(SDMs), one string per distinct folder of the SDMs that failed.
std::optional<FurtherFinding> movedStudyFinding(const StudyInput& study);

}  // namespace kelvora::analysis
