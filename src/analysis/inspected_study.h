// One inspected study as kelvora sees it after the plug-in's run: the design of every SDM (the
// run's own reading, kept by the SDM design maker), which of them a report pictures, and what
// kelvora finds beyond the log. kelvora, its report and the Python module all make it here, so
// they see one study.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "analysis/chosen_subject_rule.h"
#include "analysis/contrast_study.h"
#include "analysis/sdm_design_maker.h"
#include "analysis/study_designs.h"
#include "analysis/study_diagnosis.h"
#include "inspection/run_outcome.h"

namespace kelvora::analysis {

struct InspectedStudy {
  StudyDesigns designs;
  std::vector<DesignPictures> pictures;  // in study order; fewer than the SDMs in large studies
  StudyDiagnosis diagnosis;              // what kelvora finds beyond the log
  StudyContrasts contrasts;              // empty unless the maker was asked contrasts
  // A contrast names a predictor no SDM has: the usage error's sentence (contrast_study.h).
  std::optional<std::string> contrastUsageError;
};

// The studies whose pictures a report shows: every SDM of a study of up to kPictureEverySdmUpTo
// SDMs; in a larger study those with a finding (of the run, a damaged matrix, the rank check, the
// design warnings, the contrasts; at most kMostFindingPictures, the most serious first) and an
// evenly spaced sample of about kSampledPictures others.
inline constexpr std::size_t kPictureEverySdmUpTo = 40;
inline constexpr std::size_t kMostFindingPictures = 60;
inline constexpr std::size_t kSampledPictures = 24;

// Reads again the MDM that `outcome` inspected (the corrected MDM when the repair saved one;
// otherwise the MDM, re-based on `locatedFirstSdm` when the run's repair located its first SDM),
// takes the design of every SDM it lists from `maker` (see loadStudyDesigns) and the pictures of
// the SDMs chosen as above, when the maker made them; the study diagnosis is made from the
// designs, its runs grouped by `subjectRule`, and so are the contrasts the maker was asked. Nothing
// is read when the run could not read the MDM. The readers' lines go to pluginLog.
InspectedStudy readInspectedStudy(const RunOutcome& outcome,
                                  const std::optional<std::string>& locatedFirstSdm,
                                  SdmDesignMaker& maker, const SubjectRule& subjectRule = {});

}  // namespace kelvora::analysis
