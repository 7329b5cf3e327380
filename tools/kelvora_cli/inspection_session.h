// One call of the inspector: the inspection run of each MDM in turn, exactly as the plug-in's
// execute performs it, with the log's entries printed one per line on standard output (or, with
// --json, one object per run instead). The run's log goes through pluginLog, so each run also
// writes its findings file beside its MDM.
#pragma once

#include <iosfwd>

#include "cli_options.h"
#include "exit_status.h"

namespace kelvora::cli {

struct SessionStreams {
  std::istream& input;   // answers to prompts
  bool inputIsTerminal;  // prompts are asked only then
  bool errorIsTerminal;  // progress is shown only then
};

// Runs every MDM of `options` and returns the worst exit status of the runs. Installs its log
// sink for the duration of the call and removes it before returning, so that texts logged later
// (at the end of the program) print nothing. An unexpected failure of one run (an exception) is
// told on standard error and counts as kNotInspected; the next MDM is still inspected.
ExitStatus inspectAll(const CliOptions& options, const SessionStreams& streams);

}  // namespace kelvora::cli
