#include "cli_options.h"

#include <CLI/CLI.hpp>
#include <exception>
#include <set>

#include "designmatrix/path_names.h"
#include "exit_status.h"
#include "inspection/inspection_run.h"
#include "plugin/plugin_metadata.h"

namespace kelvora::cli {
namespace {

constexpr char kDescription[] =
    "Inspects the design matrices of a multi-subject GLM, exactly as the Kelvora plug-in does in\n"
    "its host: each MDM_FILE in turn is read with every SDM it names (relative paths in an MDM\n"
    "are found in the MDM's folder), its log lines go to standard output and to a findings file\n"
    "beside the MDM (group.mdm gives group_log.txt). When the first SDM is missing, the repair\n"
    "asks where it is (--locate, or a prompt when standard input is a terminal) and whether to\n"
    "save the corrected MDM (--save-mdm). Paths given are made full paths, as a dialog gives.";

CommandLine usageError(const std::string& message) {
  CommandLine line;
  line.action = CommandLineAction::kUsageError;
  line.text = "kelvora: " + message + "\nRun 'kelvora --help' for the usage.\n";
  return line;
}

// The findings file name that two of `mdmFiles` share, if any: in one folder, the second run's
// file would replace the first's.
std::optional<std::string> sharedFindingsName(const std::vector<std::string>& mdmFiles) {
  std::set<std::string> names;
  for (const std::string& mdmFile : mdmFiles) {
    std::string name = fileNameOf(*findingsBesideMdm(mdmFile));
    if (!names.insert(name).second) return name;
  }
  return std::nullopt;
}

}  // namespace

CommandLine parseCommandLine(int argc, const char* const* argv) {
  try {
    CLI::App app(kDescription, "kelvora");
    app.footer(kExitStatusHelp);
    // Arguments beginning with '/' are paths on every platform, never options.
    app.allow_windows_style_options(false);
    app.set_help_flag("-h,--help", "Print this help and exit");
    bool version = false;
    app.add_flag("--version", version, "Print the version and exit");

    CliOptions options;
    std::string locate;
    std::string saveMdm;
    CLI::Option* locateOption =
        app.add_option(
               "--locate", locate,
               "Where the MDM's first SDM is now: answers \"SDM not found\" (one MDM_FILE only)")
            ->type_name("SDM_PATH");
    CLI::Option* saveOption =
        app.add_option(
               "--save-mdm", saveMdm,
               "Save the corrected MDM under this name (without it: not saved; one MDM_FILE only)")
            ->type_name("MDM_PATH");
    std::string report;
    CLI::Option* reportOption =
        app.add_option("--report", report,
                       "Write an HTML report of the MDM_FILE (one only) after its run: findings, "
                       "design-matrix pictures, rank check")
            ->type_name("FILE.html");
    app.add_flag("--json", options.json,
                 "One JSON object per MDM on each line, instead of the log lines");
    app.add_flag("--quiet", options.quiet,
                 "Print no log lines (the exit status, errors and --json stay as they are)");
    std::string findingsDir;
    CLI::Option* findingsDirOption =
        app.add_option("--findings-dir", findingsDir,
                       "Write the findings file (same name) into this folder, not beside the MDM")
            ->type_name("DIR");
    app.add_flag("--no-findings-file", options.noFindingsFile, "Write no findings file");
    app.add_option("MDM_FILE", options.mdmFiles, "The MDM files to inspect, in this order")
        ->type_name("MDM_FILE");

    try {
      app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
      return CommandLine{CommandLineAction::kShowHelp, {}, app.help()};
    } catch (const CLI::ParseError& error) {
      return usageError(error.what());
    }
    if (version) {
      return CommandLine{
          CommandLineAction::kShowVersion, {}, std::string("kelvora ") + kPluginVersion + "\n"};
    }
    if (options.mdmFiles.empty()) return usageError("no MDM_FILE given");
    for (const CLI::Option* option : {reportOption, locateOption, saveOption}) {
      if (option->count() > 0 && options.mdmFiles.size() > 1) {
        return usageError(option->get_name() + " takes one MDM_FILE");
      }
    }
    if (reportOption->count() > 0) options.report = report;
    if (locateOption->count() > 0) options.locate = locate;
    if (saveOption->count() > 0) options.saveMdm = saveMdm;
    if (findingsDirOption->count() > 0) {
      if (options.noFindingsFile) {
        return usageError("--findings-dir and --no-findings-file exclude each other");
      }
      options.findingsDir = findingsDir;
      if (const std::optional<std::string> shared = sharedFindingsName(options.mdmFiles)) {
        return usageError("--findings-dir: two MDM_FILEs would both write " + *shared);
      }
    }
    return CommandLine{CommandLineAction::kInspect, options, ""};
  } catch (const std::exception& error) {
    return usageError(error.what());
  }
}

}  // namespace kelvora::cli
