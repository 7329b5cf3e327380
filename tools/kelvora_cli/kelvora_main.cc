// kelvora: the command-line inspector. Another host of the plug-in's inspection run: it answers
// the run's dialogs from its arguments (or a prompt), prints the log on standard output and exits
// with a status that tells what the runs found. See cli_options.h for the command line and
// exit_status.h for the statuses.
#include <cstdio>
#include <exception>
#include <string>

#include "cli_options.h"
#include "error_output.h"
#include "exit_status.h"
#include "inspection_session.h"
#include "terminal.h"
#include "user_paths.h"

namespace kelvora::cli {
namespace {

int runCommandLine(int argc, char** argv) {
  useBinaryStandardOutput();
  const CommandLine commandLine = parseCommandLine(argc, argv);
  switch (commandLine.action) {
    case CommandLineAction::kShowHelp:
    case CommandLineAction::kShowVersion:
      std::fputs(commandLine.text.c_str(), stdout);
      return kClean;
    case CommandLineAction::kUsageError:
      writeError(commandLine.text);
      return kUsageError;
    case CommandLineAction::kInspect:
      break;
  }
  const std::optional<std::string>& findingsDir = commandLine.options.findingsDir;
  if (findingsDir && kindOf(*findingsDir) != PathKind::kFolder) {
    writeError("kelvora: --findings-dir: " + *findingsDir +
               " is no folder\nRun 'kelvora --help' for the usage.\n");
    return kUsageError;
  }
  const SessionStreams streams{standardInputIsTerminal(), standardErrorIsTerminal()};
  return inspectAll(commandLine.options, streams);
}

}  // namespace
}  // namespace kelvora::cli

int main(int argc, char** argv) {
  try {
    return kelvora::cli::runCommandLine(argc, argv);
  } catch (const std::exception& error) {
    kelvora::cli::writeError(std::string("kelvora: ") + error.what() + "\n");
  } catch (...) {
    std::fputs("kelvora: unexpected failure\n", stderr);
  }
  return kelvora::cli::kNotInspected;
}
