#include "inspection/sdm_predictors.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace kelvora {

std::int64_t interestCountOf(const SdmFile& sdm) {
  return std::int64_t{sdm.firstConfoundPredictor} - 1;
}

std::string_view predictorNameAt(const SdmFile& sdm, std::int64_t index) {
  if (index < 0 || static_cast<std::uint64_t>(index) >= nameCountOf(sdm)) {
    return kUnreadPredictorName;
  }
  const auto at = static_cast<std::size_t>(index);
  return sdm.predictorNames.empty() ? sdm.sharedNames[at] : sdm.predictorNames[at];
}

std::size_t nameCountOf(const SdmFile& sdm) {
  return std::max(sdm.predictorNames.size(), sdm.sharedNames.size());
}

void shareNames(SdmFile& sdm, NameListTable& table) {
  if (sdm.predictorNames.empty()) return;  // none, or shared already
  sdm.sharedNames = table.share(sdm.predictorNames);
  std::vector<std::string>().swap(sdm.predictorNames);
}

std::int64_t slotsKeptBy(const SdmFile& sdm) {
  const std::size_t bytes = sizeof(SdmFile) + sdm.path.capacity() +
                            (sdm.zeroColumns.size() + 7) / 8 + sdm.notes.unreadText.capacity();
  return static_cast<std::int64_t>((bytes + 3) / 4);
}

bool isAllZeroColumn(const SdmFile& sdm, std::int64_t index) {
  if (index < 0 || index >= columnCountOf(sdm)) return true;
  const auto column = static_cast<std::size_t>(index);
  if (sdm.values.empty()) return sdm.zeroColumns[column];
  // Equal to 0.0f covers negative zero; any other value, a denormal included, is not zero.
  return std::all_of(sdm.values[column].begin(), sdm.values[column].end(),
                     [](float value) { return value == 0.0f; });
}

std::int64_t columnCountOf(const SdmFile& sdm) {
  return static_cast<std::int64_t>(std::max(sdm.values.size(), sdm.zeroColumns.size()));
}

void letValuesGo(SdmFile& sdm) {
  if (sdm.values.empty()) return;  // nothing held, or let go already
  std::vector<bool> zeroColumns(sdm.values.size());
  for (std::size_t column = 0; column < zeroColumns.size(); ++column) {
    zeroColumns[column] = isAllZeroColumn(sdm, static_cast<std::int64_t>(column));
  }
  std::vector<std::vector<float>>().swap(sdm.values);
  std::vector<std::int32_t>().swap(sdm.colorRed);
  std::vector<std::int32_t>().swap(sdm.colorGreen);
  std::vector<std::int32_t>().swap(sdm.colorBlue);
  sdm.zeroColumns = std::move(zeroColumns);
}

}  // namespace kelvora
