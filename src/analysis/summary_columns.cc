#include "analysis/summary_columns.h"

#include <algorithm>

#include "inspection/name_list_groups.h"

namespace kelvora::analysis {

std::int64_t columnsOf(const SdmSummary& sdm) {
  return static_cast<std::int64_t>(std::max(sdm.names.size(), sdm.zeroColumns.size()));
}

std::int64_t mostColumnsOf(const std::vector<const SdmSummary*>& sdms) {
  std::int64_t most = 0;
  for (const SdmSummary* sdm : sdms) {
    if (sdm != nullptr) most = std::max(most, columnsOf(*sdm));
  }
  return most;
}

std::int64_t examinedInterestCount(std::int64_t n, const std::vector<const SdmSummary*>& sdms) {
  return std::clamp<std::int64_t>(n, 0, mostColumnsOf(sdms));
}

std::vector<std::string> prevailingNamesOf(const std::vector<const SdmSummary*>& sdms,
                                           std::int64_t columns) {
  const auto groups = groupByNameList<SdmSummary>(
      sdms.size(), [&sdms](std::size_t i) -> const SdmSummary& { return *sdms[i]; });
  const auto nameOf = [](const SdmSummary& sdm, std::int64_t j) { return nameAt(sdm.names, j); };
  std::vector<std::string> prevailing;
  for (std::int64_t j = 0; j < columns; ++j)
    prevailing.push_back(prevailingNameAt(groups, j, nameOf));
  return prevailing;
}

}  // namespace kelvora::analysis
