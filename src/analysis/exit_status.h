// The inspector's exit statuses and how one run's outcome maps onto them. Several MDMs in one call
// give the worst status of their runs; a usage error stops before any run.
#pragma once

#include "analysis/finding_record.h"
#include "analysis/record_severity.h"
#include "inspection/run_outcome.h"

namespace kelvora::analysis {

// usage.txt explains them to the user (--help, the man page, the README).
enum ExitStatus : int {
  kClean = 0,         // every run came to its complete end and reported nothing (notes aside)
  kReported = 1,      // a run, or kelvora beyond it, reported a finding, but every file could
                      // be read
  kNotInspected = 2,  // a file could not be read, a repair was cancelled or refused, its
                      // corrected MDM lists SDMs that do not open, or the requested report
                      // could not be written
  kUsageError = 64,   // unknown option, missing value, no MDM, an output that is a file of
                      // the call
};

// The status of one run under --fail-on `failOn` (kWarning without it): kNotInspected when a file
// the run needed could not be read or the repair was cancelled; kReported when the run ended early
// or `record` holds a finding as serious as `failOn` or more (the first SDM's failure that the
// repair mended is a note); kClean otherwise.
ExitStatus recordStatus(const RunOutcome& outcome, const FindingRecord& record,
                        RecordSeverity failOn);

// The more serious of two statuses of runs (kClean < kReported < kNotInspected).
ExitStatus worseOf(ExitStatus a, ExitStatus b);

}  // namespace kelvora::analysis
