#include "inspection/run_messages.h"

#include <string_view>
#include <utility>

#include "designmatrix/mdm_file.h"
#include "designmatrix/path_names.h"
#include "designmatrix/sdm_file.h"
#include "inspection/sdm_predictors.h"
#include "log/plugin_name.h"

namespace kelvora {

const char kMdmDialogTitle[] = "Select an MDM file for testing";
const char kMdmDialogFilter[] = "Multi-Subject Design Matrix (*.mdm)";

namespace {

std::string text(std::string_view a, std::string_view b = {}) {
  std::string joined(a);
  joined += b;
  return joined;
}

ReportLine progress(std::string message) {
  return ReportLine{std::string(kPluginName) + message, std::nullopt};
}

ReportLine finding(std::string line, Finding found) {
  found.line = line;
  return ReportLine{std::move(line), std::move(found)};
}

Finding findingOf(FindingCode code, Severity severity, std::string path) {
  Finding found;
  found.code = code;
  found.severity = severity;
  found.path = std::move(path);
  return found;
}

std::string quoted(std::string_view name) { return text("\"", name) + "\""; }

}  // namespace

ReportLine startInspectingLine(const std::string& mdmPath) {
  return progress(">  Start inspecting " + mdmPath);
}

ReportLine readSdmsLine(std::size_t studyCount) {
  return progress(">  Read " + std::to_string(studyCount) + " SDMs from the MDM file");
}

ReportLine noStudiesLine() {
  return finding("!!!  The MDM file lists no studies",
                 findingOf(FindingCode::kNoStudies, Severity::kError, ""));
}

ReportLine sdmTooLargeLine(const std::string& sdmPath) {
  return finding("!!!  SDM too large to read: " + sdmPath,
                 findingOf(FindingCode::kSdmTooLarge, Severity::kError, sdmPath));
}

ReportLine runTooLargeLine(const std::string& sdmPath, std::int64_t maxSlots) {
  return finding("!!!  SDMs too large to read together (more than " + std::to_string(maxSlots) +
                     " values), stopped at: " + sdmPath,
                 findingOf(FindingCode::kRunTooLarge, Severity::kError, sdmPath));
}

ReportLine tooManyFindingsLine(const Finding& beyond, std::size_t maxFindings) {
  // A zero-across-runs finding belongs to a subject rather than to one SDM.
  const std::string& where = beyond.path.empty() ? beyond.subject : beyond.path;
  Finding found = findingOf(FindingCode::kRunTooLarge, Severity::kError, beyond.path);
  found.subject = beyond.subject;
  return finding("!!!  Too many findings to report (more than " + std::to_string(maxFindings) +
                     "), stopped at: " + where,
                 std::move(found));
}

ReportLine savedFindingsLine(const std::string& findingsPath) {
  return progress(">  Saved findings to: " + findingsPath);
}

ReportLine findingsNotSavedLine(const std::string& findingsPath) {
  return finding("!!!  Could not save findings to: " + findingsPath,
                 findingOf(FindingCode::kFindingsNotSaved, Severity::kWarning, findingsPath));
}

Finding mdmUnreadableFinding(const std::string& mdmPath) {
  Finding found = findingOf(FindingCode::kMdmUnreadable, Severity::kError, mdmPath);
  found.line = text(kMdmOpenFailure, mdmPath);
  return found;
}

Finding sdmUnreadableFinding(const std::string& sdmPath, Severity severity) {
  Finding found = findingOf(FindingCode::kSdmUnreadable, severity, sdmPath);
  found.line = text(kSdmOpenFailure, sdmPath);
  return found;
}

Finding mdmNotSavedFinding(const std::string& targetPath) {
  Finding found = findingOf(FindingCode::kMdmNotSaved, Severity::kWarning, targetPath);
  found.line = text(kMdmCreateFailure, targetPath);
  return found;
}

Report countReport(const CountCheck& check, const std::vector<CondensedSdm>& sdms) {
  if (check.agree) {
    return {progress(">  All SDMs have " + std::to_string(check.n) + " predictors of interest")};
  }
  Report report{progress(">  Not all SDMs have the same number of predictors of interest"),
                progress(">  Most SDMs have " + std::to_string(check.prevailing) +
                         " predictors of interest, except:")};
  for (std::size_t study : check.deviatingStudies) {
    const CondensedSdm& sdm = sdms[study];
    Finding found =
        findingOf(FindingCode::kPredictorCountMismatch, Severity::kError, std::string(sdm.path));
    found.found = interestCountOf(sdm);
    found.prevailing = check.prevailing;
    report.push_back(finding(
        "!!!  " + std::to_string(interestCountOf(sdm)) + " in " + fileNameOf(sdm.path), found));
  }
  return report;
}

Report nameReport(const NameCheck& check, const std::vector<CondensedSdm>& sdms) {
  if (check.agree) return {progress(">  The names for the predictors of interest all match")};
  Report report{progress(">  Not all SDMs have the same names for the predictors of interest:")};
  for (const NameMismatch& mismatch : check.mismatches) {
    const std::int64_t number = mismatch.predictor + 1;
    report.push_back(progress(">  Predictor number " + std::to_string(number) +
                              " is mostly named " + quoted(mismatch.prevailing) +
                              ", but it is named:"));
    for (std::size_t study : mismatch.deviatingStudies) {
      const CondensedSdm& sdm = sdms[study];
      const std::string name(predictorNameAt(sdm, mismatch.predictor));
      Finding found =
          findingOf(FindingCode::kPredictorNameMismatch, Severity::kError, std::string(sdm.path));
      found.predictorNumber = number;
      found.predictorName = name;
      found.found = name;
      found.prevailing = mismatch.prevailing;
      report.push_back(finding("!!!  " + name + " in " + fileNameOf(sdm.path), found));
    }
  }
  return report;
}

Report subjectReport(const std::vector<SubjectGroup>& groups,
                     const std::vector<ZeroAcrossRuns>& zeros,
                     const std::vector<CondensedSdm>& sdms) {
  Report report{progress(">  " + std::to_string(groups.size()) + " unique subjects detected")};
  for (const ZeroAcrossRuns& zero : zeros) {
    const std::string& subject = groups[zero.subject].id;
    // The names agree across SDMs, so the first SDM names the predictor for every subject.
    const std::string name(predictorNameAt(sdms.front(), zero.predictor));
    Finding found = findingOf(FindingCode::kZeroAcrossRuns, Severity::kWarning, "");
    found.subject = subject;
    found.predictorNumber = zero.predictor + 1;
    found.predictorName = name;
    report.push_back(finding("!!!  " + subject + ", predictor number " +
                                 std::to_string(zero.predictor + 1) + " named " + quoted(name) +
                                 " contains only zeros across runs",
                             found));
  }
  if (zeros.empty()) {
    report.push_back(
        progress(">  Did not find any predictors of interest with only zeros across runs"));
  }
  return report;
}

Report confoundReport(const std::vector<ZeroConfound>& zeros,
                      const std::vector<CondensedSdm>& sdms) {
  Report report;
  for (const ZeroConfound& zero : zeros) {
    const CondensedSdm& sdm = sdms[zero.study];
    const std::string name(predictorNameAt(sdm, zero.predictor));
    Finding found =
        findingOf(FindingCode::kZeroConfound, Severity::kWarning, std::string(sdm.path));
    found.predictorNumber = zero.predictor + 1;
    found.predictorName = name;
    report.push_back(finding("!!!  " + fileNameOf(sdm.path) + " predictor number " +
                                 std::to_string(zero.predictor + 1) + " named " + quoted(name) +
                                 " contains only zeros",
                             found));
  }
  if (zeros.empty()) {
    report.push_back(progress(">  Did not find any confound predictors with only zeros"));
  }
  return report;
}

}  // namespace kelvora
