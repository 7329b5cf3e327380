// The design matrices of one inspected study, for the checks and pictures that the run itself does
// not make: the rank check of each SDM, which predictors of interest are zero in which run, and the
// pictures of a report. Each is made from the SDM that the run read (sdm_design_maker.h); an SDM
// the run did not read (it ended before) is read here, through the same readers, so the files are
// seen exactly as the run saw them. The readers log a file that cannot be opened through pluginLog;
// callers that must not print those lines remove the log sink while loading. One SDM's values are
// held at a time, so a study of any size costs the memory of its largest SDM.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "analysis/design_rank.h"
#include "analysis/design_warnings.h"
#include "analysis/sdm_summary.h"
#include "analysis/study_input.h"
#include "designmatrix/sdm_file.h"
#include "inspection/subjects.h"

namespace kelvora::analysis {

struct SdmDesign : SdmSummary {
  RankCheck rank;           // meaningful when `read`
  DesignWarnings warnings;  // meaningful when `read`: a few per SDM at most
};

// Movable, not copyable: `mdm.sdms` points into `sdms`, and each design's path and subject view
// `mdm.sdmPaths` and `subjects`, all of which a move keeps where they are.
struct StudyDesigns {
  StudyDesigns() = default;
  StudyDesigns(StudyDesigns&&) = default;
  StudyDesigns& operator=(StudyDesigns&&) = default;

  bool mdmRead = false;
  std::vector<SdmDesign> sdms;         // one per study, in the MDM's order
  std::vector<SubjectGroup> subjects;  // the studies grouped as the run groups them
  // What the diagnostics need of the MDM, its `sdms` pointing into `sdms` (see diagnosisInput).
  StudyInput mdm;
};

// The diagnostics' view of `designs`, nothing copied: the MDM's part, and the summaries pointing
// into `designs`, which must outlive it and not change meanwhile.
const StudyInput& diagnosisInput(const StudyDesigns& designs);

// Calls `visit` for each design read, in study order, whose findings (dependencies, warnings) are
// told: an SDM listed again with the same content shares its first listing's analysis, and its
// findings are told at that listing only (the run says that the SDM is listed again), so that a
// study listing one SDM thousands of times does not tell its findings thousands of times.
void forEachToldDesign(const StudyDesigns& designs,
                       const std::function<void(const SdmDesign&)>& visit);

// "RANK_DEFICIENT_DESIGN" or "NEAR_DEPENDENT_DESIGN".
const char* dependencyCodeName(DependencyKind kind);

// One sentence for a dependency of `design`, file bytes as they are:
// `S01.sdm: predictor 12 "Rot Z" is zero throughout`, `... is a combination of ...`,
// `... are nearly dependent (condition index 140.2)`.
std::string dependencySentence(const SdmDesign& design, const Dependency& dependency);

class SdmDesignMaker;

// Reads the MDM at `mdmPath` and takes the design of every study it lists from `maker`, which makes
// those not made yet from the SDM, read here. When `locatedFirstSdm` is given (the run's repair
// located the first SDM), the study paths are re-based on it first, as the repair did. Never
// throws except std::bad_alloc.
StudyDesigns loadStudyDesigns(const std::string& mdmPath,
                              const std::optional<std::string>& locatedFirstSdm,
                              SdmDesignMaker& maker);

}  // namespace kelvora::analysis
