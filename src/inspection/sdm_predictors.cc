#include "inspection/sdm_predictors.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace kelvora {

std::int64_t interestCountOf(const SdmFile& sdm) {
  return std::int64_t{sdm.firstConfoundPredictor} - 1;
}

std::string_view predictorNameAt(const SdmFile& sdm, std::int64_t index) {
  if (index < 0 || static_cast<std::uint64_t>(index) >= sdm.predictorNames.size()) {
    return kUnreadPredictorName;
  }
  return sdm.predictorNames[static_cast<std::size_t>(index)];
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
