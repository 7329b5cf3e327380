#include "exit_status.h"

namespace kelvora::cli {

ExitStatus exitStatusOf(const RunOutcome& outcome) {
  if (outcome.fileUnreadable() || outcome.repairCancelled()) return kNotInspected;
  if (!outcome.complete || !outcome.findings.empty()) return kReported;
  return kClean;
}

ExitStatus worseOf(ExitStatus a, ExitStatus b) { return a > b ? a : b; }

}  // namespace kelvora::cli
