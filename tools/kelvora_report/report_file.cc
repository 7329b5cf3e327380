#include "report_file.h"

#include <fstream>
#include <set>

#include "design_correlation.h"
#include "design_picture.h"
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
                            const std::optional<std::string>& locatedFirstSdm, bool withPictures) {
  StudyReport report;
  if (!outcome.studyCount) return report;
  const std::size_t count = *outcome.studyCount;
  const FlaggedByRun flagged(outcome);
  const std::size_t step =
      count <= kPictureEverySdmUpTo ? 1 : (count + kSampledPictures - 1) / kSampledPictures;
  std::size_t flaggedPictures = 0;

  const auto picture = [&](std::size_t study, const SdmFile& sdm, SdmDesign& design) {
    const bool isFlagged = flagged.flags(design);
    const bool sampled = study % step == 0;
    if (isFlagged && count > kPictureEverySdmUpTo) {
      if (flaggedPictures == kMostFindingPictures) {
        if (!sampled) return;
      } else {
        ++flaggedPictures;
      }
    } else if (!sampled) {
      return;
    }
    const auto columns = static_cast<std::int64_t>(sdm.values.size());
    const std::int64_t interest = std::clamp<std::int64_t>(design.interestCount, 0, columns);
    DesignPictures pictures;
    pictures.study = study;
    const GreyPicture interestPicture = designPicture(sdm, 0, interest);
    const GreyPicture confoundPicture = designPicture(sdm, interest, columns);
    pictures.interestPng = encodePng(interestPicture);
    pictures.confoundPng = encodePng(confoundPicture);
    pictures.rows = std::max(interestPicture.height, confoundPicture.height);
    const DesignCorrelation correlation = correlateDesign(sdm, interest);
    pictures.correlationPng = heatmapPng(correlation);
    pictures.varianceInflation = correlation.varianceInflation;
    report.pictures.push_back(std::move(pictures));
  };
  const std::string& mdm = outcome.savedMdmPath ? *outcome.savedMdmPath : outcome.mdmPath;
  report.designs = loadStudyDesigns(mdm, outcome.savedMdmPath ? std::nullopt : locatedFirstSdm,
                                    withPictures ? SdmVisitor(picture) : SdmVisitor());
  if (report.designs.mdmRead) {
    report.diagnosis = diagnostics::diagnoseStudy(outcome, diagnosisInput(report.designs));
  }
  return report;
}

bool writeReportFile(const std::string& path, const RunOutcome& outcome, const StudyReport& study,
                     std::string& error) {
  const std::string html = renderReport(outcome, study);
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file) {
    error = "cannot create " + path;
    return false;
  }
  file.write(html.data(), static_cast<std::streamsize>(html.size()));
  file.close();
  if (!file) {
    error = "cannot write " + path;
    return false;
  }
  return true;
}

}  // namespace kelvora::report
