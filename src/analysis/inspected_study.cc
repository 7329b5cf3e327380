#include "analysis/inspected_study.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <unordered_map>
#include <utility>

#include "analysis/finding_record.h"

namespace kelvora::analysis {
namespace {

using Seriousness = std::vector<std::optional<RecordSeverity>>;

void raise(std::optional<RecordSeverity>& worst, RecordSeverity severity) {
  worst = worst ? std::min(*worst, severity) : severity;
}

// The most serious finding about each SDM, as found (before a lab's config): the run's findings
// naming it or its subject, a damage that made its matrix not the file's, the rank check, the
// design warnings, and the contrasts' findings naming it or its subject. None: no finding.
Seriousness seriousnessOf(const RunOutcome& outcome, const InspectedStudy& inspected) {
  const std::vector<SdmDesign>& sdms = inspected.designs.sdms;
  Seriousness worst(sdms.size());
  std::unordered_map<std::string_view, RecordSeverity> byPath;
  std::unordered_map<std::string_view, RecordSeverity> bySubject;  // the log's subjects
  for (const Finding& finding : outcome.findings) {
    const RecordSeverity severity = severityOfRunFinding(finding);
    const bool aboutSubject = finding.code == FindingCode::kZeroAcrossRuns;
    auto& of = aboutSubject ? bySubject : byPath;
    const std::string_view key = aboutSubject ? finding.subject : finding.path;
    if (key.empty()) continue;
    const auto [at, made] = of.emplace(key, severity);
    if (!made) at->second = std::min(at->second, severity);
  }
  for (std::size_t i = 0; i < sdms.size(); ++i) {
    const SdmDesign& design = sdms[i];
    for (const auto& [table, key] :
         {std::pair(&byPath, design.path), std::pair(&bySubject, design.subject)}) {
      const auto found = table->find(key);
      if (found != table->end()) raise(worst[i], found->second);
    }
    if (!design.read) continue;
    if (readIncompletely(design)) raise(worst[i], RecordSeverity::kError);
    if (!design.rank.dependencies.empty()) raise(worst[i], RecordSeverity::kWarning);
    if (design.rank.skipped) raise(worst[i], RecordSeverity::kNote);
    for (const DesignWarning& warning : design.warnings.items()) raise(worst[i], warning.severity);
  }
  std::unordered_map<std::string_view, const SubjectGroup*> groups;
  if (!inspected.contrasts.findings.empty()) {
    for (const SubjectGroup& group : inspected.diagnosis.subjects) groups.emplace(group.id, &group);
  }
  for (const ContrastFinding& finding : inspected.contrasts.findings) {
    if (finding.study) {
      raise(worst[*finding.study], finding.severity);
      continue;
    }
    const auto group = groups.find(finding.subject);
    if (group == groups.end()) continue;
    for (const std::size_t study : group->second->studies) raise(worst[study], finding.severity);
  }
  return worst;
}

// Which SDMs a report pictures (kPictureEverySdmUpTo, kMostFindingPictures): of those with a
// finding, the most serious first, in study order within a severity; and the sample.
std::vector<bool> chosenForPictures(const Seriousness& worst) {
  const std::size_t count = worst.size();
  if (count <= kPictureEverySdmUpTo) return std::vector<bool>(count, true);
  std::vector<std::size_t> flagged;
  for (std::size_t study = 0; study < count; ++study) {
    if (worst[study]) flagged.push_back(study);
  }
  std::stable_sort(flagged.begin(), flagged.end(),
                   [&](std::size_t a, std::size_t b) { return *worst[a] < *worst[b]; });
  if (flagged.size() > kMostFindingPictures) flagged.resize(kMostFindingPictures);
  const std::size_t step = (count + kSampledPictures - 1) / kSampledPictures;
  std::vector<bool> chosen(count, false);
  for (std::size_t study = 0; study < count; study += step) chosen[study] = true;
  for (const std::size_t study : flagged) chosen[study] = true;
  return chosen;
}

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
  // The pictures last: every finding of the study, the contrasts' too, decides which are shown.
  const std::vector<bool> chosen = chosenForPictures(seriousnessOf(outcome, inspected));
  for (std::size_t study = 0; study < count; ++study) {
    std::optional<DesignPictures> pictures = maker.takePictures(study);
    if (pictures && chosen[study]) inspected.pictures.push_back(std::move(*pictures));
  }
  return inspected;
}

}  // namespace kelvora::analysis
