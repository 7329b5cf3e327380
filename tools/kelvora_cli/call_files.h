// The files of one call of the inspector, and the rule that no output of a call may be one of its
// inputs or another of its outputs. Inputs: each MDM_FILE, every SDM and functional data file each
// one lists (a relative path taken in its MDM's folder, as the run takes it) and the --locate file.
// Outputs: each run's findings file, --save-mdm and --report. Files are told apart by fileKeyOf
// (the same file however spelled or linked where it exists, the same full path otherwise). One
// exception: --save-mdm may name the MDM_FILE, which the corrected MDM then replaces, as the host's
// save dialog allows.
#pragma once

#include <optional>
#include <string>

#include "cli_options.h"
#include "inspection/inspection_run.h"

namespace kelvora::cli {

// The first clash among the files of `options` (whose paths are full paths) when each run names
// its findings file by `findingsFile`, as one line without its line end ("--report /d/g.mdm would
// replace the MDM_FILE"); none when every output is a file of its own. Reads each MDM_FILE once (an
// unreadable one lists nothing) and looks up each path once; logs nothing when no log sink is
// installed. Never throws on purpose.
std::optional<std::string> findFileClash(const CliOptions& options,
                                         const FindingsFileRule& findingsFile);

}  // namespace kelvora::cli
