#include "report_file.h"

#include <optional>
#include <set>
#include <utility>

#include "files/safe_file.h"
#include "sdm_design_maker.h"
#include "study_diagnosis.h"

namespace kelvora::report {
namespace {

// The SDM paths and subjects named by the run's findings, and the SDMs with a design finding or
// read incompletely.
struct FlaggedByRun {
  std::set<std::string> paths;
  std::set<std::string> subjects;

  explicit FlaggedByRun(const RunOutcome& outcome) {
    for (const Finding& finding : outcome.findings) {
      if (finding.code == FindingCode::kZeroAcrossRuns) {
        subjects.insert(finding.subject);
      } else if (!finding.path.empty()) {
        paths.insert(finding.path);
      }
    }
  }
  bool flags(const SdmDesign& design) const {
    return paths.count(design.path) > 0 || subjects.count(design.subject) > 0 ||
           !design.rank.dependencies.empty() || diagnostics::readIncompletely(design);
  }
};

}  // namespace

StudyReport readStudyReport(const RunOutcome& outcome,
                            const std::optional<std::string>& locatedFirstSdm,
                            SdmDesignMaker& maker, const diagnostics::SubjectRule& subjectRule) {
  StudyReport report;
  // A run that ended because it kept too much leaves the rest unread: reading it here would too.
  if (!outcome.studyCount || outcome.end == RunEnd::kRunTooLarge) return report;
  const std::string& mdm = outcome.savedMdmPath ? *outcome.savedMdmPath : outcome.mdmPath;
  report.designs =
      loadStudyDesigns(mdm, outcome.savedMdmPath ? std::nullopt : locatedFirstSdm, maker);

  const std::size_t count = report.designs.sdms.size();
  const FlaggedByRun flagged(outcome);
  const std::size_t step =
      count <= kPictureEverySdmUpTo ? 1 : (count + kSampledPictures - 1) / kSampledPictures;
  std::size_t flaggedPictures = 0;
  for (std::size_t study = 0; study < count; ++study) {
    std::optional<DesignPictures> pictures = maker.takePictures(study);
    if (!pictures) continue;
    const bool isFlagged = flagged.flags(report.designs.sdms[study]);
    const bool sampled = study % step == 0;
    if (isFlagged && count > kPictureEverySdmUpTo) {
      if (flaggedPictures == kMostFindingPictures) {
        if (!sampled) continue;
      } else {
        ++flaggedPictures;
      }
    } else if (!sampled) {
      continue;
    }
    report.pictures.push_back(std::move(*pictures));
  }
  if (report.designs.mdmRead) {
    report.diagnosis =
        diagnostics::diagnoseStudy(outcome, diagnosisInput(report.designs), subjectRule);
  }
  return report;
}

bool writeReportFile(const std::string& path, const RunOutcome& outcome, const StudyReport& study,
                     std::string& error) {
  if (replaceFileContents(path, renderReport(outcome, study))) return true;
  error = "cannot write " + path;
  return false;
}

}  // namespace kelvora::report
