#include "inspector/mdm_inspection.h"

#include <algorithm>
#include <exception>
#include <mutex>
#include <utility>
#include <vector>

#include "files/native_file.h"
#include "files/relative_paths.h"
#include "inspector/user_paths.h"
#include "report/findings_section.h"
#include "report/further_output.h"
#include "report/outcome_json.h"
#include "report/report_file.h"

namespace kelvora::inspector {

using namespace analysis;
using namespace report;
namespace {

// pluginLog's findings file is the process's: one run at a time. Everything else an inspection
// uses is its own: its log sink and its MDM's folder are anchored on its thread only.
std::mutex inspectionTurn;

void dropEntry(const char*) {}

}  // namespace

std::unique_ptr<MdmInspection> MdmInspection::perform(InspectionRequest request,
                                                      InspectionFrontEnd& frontEnd,
                                                      AfterRun afterRun, void* context) {
  std::unique_ptr<MdmInspection> inspection(new MdmInspection(std::move(request)));
  inspection->run(frontEnd, afterRun, context);
  return inspection;
}

void MdmInspection::run(InspectionFrontEnd& frontEnd, AfterRun afterRun, void* context) {
  const std::lock_guard<std::mutex> turn(inspectionTurn);
  const RelativePathFolder mdmFolder(folderOf(asked.mdmFile));
  RepairDialogs dialogs(asked.mdmFile, asked.repair, frontEnd);
  try {
    SdmDesignMaker designs(asked.withPictures, asked.questions);
    RunSettings settings;
    settings.findingsFile = asked.findingsFile;
    settings.readThreads = asked.readThreads;
    settings.visitSdm = designs.visitor();
    {
      const ThreadLogSink sink(asked.logSink ? asked.logSink : dropEntry);
      ran = runInspection(dialogs, settings);
    }
    if (afterRun != nullptr) afterRun(ran, dialogs, context);
    {
      // The readers' lines (an SDM that cannot be opened) belong to the run's log only.
      const ThreadLogSink silent(dropEntry);
      inspected = readInspectedStudy(ran, dialogs.locatedSdm(), designs, asked.subjectRule);
    }
    findings.emplace(ran, &inspected, &asked.policy);
    exitStatus = recordStatus(ran, *findings, asked.failOn.value_or(RecordSeverity::kWarning));
    // The run may still have read every SDM (one opened after the check): the study's paths are
    // not sound all the same.
    if (!dialogs.unopenedSdms().empty()) exitStatus = worseOf(exitStatus, kNotInspected);
    if (inspected.contrastUsageError) exitStatus = kUsageError;
    return;
  } catch (const std::exception& error) {
    stopped = error.what();
  } catch (...) {
    stopped = "";
  }
  ran = RunOutcome();
  inspected = InspectedStudy();
  findings.emplace(ran, nullptr);
  exitStatus = kNotInspected;
}

void MdmInspection::writeJsonLine(std::FILE* out) const {
  std::vector<LineMember> members =
      furtherMembers(*findings, stopped ? nullptr : &inspected.diagnosis);
  members.push_back(allFindingsMember(*findings));
  members.push_back(sdmDesignsMember(stopped ? nullptr : &inspected.designs));
  if (!asked.questions.contrasts.empty()) {
    members.push_back(contrastsMember(stopped ? nullptr : &inspected));
    members.push_back(contrastErrorMember(stopped ? nullptr : &inspected));
  }
  // This MDM's own status, so that a batch of several in one call knows each study's.
  members.push_back(LineMember{"exitStatus", {}, static_cast<int>(exitStatus)});
  if (stopped) {
    writeInterruptedRunLine(asked.mdmFile, members, out);
  } else {
    writeOutcomeLine(ran, *findings, &inspected.designs, members, out, &asked.policy);
  }
}

void MdmInspection::addFindingsSection(std::FILE* echo) const {
  if (!stopped) report::addFindingsSection(ran, *findings, echo);
}

bool MdmInspection::writeReport(const std::string& path, std::string& error) const {
  if (stopped) {
    error = "the inspection stopped";
    return false;
  }
  const RelativePathFolder mdmFolder(folderOf(asked.mdmFile));
  if (namesAFileOfTheInspection(path)) {
    error = path +
            " is a file of this inspection (its MDM, an SDM, a functional data file, the --locate "
            "file or the findings file); a report never replaces one";
    return false;
  }
  return writeReportFile(path, ran, inspected, *findings, error);
}

bool MdmInspection::namesAFileOfTheInspection(const std::string& path) const {
  const FileKey target = fileKeyOf(path);
  std::vector<std::string> files{asked.mdmFile};
  for (const std::optional<std::string>* file :
       {&ran.savedMdmPath, &ran.findingsPath, &asked.repair.locate}) {
    if (*file) files.push_back(**file);
  }
  for (const analysis::SdmDesign& design : inspected.designs.sdms) files.emplace_back(design.path);
  for (const std::string_view functional : inspected.designs.mdm.functionalPaths) {
    files.emplace_back(functional);
  }
  return std::any_of(files.begin(), files.end(),
                     [&](const std::string& file) { return hasFileKey(file, target); });
}

}  // namespace kelvora::inspector
