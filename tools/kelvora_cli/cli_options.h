// The inspector's command line:
//   kelvora [--json] [--report FILE.html] [--locate SDM_PATH] [--save-mdm MDM_PATH] MDM_FILE...
//   kelvora --help | --version
// Parsing only: nothing is read or run here.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kelvora::cli {

struct CliOptions {
  std::vector<std::string> mdmFiles;   // inspected in this order; never empty after parsing
  std::optional<std::string> locate;   // answers every run's "SDM not found" dialog
  std::optional<std::string> saveMdm;  // answers yes to saving, and the save dialog
  bool json = false;                   // one JSON object per MDM instead of the log lines
  std::optional<std::string> report;   // the HTML report of the one MDM_FILE, written after its run
};

enum class CommandLineAction { kInspect, kShowHelp, kShowVersion, kUsageError };

struct CommandLine {
  CommandLineAction action = CommandLineAction::kUsageError;
  CliOptions options;  // meaningful for kInspect
  // kShowHelp: the usage with options and exit statuses; kShowVersion: the version line;
  // kUsageError: what was wrong, and where to find the usage. Each ends with a line end.
  std::string text;
};

// Parses argv. --help and --version win over anything else on the line except an unknown
// option. No MDM_FILE, and --report with more than one, are usage errors. Never throws.
CommandLine parseCommandLine(int argc, const char* const* argv);

}  // namespace kelvora::cli
