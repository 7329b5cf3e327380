#include "exit_status.h"

namespace kelvora::cli {

const char kExitStatusHelp[] =
    "Exit status:\n"
    "  0   every run came to its complete end and no \"!!!  \" line was logged\n"
    "  1   a run reported something (a \"!!!  \" line, a count or name disagreement),\n"
    "      but every file could be read\n"
    "  2   a file could not be read, a repair was cancelled, or the --report file could\n"
    "      not be written\n"
    "  64  usage error (unknown option, missing value, no MDM_FILE, an option for one\n"
    "      MDM_FILE with several, a --findings-dir that is no folder or would get two\n"
    "      findings files of one name)\n";

ExitStatus exitStatusOf(const RunOutcome& outcome) {
  if (outcome.fileUnreadable() || outcome.repairCancelled()) return kNotInspected;
  if (!outcome.complete || !outcome.findings.empty()) return kReported;
  return kClean;
}

ExitStatus worseOf(ExitStatus a, ExitStatus b) { return a > b ? a : b; }

}  // namespace kelvora::cli
