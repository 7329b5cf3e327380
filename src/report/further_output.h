// How kelvora tells what it finds beyond the plug-in's log (the study diagnosis and the rank check
// of each SDM): members of the --json object and one line each on standard error in text mode,
// after the record's finding policy.
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
// unexpected failure). The diagnosis must outlive the members.
std::vector<ArrayMember> furtherMembers(const analysis::StudyDiagnosis* diagnosis);

// The member "allFindings": every entry of `record` as {kind, code, severity, file, subject,
// predictorNumber, predictorName, text, causedBy}, in the record's order. The record must outlive
// the member.
ArrayMember allFindingsMember(const analysis::FindingRecord& record);

// The member "sdmDesigns": per SDM read, its rank and condition number with its grade
// (design_json.h); empty when `designs` is null. The designs must outlive the member.
ArrayMember sdmDesignsMember(const analysis::StudyDesigns* designs);

// The member "contrasts": per contrast, its runs and subjects (contrast_json.h); empty when `study`
// is null or no contrast was asked. The study must outlive the member.
ArrayMember contrastsMember(const analysis::InspectedStudy* study);

// Hands kelvora's lines beyond the log to `visit`, one at a time (a large study has thousands),
// without line end: the causes first ("kelvora: likely cause: ..."), then the further findings
// ("kelvora: warning: ...", "kelvora: note: ...", marked "(beyond the run)" where the run had
// stopped), then the design findings. A finding that a reader problem explains has no line of its
// own: the reader problem's line ends with " ... and N findings that follow from it".
void forEachFurtherLine(const analysis::FindingRecord& record,
                        const std::function<void(const std::string&)>& visit);

}  // namespace kelvora::report
