#include "cli_options.h"

#include <CLI/CLI.hpp>
#include <cstdlib>
#include <exception>
#include <map>
#include <set>
#include <stdexcept>
#include <string_view>

#include "analysis/finding_guide.h"
#include "designmatrix/path_names.h"
#include "files/user_file.h"
#include "inspection/inspection_run.h"
#include "kelvora_usage.h"
#include "kelvora_version.h"

namespace kelvora::cli {

using namespace analysis;
namespace {

// `name` when usage.txt documents it; an option it does not document fails to compile.
constexpr std::string_view documented(std::string_view name) {
  for (std::string_view known : usage::kOptionNames) {
    if (known == name) return known;
  }
  throw std::logic_error("option missing from usage.txt");
}

constexpr std::string_view kHelp = documented("--help");
constexpr std::string_view kVersion = documented("--version");
constexpr std::string_view kLocate = documented("--locate");
constexpr std::string_view kForceLocate = documented("--force-locate");
constexpr std::string_view kNoPrompt = documented("--no-prompt");
constexpr std::string_view kSaveMdm = documented("--save-mdm");
constexpr std::string_view kReport = documented("--report");
constexpr std::string_view kJson = documented("--json");
constexpr std::string_view kQuiet = documented("--quiet");
constexpr std::string_view kFindingsDir = documented("--findings-dir");
constexpr std::string_view kNoFindingsFile = documented("--no-findings-file");
constexpr std::string_view kFailOn = documented("--fail-on");
constexpr std::string_view kSubjectRule = documented("--subject-rule");
constexpr std::string_view kSubjects = documented("--subjects");
constexpr std::string_view kAllCorrelations = documented("--all-correlations");
constexpr std::string_view kConfig = documented("--config");
constexpr std::string_view kIgnore = documented("--ignore");
constexpr std::string_view kPrintConfig = documented("--print-config");
constexpr std::string_view kExplain = documented("--explain");
constexpr std::string_view kContrast = documented("--contrast");
constexpr std::string_view kContrasts = documented("--contrasts");
constexpr std::string_view kLowEfficiency = documented("--low-efficiency");

std::string optionName(std::string_view name) { return std::string(name); }

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

// The contrasts of --contrast `expressions` and the --contrasts `table` file (when given), or
// nullopt with `error` telling why not.
std::optional<std::vector<Contrast>> contrastsOf(const std::vector<std::string>& expressions,
                                                 const std::optional<std::string>& table,
                                                 std::string& error) {
  std::vector<Contrast> contrasts;
  for (const std::string& expression : expressions) {
    std::optional<Contrast> contrast = parseContrastExpression(expression, error);
    if (!contrast) return std::nullopt;
    contrasts.push_back(std::move(*contrast));
  }
  if (table) {
    const std::optional<std::string> text = readUserFile(*table, error);
    if (!text) {
      error = "--contrasts: " + *table + error;
      return std::nullopt;
    }
    std::optional<std::vector<Contrast>> rows = parseContrastTable(*text, error);
    if (!rows) {
      error = "--contrasts: " + *table + " " + error;
      return std::nullopt;
    }
    contrasts.insert(contrasts.end(), rows->begin(), rows->end());
  }
  if (std::optional<std::string> refused = contrastSetError(contrasts)) {
    error = std::move(*refused);
    return std::nullopt;
  }
  return contrasts;
}

}  // namespace

CommandLine parseCommandLine(int argc, const char* const* argv) {
  try {
    // The help text is usage.txt's, so --help, the man page and the README say the same.
    CLI::App app("", "kelvora");
    // Arguments beginning with '/' are paths on every platform, never options.
    app.allow_windows_style_options(false);
    app.set_help_flag("-h," + optionName(kHelp));
    bool version = false;
    app.add_flag(optionName(kVersion), version);

    CliOptions options;
    std::string locate;
    std::string saveMdm;
    std::string report;
    std::string findingsDir;
    std::string subjectRule;
    CLI::Option* locateOption = app.add_option(optionName(kLocate), locate);
    app.add_flag(optionName(kForceLocate), options.forceLocate);
    app.add_flag(optionName(kNoPrompt), options.noPrompt);
    CLI::Option* saveOption = app.add_option(optionName(kSaveMdm), saveMdm);
    CLI::Option* reportOption = app.add_option(optionName(kReport), report);
    app.add_flag(optionName(kJson), options.json);
    app.add_flag(optionName(kQuiet), options.quiet);
    CLI::Option* findingsDirOption = app.add_option(optionName(kFindingsDir), findingsDir);
    app.add_flag(optionName(kNoFindingsFile), options.noFindingsFile);
    const std::map<std::string, RecordSeverity> severities{{"error", RecordSeverity::kError},
                                                           {"warning", RecordSeverity::kWarning},
                                                           {"note", RecordSeverity::kNote}};
    std::string failOn;
    CLI::Option* failOnOption = app.add_option(optionName(kFailOn), failOn);
    CLI::Option* subjectRuleOption = app.add_option(optionName(kSubjectRule), subjectRule);
    app.add_flag(optionName(kSubjects), options.subjects);
    app.add_flag(optionName(kAllCorrelations), options.allCorrelations);
    std::string configFile;
    CLI::Option* configOption = app.add_option(optionName(kConfig), configFile);
    app.add_option(optionName(kIgnore), options.ignoredCodes)->allow_extra_args(false);
    bool printConfig = false;
    app.add_flag(optionName(kPrintConfig), printConfig);
    std::string explained;
    CLI::Option* explainOption = app.add_option(optionName(kExplain), explained);
    std::vector<std::string> contrastExpressions;
    std::string contrastTable;
    app.add_option(optionName(kContrast), contrastExpressions)->allow_extra_args(false);
    CLI::Option* tableOption = app.add_option(optionName(kContrasts), contrastTable);
    std::string lowEfficiency;
    CLI::Option* lowOption = app.add_option(optionName(kLowEfficiency), lowEfficiency);
    app.add_option("MDM_FILE", options.mdmFiles);

    try {
      app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
      return CommandLine{CommandLineAction::kShowHelp, {}, usage::kHelpText};
    } catch (const CLI::ParseError& error) {
      return usageError(error.what());
    }
    if (version) {
      return CommandLine{
          CommandLineAction::kShowVersion, {}, std::string("kelvora ") + kKelvoraVersion + "\n"};
    }
    if (explainOption->count() > 0) {
      const GuideEntry* entry = guideEntryOf(explained);
      if (entry == nullptr) return usageError("--explain: " + unknownCodeSentence(explained));
      return CommandLine{CommandLineAction::kExplain, {}, explanation(*entry)};
    }
    if (configOption->count() > 0) options.configFile = configFile;
    if (printConfig) return CommandLine{CommandLineAction::kPrintConfig, options, ""};
    if (options.mdmFiles.empty()) return usageError("no MDM_FILE given");
    for (const CLI::Option* option : {reportOption, locateOption, saveOption}) {
      if (option->count() > 0 && options.mdmFiles.size() > 1) {
        return usageError(option->get_name() + " takes one MDM_FILE");
      }
    }
    if (reportOption->count() > 0) options.report = report;
    if (locateOption->count() > 0) options.locate = locate;
    if (options.forceLocate && !options.locate) return usageError("--force-locate takes --locate");
    if (saveOption->count() > 0) options.saveMdm = saveMdm;
    if (failOnOption->count() > 0) {
      const auto severity = severities.find(failOn);
      if (severity == severities.end()) {
        return usageError("--fail-on: " + failOn + " is none of error, warning, note");
      }
      options.failOn = severity->second;
    }
    if (findingsDirOption->count() > 0) {
      if (options.noFindingsFile) {
        return usageError("--findings-dir and --no-findings-file exclude each other");
      }
      options.findingsDir = findingsDir;
      if (const std::optional<std::string> shared = sharedFindingsName(options.mdmFiles)) {
        return usageError("--findings-dir: two MDM_FILEs would both write " + *shared);
      }
    }
    if (subjectRuleOption->count() > 0) {
      std::string error;
      std::optional<SubjectRule> rule = parseSubjectRule(subjectRule, error);
      if (!rule) return usageError("--subject-rule: " + error);
      options.subjectRule = std::move(*rule);
    }
    std::string error;
    std::optional<std::vector<Contrast>> contrasts = contrastsOf(
        contrastExpressions,
        tableOption->count() > 0 ? std::optional<std::string>(contrastTable) : std::nullopt, error);
    if (!contrasts) return usageError(error);
    options.contrasts = std::move(*contrasts);
    if (lowOption->count() > 0) {
      char* end = nullptr;
      options.lowEfficiency = std::strtod(lowEfficiency.c_str(), &end);
      if (lowEfficiency.empty() || *end != '\0' ||
          !(options.lowEfficiency > 0.0 && options.lowEfficiency <= 1.0)) {
        return usageError("--low-efficiency: " + lowEfficiency +
                          " is no fraction above 0 and at most 1");
      }
    }
    return CommandLine{CommandLineAction::kInspect, options, ""};
  } catch (const std::exception& error) {
    return usageError(error.what());
  }
}

}  // namespace kelvora::cli
