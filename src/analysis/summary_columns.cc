#include "analysis/summary_columns.h"

#include <algorithm>

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

}  // namespace kelvora::analysis
