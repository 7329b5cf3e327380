#include "inspection/zero_checks.h"

#include <algorithm>
#include <set>
#include <utility>

#include "inspection/sdm_predictors.h"

namespace kelvora {

std::vector<ZeroAcrossRuns> findZeroAcrossRuns(const std::vector<CondensedSdm>& sdms,
                                               const std::vector<SubjectGroup>& groups,
                                               std::int64_t n, std::size_t most) {
  std::int64_t mostColumns = 0;
  for (const CondensedSdm& sdm : sdms) mostColumns = std::max(mostColumns, columnCountOf(sdm));
  const std::int64_t examined = std::clamp<std::int64_t>(n, 0, mostColumns);

  std::vector<ZeroAcrossRuns> found;
  std::vector<bool> runCoverage;
  // A run answers by its zero columns and its number of columns: runs alike answer alike.
  std::set<std::pair<const void*, std::int64_t>> runsSeen;
  for (std::size_t subject = 0; subject < groups.size() && found.size() < most; ++subject) {
    runCoverage.assign(static_cast<std::size_t>(examined), false);
    runsSeen.clear();
    for (std::size_t study : groups[subject].studies) {
      const CondensedSdm& run = sdms[study];
      if (!runsSeen.emplace(run.zeroColumns.identity(), columnCountOf(run)).second) continue;
      for (std::int64_t j = 0; j < examined; ++j) {
        const auto flag = static_cast<std::size_t>(j);
        if (!runCoverage[flag] && !isAllZeroColumn(run, j)) runCoverage[flag] = true;
      }
    }
    for (std::int64_t j = 0; j < examined && found.size() < most; ++j) {
      if (!runCoverage[static_cast<std::size_t>(j)]) found.push_back(ZeroAcrossRuns{subject, j});
    }
  }
  return found;
}

std::vector<ZeroConfound> findZeroConfounds(const std::vector<CondensedSdm>& sdms, std::int64_t n,
                                            std::size_t most) {
  std::vector<ZeroConfound> found;
  for (std::size_t study = 0; study < sdms.size() && found.size() < most; ++study) {
    const std::int64_t columns = columnCountOf(sdms[study]);
    for (std::int64_t k = std::max<std::int64_t>(n, 0); k < columns && found.size() < most; ++k) {
      if (isAllZeroColumn(sdms[study], k)) found.push_back(ZeroConfound{study, k});
    }
  }
  return found;
}

}  // namespace kelvora
