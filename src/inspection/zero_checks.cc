#include "inspection/zero_checks.h"

#include <algorithm>

#include "inspection/sdm_predictors.h"

namespace kelvora {

std::vector<ZeroAcrossRuns> findZeroAcrossRuns(const std::vector<CondensedSdm>& sdms,
                                               const std::vector<SubjectGroup>& groups,
                                               std::int64_t n) {
  std::int64_t mostColumns = 0;
  for (const CondensedSdm& sdm : sdms) mostColumns = std::max(mostColumns, columnCountOf(sdm));
  const std::int64_t examined = std::clamp<std::int64_t>(n, 0, mostColumns);

  std::vector<ZeroAcrossRuns> found;
  std::vector<bool> runCoverage;
  for (std::size_t subject = 0; subject < groups.size(); ++subject) {
    runCoverage.assign(static_cast<std::size_t>(examined), false);
    for (std::size_t study : groups[subject].studies) {
      for (std::int64_t j = 0; j < examined; ++j) {
        const auto flag = static_cast<std::size_t>(j);
        if (!runCoverage[flag] && !isAllZeroColumn(sdms[study], j)) runCoverage[flag] = true;
      }
    }
    for (std::int64_t j = 0; j < examined; ++j) {
      if (!runCoverage[static_cast<std::size_t>(j)]) found.push_back(ZeroAcrossRuns{subject, j});
    }
  }
  return found;
}

std::vector<ZeroConfound> findZeroConfounds(const std::vector<CondensedSdm>& sdms, std::int64_t n) {
  std::vector<ZeroConfound> found;
  for (std::size_t study = 0; study < sdms.size(); ++study) {
    const std::int64_t columns = columnCountOf(sdms[study]);
    for (std::int64_t k = std::max<std::int64_t>(n, 0); k < columns; ++k) {
      if (isAllZeroColumn(sdms[study], k)) found.push_back(ZeroConfound{study, k});
    }
  }
  return found;
}

}  // namespace kelvora
