#include "analysis/exit_status.h"

namespace kelvora::analysis {

ExitStatus recordStatus(const RunOutcome& outcome, const FindingRecord& record,
                        RecordSeverity failOn) {
  if (outcome.fileUnreadable() || outcome.repairCancelled()) return kNotInspected;
  const std::optional<RecordSeverity> worst = record.worstSeverity();
  if (!outcome.complete || (worst && *worst <= failOn)) return kReported;
  return kClean;
}

ExitStatus worseOf(ExitStatus a, ExitStatus b) { return a > b ? a : b; }

}  // namespace kelvora::analysis
