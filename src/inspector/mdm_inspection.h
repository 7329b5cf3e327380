// One inspection of one MDM as kelvora makes it: the plug-in's run with its dialogs answered by
// the request (repair_dialogs.h), the design of every SDM, the inspected study and what kelvora
// finds beyond the log, the record of every finding and the exit status. kelvora and the Python
// module both inspect through here, so that their JSON, findings files and reports are one.
//
// The run takes the relative paths an MDM lists in the MDM's folder, anchored on the inspecting
// thread and its readers (relative_paths.h); the process's current folder never changes. It logs
// through pluginLog to the request's sink, which receives the entries of the inspecting thread
// only (ThreadLogSink). pluginLog's findings file is the process's, so inspections in one process
// take turns (a second waits for the first). The study after the run is read with no sink, as its
// readers' lines belong to the run's log only. No exception leaves the inspection: an unexpected
// failure (also one a front end throws to interrupt it) ends it as stopped, with its reason.
#pragma once

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "analysis/chosen_subject_rule.h"
#include "analysis/exit_status.h"
#include "analysis/finding_policy.h"
#include "analysis/finding_record.h"
#include "analysis/inspected_study.h"
#include "analysis/record_severity.h"
#include "analysis/sdm_design_maker.h"
#include "inspection/inspection_run.h"
#include "inspector/front_end.h"
#include "inspector/repair_dialogs.h"
#include "log/plugin_log.h"

namespace kelvora::inspector {

struct InspectionRequest {
  std::string mdmFile;  // a full path
  RepairAnswers repair;
  FindingsFileRule findingsFile = findingsBesideMdm;
  bool withPictures = false;  // keep where each SDM's pictures come from, for a report
  analysis::DesignQuestions questions;
  analysis::SubjectRule subjectRule;
  std::optional<analysis::RecordSeverity> failOn;  // as kelvora's --fail-on
  analysis::FindingPolicy policy;                  // as kelvora's --config and --ignore
  unsigned readThreads = 0;                        // as RunSettings::readThreads
  // Receives the run's log entries, on the inspecting thread; none: they are dropped.
  std::function<void(const char* text)> logSink;
};

class MdmInspection {
 public:
  // Performs the inspection. `afterRun`, when given, is called once the run has ended and before
  // the study is read (kelvora tells the repair's fate there). The front end must outlive the
  // call only.
  using AfterRun = void (*)(const RunOutcome& outcome, const RepairDialogs& dialogs, void* context);
  static std::unique_ptr<MdmInspection> perform(InspectionRequest request,
                                                InspectionFrontEnd& frontEnd,
                                                AfterRun afterRun = nullptr,
                                                void* context = nullptr);

  MdmInspection(const MdmInspection&) = delete;
  MdmInspection& operator=(const MdmInspection&) = delete;

  // An unexpected failure stopped the inspection: its reason ("" when it gave none).
  const std::optional<std::string>& stopReason() const { return stopped; }
  const InspectionRequest& request() const { return asked; }
  const RunOutcome& outcome() const { return ran; }
  // Null when the inspection stopped.
  const analysis::InspectedStudy* study() const { return stopped ? nullptr : &inspected; }
  const analysis::FindingRecord& record() const { return *findings; }
  // kelvora's status of this MDM: kNotInspected when a file could not be read, the repair was
  // cancelled, the inspection stopped or its corrected MDM lists SDMs that do not open; otherwise
  // kReported when the run ended early or the record (after the policy) holds a finding as
  // serious as --fail-on (a warning by default); kClean otherwise; kUsageError when a contrast
  // names a predictor no SDM has (study()->contrastUsageError tells which).
  analysis::ExitStatus status() const { return exitStatus; }

  // kelvora's --json line of this inspection, written to `out`.
  void writeJsonLine(std::FILE* out) const;
  // Adds kelvora's section to the findings file this run made (findings_section.h), each line
  // also to `echo` when given. Nothing when the inspection stopped.
  void addFindingsSection(std::FILE* echo = nullptr) const;
  // Writes the HTML report to `path` (a full path), drawing the SDMs in the MDM's folder. True
  // when written; false with `error` telling why not (also when the inspection stopped, and when
  // `path` is the MDM, the corrected MDM, an SDM or a functional data file it lists, the --locate
  // file or the findings file: compared by file identity, or full path where nothing exists).
  bool writeReport(const std::string& path, std::string& error) const;

 private:
  bool namesAFileOfTheInspection(const std::string& path) const;
  explicit MdmInspection(InspectionRequest request) : asked(std::move(request)) {}
  void run(InspectionFrontEnd& frontEnd, AfterRun afterRun, void* context);

  const InspectionRequest asked;
  std::optional<std::string> stopped;
  RunOutcome ran;
  analysis::InspectedStudy inspected;
  std::optional<analysis::FindingRecord> findings;  // refers to `ran` and `inspected`
  analysis::ExitStatus exitStatus = analysis::kNotInspected;
};

}  // namespace kelvora::inspector
