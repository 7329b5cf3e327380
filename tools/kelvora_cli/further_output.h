// How kelvora tells what it finds beyond the plug-in's log (the study diagnosis and the rank check
// of each SDM): members of the --json object, one line each on standard error in text mode, and
// their part in the exit status.
#pragma once

#include <cstdio>
#include <string>

#include "exit_status.h"
#include "html_report.h"
#include "outcome_json.h"

namespace kelvora::cli {

// The members "furtherFindings": [{code, severity, beyondRun, file, subject, predictorNumber,
// predictorName, text}] and "causes": [{code, file, predictorNumber, text}] of the --json line,
// in the diagnosis' order; both empty when `diagnosis` is null (a run that stopped on an
// unexpected failure). The diagnosis must outlive the members.
std::vector<ArrayMember> furtherMembers(const diagnostics::StudyDiagnosis* diagnosis);

// Writes the lines for standard error to `stream`, one at a time (a large study has thousands):
// the causes first ("kelvora: likely cause: ..."), then the further findings ("kelvora: warning:
// ...", "kelvora: note: ...", marked "(beyond the run)" where the run had stopped), then the
// design findings.
void writeFurtherLines(const report::StudyReport& study, std::FILE* stream);

// kReported when the study has a further finding that is a warning, or a design finding; kClean
// otherwise (notes alone, and causes, which accompany findings of the run, change nothing).
ExitStatus furtherStatus(const report::StudyReport& study);

}  // namespace kelvora::cli
