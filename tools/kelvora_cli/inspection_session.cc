#include "inspection_session.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "call_files.h"
#include "cli_dialogs.h"
#include "designmatrix/path_names.h"
#include "findings_not_saved.h"
#include "inspector/mdm_inspection.h"
#include "inspector/user_paths.h"
#include "log/plugin_log.h"
#include "progress_line.h"
#include "report/error_output.h"
#include "report/further_output.h"
#include "report/subject_table.h"

namespace kelvora::cli {

using namespace analysis;
using namespace inspector;
using namespace report;
namespace {

// The log sink is a plain function, so the progress line it must erase first is reached here.
ProgressLine* activeProgress = nullptr;

bool printsLog(const CliOptions& options) { return !options.json && !options.quiet; }

// One log entry, one line: the text as it is, then a line end.
void printLogEntry(const char* text) {
  if (activeProgress != nullptr) activeProgress->erase();
  std::fputs(text, stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

// The progress line that the sink erases belongs to one call of inspectAll, whatever way it ends.
class ProgressInstallation {
 public:
  explicit ProgressInstallation(ProgressLine& progress) { activeProgress = &progress; }
  ~ProgressInstallation() { activeProgress = nullptr; }
  ProgressInstallation(const ProgressInstallation&) = delete;
  ProgressInstallation& operator=(const ProgressInstallation&) = delete;
};

// The options' paths as full paths, taken in the folder the call started in.
CliOptions withFullPaths(CliOptions options) {
  for (std::string& mdmFile : options.mdmFiles) mdmFile = fullPath(mdmFile);
  for (std::optional<std::string>* path :
       {&options.locate, &options.saveMdm, &options.report, &options.findingsDir}) {
    if (*path) **path = fullPath(**path);
  }
  return options;
}

std::optional<std::string> noFindingsFile(const std::string&) { return std::nullopt; }

FindingsFileRule findingsFileRule(const CliOptions& options) {
  if (options.noFindingsFile) return noFindingsFile;
  if (!options.findingsDir) return findingsBesideMdm;
  return [folder = *options.findingsDir](const std::string& mdmPath) {
    return std::optional<std::string>(
        pathInFolder(folder, fileNameOf(*findingsBesideMdm(mdmPath))));
  };
}

// "a, b, c and 4 more": the first few of `paths`, then how many are left.
std::string someOf(const std::vector<std::string>& paths) {
  constexpr std::size_t kNamed = 3;
  std::string text;
  for (std::size_t i = 0; i < paths.size() && i < kNamed; ++i) {
    text += (i == 0 ? "" : ", ") + paths[i];
  }
  if (paths.size() > kNamed) text += " and " + std::to_string(paths.size() - kNamed) + " more";
  return text;
}

// Why the repair of `mdm` located no SDM, in one line, or nothing when it did.
std::string unlocatedLine(const std::string& mdm, const RepairDialogs& dialogs,
                          const CliOptions& options) {
  using Answer = RepairDialogs::LocateAnswer;
  const std::string notFound = "kelvora: " + mdm + ": the first SDM was not found; ";
  const std::string remedy = ": --locate SDM_PATH repairs it\n";
  switch (dialogs.locateAnswer()) {
    case Answer::kNobodyAsked:
      return notFound + "not asked (" +
             (options.noPrompt ? "--no-prompt" : "standard input is no terminal") + ")" + remedy;
    case Answer::kPromptCancelled:
      return notFound + "the prompt was cancelled" + remedy;
    case Answer::kNameRefused:
      return "kelvora: " + mdm + ": --locate names " + fileNameOf(*options.locate) +
             ", not the missing " + dialogs.missingSdmName() +
             ": refused, as every path of the MDM would be re-based on it (--force-locate takes "
             "it)\n";
    case Answer::kMdmUnreadable:
      return notFound +
             "the MDM could not be read again to check the repair, so it was "
             "cancelled\n";
    case Answer::kNotAsked:
    case Answer::kLocated:
      break;
  }
  return "";
}

// Tells on standard error what became of the repair and the corrected MDM, and which options
// found no question.
void tellRepair(const RunOutcome& outcome, const RepairDialogs& dialogs,
                const CliOptions& options) {
  if (!dialogs.repairAsked()) {
    if (!options.locate && !options.saveMdm) return;
    const char* unused = !options.saveMdm  ? "--locate was"
                         : !options.locate ? "--save-mdm was"
                                           : "--locate and --save-mdm were";
    writeError("kelvora: note: " + outcome.mdmPath + " asked for no repair; " + unused +
               " not used\n");
    return;
  }
  writeError(unlocatedLine(outcome.mdmPath, dialogs, options));
  if (!dialogs.saveOffered()) return;  // the located SDM could not be read: the run said so
  const auto notSaved = std::find_if(
      outcome.findings.begin(), outcome.findings.end(),
      [](const Finding& finding) { return finding.code == FindingCode::kMdmNotSaved; });
  const std::vector<std::string>& unopened = dialogs.unopenedSdms();
  std::string text;
  if (!unopened.empty()) {
    text = "not saved: " + std::to_string(unopened.size()) + " of its " +
           std::to_string(dialogs.correctedSdmCount()) +
           " SDM paths do not open: " + someOf(unopened);
  } else if (outcome.savedMdmPath) {
    text = "saved to " + *outcome.savedMdmPath;
  } else if (notSaved != outcome.findings.end()) {
    text = "not saved: " + notSaved->path + " could not be written";
  } else if (outcome.end == RunEnd::kRepairSaveCancelled) {
    text = "not saved: the save was cancelled";
  } else {
    text = "not saved; its paths served this inspection only (--save-mdm MDM_PATH saves it)";
  }
  writeError("kelvora: the corrected MDM was " + text + "\n");
}

// After the run, before the study is read: what became of the repair, and why the findings file
// was not saved.
void tellAfterRun(const RunOutcome& outcome, const RepairDialogs& dialogs, void* context) {
  const auto& call = *static_cast<const std::pair<const CliOptions*, ProgressLine*>*>(context);
  call.second->erase();
  tellRepair(outcome, dialogs, *call.first);
  tellWhyFindingsNotSaved(outcome);
}

InspectionRequest requestOf(const std::string& mdmFile, const CliOptions& options) {
  InspectionRequest request;
  request.mdmFile = mdmFile;
  request.repair = RepairAnswers{options.locate, options.forceLocate, options.saveMdm};
  request.findingsFile = findingsFileRule(options);
  request.withPictures = options.report.has_value();
  request.questions.allCorrelations = options.allCorrelations;
  request.questions.contrasts = options.contrasts;
  request.questions.lowEfficiency = options.lowEfficiency;
  request.subjectRule = options.subjectRule;
  request.failOn = options.failOn;
  request.policy = options.policy;
  request.logSink = printsLog(options) ? &printLogEntry : nullptr;
  return request;
}

void tellStopped(const std::string& mdmFile, const std::string& reason);
ExitStatus writeOutputs(const MdmInspection& inspection, const CliOptions& options);

ExitStatus inspectOne(const std::string& mdmFile, const CliOptions& options,
                      const SessionStreams& streams, ProgressLine& progress) {
  TerminalFrontEnd terminal(streams.inputIsTerminal && !options.noPrompt, progress);
  std::pair<const CliOptions*, ProgressLine*> call{&options, &progress};
  const std::unique_ptr<MdmInspection> inspection =
      MdmInspection::perform(requestOf(mdmFile, options), terminal, &tellAfterRun, &call);
  progress.erase();
  if (const std::optional<std::string>& reason = inspection->stopReason()) {
    tellStopped(mdmFile, *reason);
    if (options.json) inspection->writeJsonLine(stdout);
    return kNotInspected;
  }
  try {
    return writeOutputs(*inspection, options);
  } catch (const std::exception& error) {
    tellStopped(mdmFile, error.what());
  } catch (...) {
    tellStopped(mdmFile, "");
  }
  return kNotInspected;
}

void tellStopped(const std::string& mdmFile, const std::string& reason) {
  writeError("kelvora: the inspection of " + mdmFile + " stopped" +
             (reason.empty() ? "" : ": " + reason) + "\n");
}

// kelvora's outputs of one inspection that ran: the JSON line or the lines beyond the log, the
// findings file's section and the report; returns the MDM's exit status.
ExitStatus writeOutputs(const MdmInspection& inspection, const CliOptions& options) {
  ExitStatus status = inspection.status();
  // A batch keeps the study's record even when a contrast was mistyped: its object holds the
  // usage error's sentence beside the study's findings.
  if (options.json) inspection.writeJsonLine(stdout);
  if (const std::optional<std::string>& unknown = inspection.study()->contrastUsageError) {
    writeError("kelvora: " + *unknown + "\nRun 'kelvora --help' for the usage.\n");
    return kUsageError;
  }
  // Standard error is the same with or without --json: the JSON on standard output is for a
  // program, the lines beyond the log are for whoever watches the batch.
  inspection.addFindingsSection(stderr);  // the lines beyond the log, on standard error too
  if (options.subjects) writeSubjectTable(*inspection.study(), stderr);
  std::string error;
  if (options.report && !inspection.writeReport(*options.report, error)) {
    writeError("kelvora: no report: " + error + "\n");
    status = worseOf(status, kNotInspected);
  }
  return status;
}

}  // namespace

ExitStatus inspectAll(const CliOptions& givenOptions, const SessionStreams& streams) {
  const CliOptions options = withFullPaths(givenOptions);
  if (const std::optional<std::string> clash = findFileClash(options, findingsFileRule(options))) {
    writeError("kelvora: " + *clash + "\n");
    return kUsageError;
  }
  ProgressLine progress(streams.errorIsTerminal);
  ProgressInstallation installed(progress);
  ExitStatus status = kClean;
  for (const std::string& mdmFile : options.mdmFiles) {
    status = worseOf(status, inspectOne(mdmFile, options, streams, progress));
  }
  return status;
}

}  // namespace kelvora::cli
