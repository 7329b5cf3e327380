#include "inspection/sdm_predictors.h"

#include <algorithm>

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
  if (index < 0 || static_cast<std::uint64_t>(index) >= sdm.values.size()) return true;
  const auto& column = sdm.values[static_cast<std::size_t>(index)];
  // Equal to 0.0f covers negative zero; any other value, a denormal included, is not zero.
  return std::all_of(column.begin(), column.end(), [](float value) { return value == 0.0f; });
}

std::int64_t columnCountOf(const SdmFile& sdm) {
  return static_cast<std::int64_t>(sdm.values.size());
}

std::int64_t valueCountOf(const SdmFile& sdm) {
  std::int64_t count = 0;
  for (const auto& column : sdm.values) count += static_cast<std::int64_t>(column.size());
  return count;
}

}  // namespace kelvora
