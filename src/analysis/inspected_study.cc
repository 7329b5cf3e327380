#include "analysis/inspected_study.h"

#include <functional>
#include <optional>
#include <set>
#include <utility>

namespace kelvora::analysis {
namespace {

// The SDM paths and subjects named by the run's findings, and the SDMs with a design finding or
// read incompletely.
struct FlaggedByRun {
  std::set<std::string, std::less<>> paths;  // transparent: looked up by views
  std::set<std::string, std::less<>> subjects;

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
           !design.rank.dependencies.empty() || readIncompletely(design);
  }
};

}  // namespace

InspectedStudy readInspectedStudy(const RunOutcome& outcome,
                                  const std::optional<std::string>& locatedFirstSdm,
                                  SdmDesignMaker& maker, const SubjectRule& subjectRule) {
  InspectedStudy inspected;
  // A run that ended because it kept too much leaves the rest unread: reading it here would too.
  if (!outcome.studyCount || outcome.end == RunEnd::kRunTooLarge) return inspected;
  const std::string& mdm = outcome.savedMdmPath ? *outcome.savedMdmPath : outcome.mdmPath;
  inspected.designs =
      loadStudyDesigns(mdm, outcome.savedMdmPath ? std::nullopt : locatedFirstSdm, maker);

  const std::size_t count = inspected.designs.sdms.size();
  const FlaggedByRun flagged(outcome);
  const std::size_t step =
      count <= kPictureEverySdmUpTo ? 1 : (count + kSampledPictures - 1) / kSampledPictures;
  std::size_t flaggedPictures = 0;
  for (std::size_t study = 0; study < count; ++study) {
    std::optional<DesignPictures> pictures = maker.takePictures(study);
    if (!pictures) continue;
    const bool isFlagged = flagged.flags(inspected.designs.sdms[study]);
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
    inspected.pictures.push_back(std::move(*pictures));
  }
  if (inspected.designs.mdmRead) {
    inspected.diagnosis = diagnoseStudy(outcome, diagnosisInput(inspected.designs), subjectRule);
  }
  const DesignQuestions& asked = maker.asked();
  if (!asked.contrasts.empty() && inspected.designs.mdmRead) {
    inspected.contrastUsageError = unknownContrastName(asked.contrasts, inspected.designs);
    std::vector<SharedContrastInformation> information;
    information.reserve(count);
    for (std::size_t study = 0; study < count; ++study) {
      information.push_back(maker.takeContrastInformation(study));
    }
    inspected.contrasts = evaluateContrasts(asked.contrasts, asked.lowEfficiency, inspected.designs,
                                            information, inspected.diagnosis.subjects);
  }
  return inspected;
}

}  // namespace kelvora::analysis
