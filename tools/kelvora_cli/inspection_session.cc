#include "inspection_session.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "analysis/finding_record.h"
#include "analysis/sdm_design_maker.h"
#include "call_files.h"
#include "cli_dialogs.h"
#include "designmatrix/path_names.h"
#include "findings_not_saved.h"
#include "inspection/inspection_run.h"
#include "log/plugin_log.h"
#include "progress_line.h"
#include "report/error_output.h"
#include "report/findings_section.h"
#include "report/further_output.h"
#include "report/outcome_json.h"
#include "report/report_file.h"
#include "report/subject_table.h"
#include "user_paths.h"

namespace kelvora::cli {

using namespace analysis;
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

// The sink and the progress line belong to one call of inspectAll, whatever way it ends.
class SinkInstallation {
 public:
  SinkInstallation(bool printLog, ProgressLine& progress) {
    activeProgress = &progress;
    setLogTextSink(printLog ? &printLogEntry : nullptr);
  }
  ~SinkInstallation() {
    setLogTextSink(nullptr);
    activeProgress = nullptr;
  }
  SinkInstallation(const SinkInstallation&) = delete;
  SinkInstallation& operator=(const SinkInstallation&) = delete;
};

// The study's designs for the rank check and the report, made from the SDMs the run read; those
// it did not read (it ended before) are read now. The readers' lines (an SDM that cannot be
// opened) belong to the run's log only, so they are not printed.
InspectedStudy studyAfterRun(const RunOutcome& outcome, const CliOptions& options,
                             const std::optional<std::string>& locatedSdm,
                             SdmDesignMaker& designs) {
  struct Silence {
    LogTextSink restored;
    ~Silence() { setLogTextSink(restored); }
  } silence{printsLog(options) ? &printLogEntry : nullptr};
  setLogTextSink(nullptr);
  return readInspectedStudy(outcome, locatedSdm, designs, options.subjectRule);
}

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
std::string unlocatedLine(const std::string& mdm, const CommandLineDialogs& dialogs,
                          const CliOptions& options) {
  using Answer = CommandLineDialogs::LocateAnswer;
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
void tellRepair(const RunOutcome& outcome, const CommandLineDialogs& dialogs,
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
    text = "not saved; its paths served this run only (--save-mdm MDM_PATH saves it)";
  }
  writeError("kelvora: the corrected MDM was " + text + "\n");
}

ExitStatus inspectOne(const std::string& mdmFile, const CliOptions& options,
                      const SessionStreams& streams, ProgressLine& progress) {
  const CurrentFolder mdmFolder(folderOf(mdmFile));
  CommandLineDialogs dialogs(mdmFile, options, streams.inputIsTerminal, progress);
  try {
    SdmDesignMaker designs(options.report.has_value(), DesignQuestions{options.allCorrelations});
    RunSettings settings;
    settings.findingsFile = findingsFileRule(options);
    settings.visitSdm = designs.visitor();
    const RunOutcome outcome = runInspection(dialogs, settings);
    progress.erase();
    tellRepair(outcome, dialogs, options);
    tellWhyFindingsNotSaved(outcome);
    const InspectedStudy study = studyAfterRun(outcome, options, dialogs.locatedSdm(), designs);
    const FindingRecord record(outcome, &study);
    ExitStatus status = options.failOn ? recordStatus(outcome, record, *options.failOn)
                                       : worseOf(exitStatusOf(outcome), furtherStatus(study));
    // The run may still have read every SDM (one opened after the check): the study's paths are
    // not sound all the same.
    if (!dialogs.unopenedSdms().empty()) status = worseOf(status, kNotInspected);
    if (options.json) {
      std::vector<ArrayMember> members = furtherMembers(&study.diagnosis);
      members.push_back(allFindingsMember(record));
      members.push_back(sdmDesignsMember(&study.designs));
      writeOutcomeLine(outcome, &study.designs, members, stdout);
    } else {
      writeFurtherLines(record, stderr);
      if (options.subjects) writeSubjectTable(study, stderr);
    }
    addFindingsSection(outcome, record);
    std::string error;
    if (options.report && !writeReportFile(*options.report, outcome, study, error)) {
      writeError("kelvora: no report: " + error + "\n");
      status = worseOf(status, kNotInspected);
    }
    return status;
  } catch (const std::exception& error) {
    progress.erase();
    writeError("kelvora: the inspection of " + mdmFile + " stopped: " + error.what() + "\n");
  } catch (...) {
    progress.erase();
    writeError("kelvora: the inspection of " + mdmFile + " stopped\n");
  }
  if (options.json) {
    const RunOutcome none;
    const FindingRecord record(none, nullptr);
    std::vector<ArrayMember> members = furtherMembers(nullptr);
    members.push_back(allFindingsMember(record));
    members.push_back(sdmDesignsMember(nullptr));
    writeInterruptedRunLine(mdmFile, members, stdout);
  }
  return kNotInspected;
}

}  // namespace

ExitStatus inspectAll(const CliOptions& givenOptions, const SessionStreams& streams) {
  const CliOptions options = withFullPaths(givenOptions);
  if (const std::optional<std::string> clash = findFileClash(options, findingsFileRule(options))) {
    writeError("kelvora: " + *clash + "\n");
    return kUsageError;
  }
  ProgressLine progress(streams.errorIsTerminal);
  SinkInstallation sink(printsLog(options), progress);
  ExitStatus status = kClean;
  for (const std::string& mdmFile : options.mdmFiles) {
    status = worseOf(status, inspectOne(mdmFile, options, streams, progress));
  }
  return status;
}

}  // namespace kelvora::cli
