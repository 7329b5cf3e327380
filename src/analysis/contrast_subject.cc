#include "analysis/contrast_subject.h"

#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "analysis/summary_columns.h"

namespace kelvora::analysis {
namespace {

// The name of a run's predictor of interest at `place`, or none when the SDM names no such column.
std::optional<std::string_view> interestName(const ContrastInformation& run,
                                             const SdmDesign& design, std::int32_t place) {
  const std::int32_t column = run.columns[static_cast<std::size_t>(place)];
  if (static_cast<std::size_t>(column) >= design.names.size()) return std::nullopt;
  return nameAt(design.names, column);
}

}  // namespace

SubjectInformation subjectInformationOf(const std::vector<std::size_t>& studies,
                                        const std::vector<SharedContrastInformation>& information,
                                        const std::vector<SdmDesign>& designs,
                                        const std::vector<std::string>& names) {
  SubjectInformation subject;
  std::vector<std::size_t> checked;
  for (const std::size_t study : studies) {
    if (!information[study]) continue;
    if (!information[study]->interestKept) return subject;
    checked.push_back(study);
  }
  if (checked.empty()) return subject;

  // The names the sum keeps: those in two runs or more, and those a contrast weighs; each run's
  // first column of a name only (a second is a predictor of its own).
  const std::unordered_set<std::string_view> weighed(names.begin(), names.end());
  std::unordered_map<std::string_view, std::size_t> runsOf;
  for (const std::size_t study : checked) {
    const ContrastInformation& run = *information[study];
    std::unordered_set<std::string_view> inRun;
    for (std::int32_t p = 0; p < run.interest; ++p) {
      const std::optional<std::string_view> name = interestName(run, designs[study], p);
      if (name && inRun.insert(*name).second) ++runsOf[*name];
    }
  }
  std::unordered_map<std::string_view, std::size_t> indexOf;  // in study and column order
  for (const std::size_t study : checked) {
    const ContrastInformation& run = *information[study];
    for (std::int32_t p = 0; p < run.interest; ++p) {
      const std::optional<std::string_view> name = interestName(run, designs[study], p);
      if (name && (runsOf[*name] > 1 || weighed.count(*name) > 0)) {
        indexOf.emplace(*name, indexOf.size());
      }
    }
  }
  const std::size_t count = indexOf.size();
  if (count > kMostSubjectNames) return subject;

  Eigen::MatrixXd written = Eigen::MatrixXd::Zero(count, count);
  Eigen::VectorXd squaredLengths = Eigen::VectorXd::Zero(count);
  for (const std::size_t study : checked) {
    const ContrastInformation& run = *information[study];
    std::vector<Eigen::Index> kept;
    std::vector<Eigen::Index> dropped;
    std::vector<Eigen::Index> target;
    std::unordered_set<std::string_view> inRun;
    for (Eigen::Index p = 0; p < run.lengths.size(); ++p) {
      std::optional<std::string_view> name;
      if (p < run.interest) name = interestName(run, designs[study], static_cast<std::int32_t>(p));
      const auto found = name ? indexOf.find(*name) : indexOf.end();
      if (found != indexOf.end() && inRun.insert(*name).second) {
        kept.push_back(p);
        target.push_back(static_cast<Eigen::Index>(found->second));
      } else {
        dropped.push_back(p);
      }
    }
    const Eigen::MatrixXd unit = run.unit();
    const Eigen::MatrixXd reduced =
        informationAfter(unit(kept, kept), unit(dropped, kept), unit(dropped, dropped));
    for (std::size_t a = 0; a < kept.size(); ++a) {
      const double length = run.lengths(kept[a]);
      squaredLengths(target[a]) += length * length;
      for (std::size_t b = 0; b < kept.size(); ++b) {
        written(target[a], target[b]) += length * reduced(a, b) * run.lengths(kept[b]);
      }
    }
  }
  subject.place.assign(names.size(), -1);
  for (std::size_t n = 0; n < names.size(); ++n) {
    const auto found = indexOf.find(names[n]);
    if (found != indexOf.end()) subject.place[n] = static_cast<std::int32_t>(found->second);
  }
  subject.lengths = squaredLengths.cwiseSqrt();
  const Eigen::VectorXd inverse = subject.lengths.cwiseInverse();
  subject.solver.emplace(inverse.asDiagonal() * written * inverse.asDiagonal());
  return subject;
}

}  // namespace kelvora::analysis
