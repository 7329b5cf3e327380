#include "analysis/run_length.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "designmatrix/path_names.h"

namespace kelvora::analysis {
namespace {

bool counted(const SdmSummary& sdm) { return sdm.read && sdm.dataPoints > 0; }

// The number of data points that more than half of `studies` (those counted) have, if any.
template <typename Studies>
std::optional<std::int32_t> majorityLength(const StudyInput& study, const Studies& studies) {
  std::map<std::int32_t, std::size_t> tally;
  std::size_t total = 0;
  for (const std::size_t i : studies) {
    if (!counted(*study.sdms[i])) continue;
    ++tally[study.sdms[i]->dataPoints];
    ++total;
  }
  for (const auto& [length, runs] : tally) {
    if (runs * 2 > total) return length;
  }
  return std::nullopt;
}

void addOthers(const StudyInput& study, const std::vector<std::size_t>& studies, std::int32_t usual,
               const std::string& whose, const std::string& subject,
               std::vector<FurtherFinding>& findings) {
  for (const std::size_t i : studies) {
    const SdmSummary& sdm = *study.sdms[i];
    if (!counted(sdm) || sdm.dataPoints == usual) continue;
    FurtherFinding finding;
    finding.code = FurtherCode::kRunLength;
    finding.severity = RecordSeverity::kNote;
    finding.path = sdm.path;
    finding.subject = subject;
    finding.text = fileNameOf(sdm.path) + ": " + std::to_string(sdm.dataPoints) +
                   " data points, where most runs of " + whose + " have " + std::to_string(usual);
    findings.push_back(std::move(finding));
  }
}

}  // namespace

void addRunLengthFindings(const StudyInput& study, const std::vector<SubjectGroup>& subjects,
                          std::vector<FurtherFinding>& findings) {
  std::vector<std::size_t> all(study.sdms.size());
  for (std::size_t i = 0; i < all.size(); ++i) all[i] = i;
  if (const std::optional<std::int32_t> usual = majorityLength(study, all)) {
    addOthers(study, all, *usual, "the study", "", findings);
    return;
  }
  for (const SubjectGroup& group : subjects) {
    if (const std::optional<std::int32_t> usual = majorityLength(study, group.studies)) {
      addOthers(study, group.studies, *usual, "subject " + visible(group.id), group.id, findings);
    }
  }
}

}  // namespace kelvora::analysis
