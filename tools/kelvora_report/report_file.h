// `kelvora --report FILE.html`: the study of one inspection run, made from what the run read, and
// the self-contained HTML report written from it.
#pragma once

#include <optional>
#include <string>

#include "chosen_subject_rule.h"
#include "html_report.h"
#include "inspection/run_outcome.h"
#include "sdm_design_maker.h"
#include "study_designs.h"

namespace kelvora::report {

// The studies whose pictures a report shows: every SDM of a study of up to kPictureEverySdmUpTo
// SDMs; in a larger study those with a finding of the run or of the rank check (at most
// kMostFindingPictures) and an evenly spaced sample of about kSampledPictures others.
inline constexpr std::size_t kPictureEverySdmUpTo = 40;
inline constexpr std::size_t kMostFindingPictures = 60;
inline constexpr std::size_t kSampledPictures = 24;

// Reads again the MDM that `outcome` inspected (the corrected MDM when the repair saved one;
// otherwise the MDM, re-based on `locatedFirstSdm` when the run's repair located its first SDM),
// takes the design of every SDM it lists from `maker` (see loadStudyDesigns) and the pictures of
// the SDMs chosen as above, when the maker made them; the study diagnosis is made from the
// designs, its runs grouped by `subjectRule`. Nothing is read when the run could not read the
// MDM. The readers' lines go to pluginLog.
StudyReport readStudyReport(const RunOutcome& outcome,
                            const std::optional<std::string>& locatedFirstSdm,
                            SdmDesignMaker& maker,
                            const diagnostics::SubjectRule& subjectRule = {});

// Writes the report of `outcome` and `study` to `path` with replaceFileContents (made anew: a
// file or link there is replaced, never written through; a folder, pipe or device is left alone).
// True when every byte was written; false with `error` telling why not.
bool writeReportFile(const std::string& path, const RunOutcome& outcome, const StudyReport& study,
                     std::string& error);

}  // namespace kelvora::report
