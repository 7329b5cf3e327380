// The inspector's command line, as usage.txt documents it (the one source of --help, the man page
// and the README's option table). Parsing only: nothing is read or run here.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "analysis/chosen_subject_rule.h"
#include "analysis/contrast_study.h"
#include "analysis/finding_policy.h"
#include "analysis/record_severity.h"

namespace kelvora::cli {

struct CliOptions {
  std::vector<std::string> mdmFiles;   // inspected in this order; never empty after parsing
  std::optional<std::string> locate;   // answers the one run's "SDM not found" dialog
  bool forceLocate = false;            // --locate stands even when its file name is not the SDM's
  bool noPrompt = false;               // nobody is asked, even at a terminal
  std::optional<std::string> saveMdm;  // answers yes to saving, and the save dialog
  bool json = false;                   // one JSON object per MDM instead of the log lines
  bool quiet = false;                  // no log lines (errors, notes and JSON as without it)
  std::optional<std::string> report;   // the HTML report of the one MDM_FILE, written after its run
  std::optional<std::string> findingsDir;  // the findings files go there instead of beside the MDM
  bool noFindingsFile = false;             // no findings file at all
  // --fail-on: the least serious findings that make the exit status 1; none: as without the
  // option (the run's findings, kelvora's warnings and design findings).
  std::optional<analysis::RecordSeverity> failOn;
  analysis::SubjectRule subjectRule;      // how kelvora's own checks group runs by subject
  bool subjects = false;                  // the subject table on standard error (text mode)
  bool allCorrelations = false;           // PREDICTOR_CORRELATION also for pairs of two confounds
  std::optional<std::string> configFile;  // --config: the lab's finding policy, read before runs
  std::vector<std::string> ignoredCodes;  // --ignore, in the order given
  // Made of configFile and ignoredCodes after parsing (kelvora_main.cc reads the file).
  analysis::FindingPolicy policy;
  // --contrast, then the rows of --contrasts: by predictor name, for every MDM_FILE.
  std::vector<analysis::Contrast> contrasts;
  double lowEfficiency = analysis::kLowEfficiencyFraction;  // --low-efficiency
};

enum class CommandLineAction {
  kInspect,
  kShowHelp,
  kShowVersion,
  kExplain,  // text: the guide's entry of the code asked
  kPrintConfig,
  kUsageError
};

struct CommandLine {
  CommandLineAction action = CommandLineAction::kUsageError;
  CliOptions options;  // meaningful for kInspect and kPrintConfig (its configFile, ignoredCodes)
  // kShowHelp: the usage with options and exit statuses; kShowVersion: the version line;
  // kUsageError: what was wrong, and where to find the usage. Each ends with a line end.
  std::string text;
};

// Parses argv. --help and --version win over anything else on the line except an unknown
// option; --explain CODE then wins (an unknown CODE is a usage error), --print-config then wins
// over the rest; neither needs an MDM_FILE. No MDM_FILE, --report,
// --locate or --save-mdm with more than one, --force-locate without
// --locate, --findings-dir with --no-findings-file or with two MDM_FILEs whose findings files have
// one name, an unknown --fail-on, a --subject-rule that is not a rule (parseSubjectRule), a
// --contrast or --contrasts file that does not parse (contrast_weights.h; the file is read here),
// two contrasts of one name and a --low-efficiency that is not a number in (0, 1] are usage errors.
// Paths are kept as given. Never throws.
CommandLine parseCommandLine(int argc, const char* const* argv);

}  // namespace kelvora::cli
