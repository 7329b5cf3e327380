// The design matrices of one inspected study, read again after its inspection run for the checks
// and pictures that the run itself does not make: the rank check of each SDM, which predictors of
// interest are zero in which run, and (through a visitor) anything else that needs an SDM's values.
//
// Reading goes through the same readers as the run (MdmFile, readSdm), so the files are seen
// exactly as the run saw them. The readers log a file that cannot be opened through pluginLog;
// callers that must not print those lines remove the log sink while loading. One SDM's values are
// held at a time, so a study of any size costs the memory of its largest SDM.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "design_rank.h"
#include "designmatrix/sdm_file.h"
#include "inspection/subjects.h"
#include "sdm_summary.h"
#include "study_input.h"

namespace kelvora::report {

struct SdmDesign : diagnostics::SdmSummary {
  RankCheck rank;  // meaningful when `read`
};

struct StudyDesigns {
  bool mdmRead = false;
  std::vector<SdmDesign> sdms;         // one per study, in the MDM's order
  std::vector<SubjectGroup> subjects;  // the studies grouped as the run groups them
  // What the diagnostics need of the MDM; its `sdms` are left empty (see diagnosisInput).
  diagnostics::StudyInput mdm;
};

// The diagnostics' view of `designs`: the MDM's part, and the summaries pointing into `designs`,
// which must outlive it and not change meanwhile.
diagnostics::StudyInput diagnosisInput(const StudyDesigns& designs);

// Called once per study whose SDM was read, while its values are in memory.
using SdmVisitor = std::function<void(std::size_t study, const SdmFile& sdm, SdmDesign& design)>;

// Reads the MDM at `mdmPath` and every SDM it lists. When the first SDM cannot be opened and
// `locatedFirstSdm` is given, the study paths are re-based on it first, as the run's repair did.
// Never throws except std::bad_alloc.
StudyDesigns loadStudyDesigns(const std::string& mdmPath,
                              const std::optional<std::string>& locatedFirstSdm,
                              const SdmVisitor& visit = {});

}  // namespace kelvora::report
