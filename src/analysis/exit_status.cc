#include "analysis/exit_status.h"

#include <algorithm>

namespace kelvora::analysis {
namespace {

// The first SDM's failure once the repair found the file: the run then read every SDM, so the
// failure says where the study was, not what is wrong with it.
bool mendedByRepair(const Finding& finding) {
  return finding.code == FindingCode::kSdmUnreadable && finding.severity == Severity::kWarning;
}

}  // namespace

ExitStatus exitStatusOf(const RunOutcome& outcome) {
  if (outcome.fileUnreadable() || outcome.repairCancelled()) return kNotInspected;
  const bool found = !std::all_of(outcome.findings.begin(), outcome.findings.end(), mendedByRepair);
  if (!outcome.complete || found) return kReported;
  return kClean;
}

ExitStatus recordStatus(const RunOutcome& outcome, const FindingRecord& record,
                        RecordSeverity failOn) {
  if (outcome.fileUnreadable() || outcome.repairCancelled()) return kNotInspected;
  const std::optional<RecordSeverity> worst = record.worstSeverity();
  if (!outcome.complete || (worst && *worst <= failOn)) return kReported;
  return kClean;
}

ExitStatus worseOf(ExitStatus a, ExitStatus b) { return a > b ? a : b; }

}  // namespace kelvora::analysis
