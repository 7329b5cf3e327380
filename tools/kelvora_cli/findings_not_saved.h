// After a run whose findings file could not be written (the run's "Could not save findings to: "
// line, finding kFindingsNotSaved), one line on standard error that says why, in the system's
// words where it has them, and how to put the file elsewhere. A common case: inspecting an
// installed example or a study on read-only storage in place.
#pragma once

#include "inspection/run_outcome.h"

namespace kelvora::cli {

// Called once per run, after it ended; writes nothing when the findings file was saved or none
// was asked for.
void tellWhyFindingsNotSaved(const RunOutcome& outcome);

}  // namespace kelvora::cli
