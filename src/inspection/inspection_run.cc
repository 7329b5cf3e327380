#include "inspection/inspection_run.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "designmatrix/mdm_file.h"
#include "designmatrix/path_names.h"
#include "designmatrix/sdm_file.h"
#include "designmatrix/sdm_path_repair.h"
#include "inspection/name_list_table.h"
#include "inspection/predictor_checks.h"
#include "inspection/run_messages.h"
#include "inspection/sdm_predictors.h"
#include "inspection/sdm_read_ahead.h"
#include "inspection/subjects.h"
#include "inspection/zero_checks.h"
#include "inspection/zero_column_set.h"
#include "log/plugin_log.h"

namespace kelvora {
namespace {

// Closes the findings file on every way out of a run, an exception included, so that no later
// entry can reach it. The complete end closes it itself, to learn whether every line was saved.
class FindingsFileGuard {
 public:
  FindingsFileGuard() = default;
  ~FindingsFileGuard() {
    if (pluginLog.hasFile()) pluginLog.closeFile();
  }
  FindingsFileGuard(const FindingsFileGuard&) = delete;
  FindingsFileGuard& operator=(const FindingsFileGuard&) = delete;
};

class InspectionRun {
 public:
  InspectionRun(UserDialogs& dialogs, const RunSettings& settings)
      : dialogs(dialogs), settings(settings) {}
  RunOutcome perform();

 private:
  // Reads every study's SDM into `sdms`, with the repair for the first one. False when the run
  // has ended.
  bool loadSdms(MdmFile& mdm);
  bool loadFirstSdm(MdmFile& mdm);
  // Reports an SDM that ends the run (one too large, or one after the first that cannot be
  // opened); false then.
  bool accept(const CondensedSdm& sdm);
  // Counts what the run keeps of an SDM it took, its names once per list; reports the SDM that
  // takes the run past its ceiling, and returns false then.
  bool keep(const CondensedSdm& sdm);
  // Repairs the path of the first SDM, `first` holding it as read; reads it again into `first`.
  bool repair(MdmFile& mdm, std::vector<SdmFile>& first, std::size_t failureFinding);
  // Sets how the run ended; false, so that a step can `return stop(...)`.
  bool stop(RunEnd end);
  RunOutcome finish(RunEnd end);
  // Notes the key of the findings file while the run still has it open.
  void keepFindingsFileKey();

  // Logs the line as one entry and keeps its finding.
  void write(ReportLine line);
  // Writes a check's lines. A finding past the run's most ends the run with RUN_TOO_LARGE in its
  // place, and no later line is written; false then.
  bool writeCheck(Report report);
  // What a check may list: one more than the findings the run may still report.
  std::size_t findingsRoom() const;
  // Keeps a finding whose line someone else has logged; returns its index.
  std::size_t record(Finding finding);

  UserDialogs& dialogs;
  const RunSettings& settings;
  RunOutcome outcome;
  NameListTable nameLists;
  ZeroColumnTable zeroSets;
  std::vector<CondensedSdm> sdms;  // their paths views of the MDM's, which outlives them
  std::vector<SubjectGroup> subjects;
  std::int64_t slotsKept = 0;
  // PredictorNameList::identity() and ZeroColumnSet::identity(): each shared list counted once.
  std::unordered_set<const void*> sharesCounted;
};

RunOutcome InspectionRun::perform() {
  // The dialog's result is not consulted: the path is what it left behind, empty when nothing.
  outcome.mdmPath = dialogs.chooseFileToOpen(kMdmDialogTitle, "", kMdmDialogFilter).path;
  MdmFile mdm(outcome.mdmPath);
  if (mdm.unreadable()) {
    record(mdmUnreadableFinding(mdm.path));
    return finish(RunEnd::kMdmUnreadable);
  }

  // Named before a repair may save the MDM elsewhere; the run keeps this name to its end.
  const std::optional<std::string> findingsPath = settings.findingsFile(outcome.mdmPath);
  FindingsFileGuard guard;
  // A findings file named like an input of the run is not made: the input would be destroyed.
  if (findingsPath) {
    mdm.readsFile(*findingsPath) ? pluginLog.attachRefusedFile()
                                 : pluginLog.attachFile(*findingsPath);
  }
  outcome.findingsPath = findingsPath;

  write(startInspectingLine(mdm.path));
  const std::size_t studyCount = mdm.sdmPaths.size();
  outcome.studyCount = studyCount;
  if (!loadSdms(mdm)) return finish(outcome.end);
  write(readSdmsLine(studyCount));
  if (studyCount == 0) {
    write(noStudiesLine());
    return finish(RunEnd::kNoStudies);
  }
  outcome.subjectCount = subjects.size();

  const CountCheck counts = checkPredictorCounts(sdms, findingsRoom());
  if (!writeCheck(countReport(counts, sdms))) return finish(outcome.end);
  if (!counts.agree) return finish(RunEnd::kPredictorCountMismatch);
  const NameCheck names = checkPredictorNames(sdms, counts.n, findingsRoom());
  if (!writeCheck(nameReport(names, sdms))) return finish(outcome.end);
  if (!names.agree) return finish(RunEnd::kPredictorNameMismatch);

  const auto zeros = findZeroAcrossRuns(sdms, subjects, counts.n, findingsRoom());
  if (!writeCheck(subjectReport(subjects, zeros, sdms))) return finish(outcome.end);
  if (!writeCheck(confoundReport(findZeroConfounds(sdms, counts.n, findingsRoom()), sdms))) {
    return finish(outcome.end);
  }

  if (!findingsPath) return finish(RunEnd::kComplete);
  // Closed first, so the last line reaches the host only.
  keepFindingsFileKey();
  const bool saved = pluginLog.closeFile();
  if (!saved) outcome.findingsFileKey.reset();
  write(saved ? savedFindingsLine(*findingsPath) : findingsNotSavedLine(*findingsPath));
  return finish(RunEnd::kComplete);
}

bool InspectionRun::loadSdms(MdmFile& mdm) {
  const std::size_t studyCount = mdm.sdmPaths.size();
  sdms.reserve(studyCount);
  // The first SDM and its repair come before any other is read: the repair re-bases their paths.
  if (studyCount > 0) {
    dialogs.showProgress(0, studyCount);
    if (!loadFirstSdm(mdm)) return false;
  }
  // The subjects come from the functional paths as the repair left them; grouped before the other
  // SDMs are read, the paths are not held while they are.
  subjects = groupSubjects(subjectIdsOf(mdm.functionalPaths, studyCount));
  mdm.functionalPaths.clear();
  const unsigned threads = settings.readThreads > 0 ? settings.readThreads : readThreadCount();
  SdmReadAhead readAhead(mdm.sdmPaths, 1, threads, settings.visitSdm, nameLists, zeroSets,
                         settings.readAheadBudget);
  for (std::size_t study = 1; study < studyCount; ++study) {
    dialogs.showProgress(study, studyCount);
    sdms.push_back(readAhead.take(study));
    if (sdms.back().unreadable()) logSdmOpenFailure(std::string(mdm.sdmPaths[study]));
    if (!accept(sdms.back()) || !keep(sdms.back())) return false;
  }
  dialogs.showProgress(studyCount, studyCount);
  return true;
}

bool InspectionRun::loadFirstSdm(MdmFile& mdm) {
  // As a list, for the repair, which reads it again from the corrected path.
  std::vector<SdmFile> first;
  first.push_back(readSdm(std::string(mdm.sdmPaths[0])));
  if (first.front().unreadable()) {
    const std::size_t failure = record(sdmUnreadableFinding(first.front().path, Severity::kError));
    if (!repair(mdm, first, failure)) return false;
  }
  shareNames(first.front(), nameLists);
  sdms.push_back(condense(first.front(), nameLists, zeroSets));
  sdms.front().path = mdm.sdmPaths[0];  // outlives the record read, which ends here
  if (!accept(sdms.front())) return false;
  if (settings.visitSdm) settings.visitSdm(0, first.front());
  return keep(sdms.front());
}

bool InspectionRun::accept(const CondensedSdm& sdm) {
  if (sdm.tooLargeToRead) {
    write(sdmTooLargeLine(std::string(sdm.path)));
    return stop(RunEnd::kSdmTooLarge);
  }
  if (sdm.unreadable()) {
    record(sdmUnreadableFinding(std::string(sdm.path), Severity::kError));
    return stop(RunEnd::kSdmUnreadable);
  }
  return true;
}

bool InspectionRun::keep(const CondensedSdm& sdm) {
  slotsKept += kSlotsKeptPerSdm;
  if (!sdm.names.empty() && sharesCounted.insert(sdm.names.identity()).second) {
    slotsKept += static_cast<std::int64_t>((sdm.names.bytesHeld() + 3) / 4);
  }
  if (!sdm.zeroColumns.empty() && sharesCounted.insert(sdm.zeroColumns.identity()).second) {
    slotsKept += static_cast<std::int64_t>((sdm.zeroColumns.bytesHeld() + 3) / 4);
  }
  if (slotsKept <= settings.maxSlotsKept) return true;
  write(runTooLargeLine(std::string(sdm.path), settings.maxSlotsKept));
  return stop(RunEnd::kRunTooLarge);
}

bool InspectionRun::repair(MdmFile& mdm, std::vector<SdmFile>& first, std::size_t failureFinding) {
  const RepairResult result = repairFirstSdm(mdm, first, dialogs);
  switch (result.end) {
    case RepairEnd::kRepaired:
      outcome.findings[failureFinding].severity = Severity::kWarning;  // mended
      if (result.saved) outcome.savedMdmPath = mdm.path;
      if (result.saveFailed) record(mdmNotSavedFinding(mdm.path));
      return true;
    case RepairEnd::kNotRelocated:
      return stop(RunEnd::kRepairNotRelocated);
    case RepairEnd::kStillUnreadable:
      record(sdmUnreadableFinding(first.front().path, Severity::kError));
      return stop(RunEnd::kRepairStillUnreadable);
    case RepairEnd::kTooLarge:
      write(sdmTooLargeLine(first.front().path));
      return stop(RunEnd::kSdmTooLarge);
    case RepairEnd::kSaveCancelled:
      return stop(RunEnd::kRepairSaveCancelled);
  }
  return stop(RunEnd::kRepairNotRelocated);
}

bool InspectionRun::stop(RunEnd end) {
  outcome.end = end;
  return false;
}

void InspectionRun::keepFindingsFileKey() {
  if (outcome.findingsPath && pluginLog.writesTo(*outcome.findingsPath)) {
    outcome.findingsFileKey = fileKeyOf(*outcome.findingsPath);
  }
}

RunOutcome InspectionRun::finish(RunEnd end) {
  if (pluginLog.hasFile()) keepFindingsFileKey();
  outcome.end = end;
  outcome.complete = end == RunEnd::kComplete;
  return std::move(outcome);
}

void InspectionRun::write(ReportLine line) {
  logLine(line.text);
  if (line.finding) outcome.findings.push_back(std::move(*line.finding));
}

bool InspectionRun::writeCheck(Report report) {
  for (ReportLine& line : report) {
    if (line.finding && outcome.findings.size() >= settings.maxFindings) {
      write(tooManyFindingsLine(*line.finding, settings.maxFindings));
      return stop(RunEnd::kRunTooLarge);
    }
    write(std::move(line));
  }
  return true;
}

std::size_t InspectionRun::findingsRoom() const {
  return settings.maxFindings - std::min(settings.maxFindings, outcome.findings.size()) + 1;
}

std::size_t InspectionRun::record(Finding finding) {
  outcome.findings.push_back(std::move(finding));
  return outcome.findings.size() - 1;
}

}  // namespace

std::optional<std::string> findingsBesideMdm(const std::string& mdmPath) {
  return replaceExtension(mdmPath, "_log.txt");
}

RunOutcome runInspection(UserDialogs& dialogs, const RunSettings& settings) {
  return InspectionRun(dialogs, settings).perform();
}

RunOutcome runInspection(UserDialogs& dialogs, const FindingsFileRule& findingsFile) {
  RunSettings settings;
  settings.findingsFile = findingsFile;
  return runInspection(dialogs, settings);
}

}  // namespace kelvora
