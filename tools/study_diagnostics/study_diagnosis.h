// Everything the command-line inspector finds in a study beyond the plug-in's log, once the run is
// over: what the readers noticed (reader_findings.h), whether the subject rule fits
// (subject_rule.h), the likely cause of each count or name disagreement (mismatch_causes.h), and
// the checks past the point where the run stopped:
// - every SDM that cannot be opened, not only the one that ended the run;
// - when counts or names disagree: the subject count and both zero checks over the SDMs that agree
//   with the prevailing count and names;
// - when the subject is probably in the folder name: the zero-across-runs check with the folders
//   as subjects;
// and, as notes, the predictors of interest that are zero in some of a subject's runs but not all.
// Works on summaries alone (no values), so it costs little beside reading the study.
#pragma once

#include "further_finding.h"
#include "inspection/run_outcome.h"
#include "study_input.h"

namespace kelvora::diagnostics {

// `study` as read again after `outcome`'s run (nothing when the run could not read the MDM).
StudyDiagnosis diagnoseStudy(const RunOutcome& outcome, const StudyInput& study);

}  // namespace kelvora::diagnostics
