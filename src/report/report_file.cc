#include "report/report_file.h"

#include "files/safe_file.h"

namespace kelvora::report {

using namespace analysis;  // the floor below: every rendering shows its records
bool writeReportFile(const std::string& path, const RunOutcome& outcome,
                     const InspectedStudy& study, const FindingRecord& record, std::string& error) {
  if (replaceFileContents(path, renderReport(outcome, study, record))) return true;
  error = "cannot write " + path;
  return false;
}

}  // namespace kelvora::report
