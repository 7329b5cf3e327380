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
// The checks across a subject's runs group the studies by the chosen subject rule; when it is not
// the plug-in's, the zero-across-runs check is repeated for every subject whose runs the log
// grouped otherwise. The diagnosis keeps those subjects for the subject table.
// Works on summaries alone (no values), so it costs little beside reading the study.
#pragma once

#include "analysis/chosen_subject_rule.h"
#include "analysis/further_finding.h"
#include "analysis/study_input.h"
#include "inspection/run_outcome.h"

namespace kelvora::analysis {

// `study` as read again after `outcome`'s run (nothing when the run could not read the MDM), its
// runs grouped by `rule`.
StudyDiagnosis diagnoseStudy(const RunOutcome& outcome, const StudyInput& study,
                             const SubjectRule& rule = SubjectRule());

}  // namespace kelvora::analysis
