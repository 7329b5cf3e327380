// The Windows build: the rank check without the HTML report (no libpng there).
#include "report_file.h"

namespace kelvora::report {

const bool kReportAvailable = false;

StudyReport readStudyReport(const RunOutcome& outcome,
                            const std::optional<std::string>& locatedFirstSdm, bool) {
  StudyReport report;
  if (!outcome.studyCount) return report;
  const std::string& mdm = outcome.savedMdmPath ? *outcome.savedMdmPath : outcome.mdmPath;
  report.designs = loadStudyDesigns(mdm, outcome.savedMdmPath ? std::nullopt : locatedFirstSdm);
  return report;
}

bool writeReportFile(const std::string&, const RunOutcome&, const StudyReport&,
                     std::string& error) {
  error = "this build writes no HTML report; --report is available in the Linux build";
  return false;
}

}  // namespace kelvora::report
