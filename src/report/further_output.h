// How kelvora tells what it finds beyond the plug-in's log (the study diagnosis and the rank check
// of each SDM): members of the --json object and one line each on standard error (with or
// without --json), after the record's finding policy, each with the record's one severity.
#pragma once

#include <functional>
#include <string>

#include "analysis/exit_status.h"
#include "analysis/finding_record.h"
#include "report/html_report.h"
#include "report/outcome_json.h"

namespace kelvora::report {

// The members "furtherFindings": [{code, severity, beyondRun, file, subject, predictorNumber,
// predictorName, text}] and "causes": [{code, file, predictorNumber, text}] of the --json line,
// in the diagnosis' order; both empty when `diagnosis` is null (a run that stopped on an
// unexpected failure). Each further finding has the severity `record` (made with `diagnosis`)
// gives it after its policy, null when the policy ignores it. Both must outlive the members.
std::vector<LineMember> furtherMembers(const analysis::FindingRecord& record,
                                       const analysis::StudyDiagnosis* diagnosis);

// The member "allFindings": every entry of `record` as {kind, code, severity, file, subject,
// predictorNumber, predictorName, text, causedBy}, in the record's order. The record must outlive
// the member.
LineMember allFindingsMember(const analysis::FindingRecord& record);

// The member "sdmDesigns": per SDM read, its rank and condition number with its grade
// (design_json.h); empty when `designs` is null. The designs must outlive the member.
LineMember sdmDesignsMember(const analysis::StudyDesigns* designs);

// The member "contrasts": per contrast, its runs and subjects (contrast_json.h); empty when `study`
// is null or no contrast was asked. The study must outlive the member.
LineMember contrastsMember(const analysis::InspectedStudy* study);

// The member "contrastError": the usage error's sentence when a contrast names a predictor that no
// SDM has (InspectedStudy::contrastUsageError), null otherwise and when `study` is null.
LineMember contrastErrorMember(const analysis::InspectedStudy* study);

// Hands kelvora's lines beyond the log to `visit`, one at a time (a large study has thousands),
// without line end: the causes first ("kelvora: likely cause: ..."), then the further findings
// ("kelvora: error: ...", "kelvora: warning: ...", "kelvora: note: ...", marked "(beyond the
// run)" where the run had stopped), then the design findings. A finding that another explains (a
// reader problem, a predictor zero in all of a subject's runs) has no line of its own: its cause's
// line ends with " ... and N findings that follow from it". A log finding with followers gets such
// a line of kelvora's, its log line staying as the plug-in wrote it.
void forEachFurtherLine(const analysis::FindingRecord& record,
                        const std::function<void(const std::string&)>& visit);

}  // namespace kelvora::report
