// `kelvora --report FILE.html`: the self-contained HTML report of one inspected study, written as a
// file.
#pragma once

#include <optional>
#include <string>

#include "inspection/run_outcome.h"
#include "report/html_report.h"

namespace kelvora::report {

// Writes the report of `outcome` and `study`, its findings those `record` keeps, to `path` with
// replaceFileContents (made anew: a file or link there is replaced, never written through; a
// folder, pipe or device is left alone). True when every byte was written; false with `error`
// telling why not.
bool writeReportFile(const std::string& path, const RunOutcome& outcome,
                     const InspectedStudy& study, const FindingRecord& record, std::string& error);

}  // namespace kelvora::report
