#include "analysis/summary_columns.h"

#include <algorithm>
#include <unordered_map>

#include "inspection/prevailing_value.h"

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
  std::vector<const SdmSummary*> lists;  // the first SDM of each list
  std::vector<std::size_t> listings;
  std::unordered_map<const void*, std::size_t> listOf;
  for (const SdmSummary* sdm : sdms) {
    const auto [entry, added] = listOf.try_emplace(sdm->names.identity(), lists.size());
    if (added) {
      lists.push_back(sdm);
      listings.push_back(0);
    }
    ++listings[entry->second];
  }
  std::vector<std::string> prevailing;
  std::vector<SharedName> names;
  for (std::int64_t j = 0; j < columns; ++j) {
    names.clear();
    for (std::size_t list = 0; list < lists.size(); ++list) {
      names.push_back(SharedName{nameAt(lists[list]->names, j), listings[list]});
    }
    prevailing.push_back(prevailingSharedName(names));
  }
  return prevailing;
}

}  // namespace kelvora::analysis
