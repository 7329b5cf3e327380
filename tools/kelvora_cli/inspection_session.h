// One call of the inspector: the inspection run of each MDM in turn, exactly as the plug-in's
// execute performs it, with the log's entries printed one per line on standard output (or, with
// --json, one object per run instead; with --quiet, nothing). The run's log goes through
// pluginLog, so each run also writes its findings file beside its MDM (or into --findings-dir).
//
// Every path of the options is made a full path first, in the folder the call started in. Each
// run then works in its MDM's folder: the relative paths an MDM lists are found there, whatever
// the folder the call started in, and are logged as the MDM lists them, as by the plug-in in a
// host whose folder is the MDM's. After a repair, standard error tells where the corrected MDM was
// saved, or that it was not (naming the first few of its SDM paths that do not open, which also
// makes the run's status kNotInspected); a repair that located nothing gets one line there saying
// why, and that --locate repairs it; --locate or --save-mdm given to a run that asked for no
// repair get a note there. The findings beyond the log (and --subjects) go to standard error with
// or without --json. A contrast that names a predictor no SDM has makes the MDM's status
// kUsageError; with --json its object is printed first, holding the usage error.
#pragma once

#include "analysis/exit_status.h"
#include "cli_options.h"

namespace kelvora::cli {

struct SessionStreams {
  bool inputIsTerminal;  // prompts are asked only then
  bool errorIsTerminal;  // progress is shown only then
};

// Runs every MDM of `options` and returns the worst exit status of the runs; before any run, an
// output that would be an input or another output of the call (call_files.h) is told on standard
// error in one line, and kUsageError returned. Installs its log
// sink for the duration of the call and removes it before returning, so that texts logged later
// (at the end of the program) print nothing. An unexpected failure of one run (an exception) is
// told on standard error and counts as kNotInspected; the next MDM is still inspected.
analysis::ExitStatus inspectAll(const CliOptions& options, const SessionStreams& streams);

}  // namespace kelvora::cli
