// kelvora: the command-line inspector. Another host of the plug-in's inspection run: it answers
// the run's dialogs from its arguments (or a prompt), prints the log on standard output and exits
// with a status that tells what the runs found. See cli_options.h for the command line and
// exit_status.h for the statuses.
#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "analysis/exit_status.h"
#include "analysis/finding_policy_file.h"
#include "cli_options.h"
#include "files/native_file.h"
#include "files/user_file.h"
#include "inspection_session.h"
#include "inspector/mdm_file_glance.h"
#include "inspector/user_paths.h"
#include "report/error_output.h"
#include "terminal.h"

namespace kelvora::cli {

using namespace analysis;
using namespace inspector;
using namespace report;
namespace {

constexpr char kSeeUsage[] = "\nRun 'kelvora --help' for the usage.\n";

// The --findings-dir folder, made when it is missing but its parent exists. False (told on
// standard error) when it cannot serve.
bool prepareFindingsDir(const std::string& folder) {
  switch (kindOf(folder)) {
    case PathKind::kFolder:
      return true;
    case PathKind::kFile:
      writeError("kelvora: --findings-dir: " + folder + " is no folder" + kSeeUsage);
      return false;
    case PathKind::kNothing:
      break;
  }
  std::string reason;
  bool parentMissing = false;
  if (makeFolder(folder, reason, parentMissing)) return true;
  writeError("kelvora: --findings-dir: " + folder +
             (parentMissing ? " does not exist, nor does the folder that would hold it"
                            : " cannot be made: " + reason) +
             kSeeUsage);
  return false;
}

// Glances at each MDM_FILE before any run. An SDM given for its MDM is told and left out: its run
// would only find no studies and write a findings file beside the SDM. Another file that is no
// MDM gets a note and its run, which says what the plug-in says of it. Returns kNotInspected when
// a file was left out.
ExitStatus glanceAtMdmFiles(CliOptions& options) {
  ExitStatus status = kClean;
  std::vector<std::string> kept;
  for (const std::string& mdmFile : options.mdmFiles) {
    const MdmFileGlance glance = glanceAtMdmFile(mdmFile);
    if (glance.kind == GivenFileKind::kSdm) {
      writeError("kelvora: " + mdmFile + ": this looks like an SDM: give the MDM that lists it\n");
      status = kNotInspected;
      continue;
    }
    if (glance.kind == GivenFileKind::kOther) {
      writeError("kelvora: " + mdmFile +
                 ": this does not look like an MDM (its start holds no NrOfStudies:)\n");
    }
    kept.push_back(mdmFile);
  }
  options.mdmFiles = std::move(kept);
  return status;
}

// Makes options.policy of --config and --ignore. False (told on standard error) when the config
// cannot be read, does not parse or names an unknown code.
bool loadPolicy(CliOptions& options) {
  if (options.configFile) {
    const std::string& path = *options.configFile;
    std::string problem;  // what follows the path on the line
    const std::optional<std::string> text = readUserFile(path, problem);
    std::string error;
    if (text && !addPolicyConfig(*text, options.policy, error)) problem = ": " + error;
    if (!problem.empty()) {
      writeError("kelvora: --config " + path + problem + kSeeUsage);
      return false;
    }
  }
  std::string error;
  for (const std::string& code : options.ignoredCodes) {
    if (!addIgnoredCode(code, options.policy, error)) {
      writeError("kelvora: --ignore: " + error + kSeeUsage);
      return false;
    }
  }
  return true;
}

int runCommandLine(int argc, char** argv) {
  useBinaryStandardStreams();
  const CommandLine commandLine = parseCommandLine(argc, argv);
  switch (commandLine.action) {
    case CommandLineAction::kShowHelp:
    case CommandLineAction::kShowVersion:
    case CommandLineAction::kExplain:
      std::fputs(commandLine.text.c_str(), stdout);
      return kClean;
    case CommandLineAction::kUsageError:
      writeError(commandLine.text);
      return kUsageError;
    case CommandLineAction::kInspect:
    case CommandLineAction::kPrintConfig:
      break;
  }
  CliOptions options = commandLine.options;
  if (!loadPolicy(options)) return kUsageError;
  if (commandLine.action == CommandLineAction::kPrintConfig) {
    std::fputs(policyConfigText(options.policy).c_str(), stdout);
    return kClean;
  }
  if (options.findingsDir && !prepareFindingsDir(*options.findingsDir)) return kUsageError;
  const ExitStatus glanced = glanceAtMdmFiles(options);
  if (options.mdmFiles.empty()) return glanced;
  const SessionStreams streams{standardInputIsTerminal(), standardErrorIsTerminal()};
  return worseOf(glanced, inspectAll(options, streams));
}

}  // namespace
}  // namespace kelvora::cli

int main(int argc, char** argv) {
#if defined(__GLIBC__)
  // One heap for every thread: the C library would give each reading thread a heap of its own,
  // which keeps what was freed on it (the SDMs' values, the designs made there) beside the main
  // heap's, and so grows the peak with the threads and with the study.
  mallopt(M_ARENA_MAX, 1);
  // Fixed thresholds for that one heap. Left to adapt, it gave its top back to the system after
  // nearly every SDM and took it again for the next (the reading buffer, 256 KiB, sits there), a
  // third of the run's system time. Blocks up to twice that stay in the heap, where the next SDM
  // finds them again; larger ones (a long study's lists, a large SDM's columns) are mapped and
  // given back whole, as before.
  mallopt(M_MMAP_THRESHOLD, 512 << 10);
  mallopt(M_TRIM_THRESHOLD, 4 << 20);
#endif
  try {
    return kelvora::cli::runCommandLine(argc, argv);
  } catch (const std::exception& error) {
    kelvora::report::writeError(std::string("kelvora: ") + error.what() + "\n");
  } catch (...) {
    std::fputs("kelvora: unexpected failure\n", stderr);
  }
  return kelvora::analysis::kNotInspected;
}
