#include "inspection/sdm_predictors.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace kelvora {

CondensedSdm condense(const SdmFile& sdm, NameListTable& names, ZeroColumnTable& zeros) {
  CondensedSdm condensed;
  condensed.path = sdm.path;
  condensed.names = sdm.predictorNames.empty() ? sdm.sharedNames : names.share(sdm.predictorNames);
  std::vector<bool> allZero(static_cast<std::size_t>(columnCountOf(sdm)));
  for (std::size_t column = 0; column < allZero.size(); ++column) {
    allZero[column] = isAllZeroColumn(sdm, static_cast<std::int64_t>(column));
  }
  condensed.zeroColumns = zeros.share(std::move(allZero));
  condensed.fileVersion = sdm.fileVersion;
  condensed.nrOfPredictors = sdm.nrOfPredictors;
  condensed.nrOfDataPoints = sdm.nrOfDataPoints;
  condensed.firstConfoundPredictor = sdm.firstConfoundPredictor;
  condensed.tooLargeToRead = sdm.tooLargeToRead;
  return condensed;
}

std::int64_t interestCountOf(const SdmFile& sdm) {
  return std::int64_t{sdm.firstConfoundPredictor} - 1;
}

std::int64_t interestCountOf(const CondensedSdm& sdm) {
  return std::int64_t{sdm.firstConfoundPredictor} - 1;
}

std::string_view predictorNameAt(const SdmFile& sdm, std::int64_t index) {
  if (index < 0 || static_cast<std::uint64_t>(index) >= nameCountOf(sdm)) {
    return kUnreadPredictorName;
  }
  const auto at = static_cast<std::size_t>(index);
  return sdm.predictorNames.empty() ? sdm.sharedNames[at] : sdm.predictorNames[at];
}

std::string_view predictorNameAt(const CondensedSdm& sdm, std::int64_t index) {
  if (index < 0 || static_cast<std::uint64_t>(index) >= sdm.names.size()) {
    return kUnreadPredictorName;
  }
  return sdm.names[static_cast<std::size_t>(index)];
}

std::size_t nameCountOf(const SdmFile& sdm) {
  return std::max(sdm.predictorNames.size(), sdm.sharedNames.size());
}

std::size_t nameCountOf(const CondensedSdm& sdm) { return sdm.names.size(); }

void shareNames(SdmFile& sdm, NameListTable& table) {
  if (sdm.predictorNames.empty()) return;  // none, or shared already
  sdm.sharedNames = table.share(sdm.predictorNames);
  std::vector<std::string>().swap(sdm.predictorNames);
}

bool isAllZeroColumn(const SdmFile& sdm, std::int64_t index) {
  if (index < 0 || index >= columnCountOf(sdm)) return true;
  const auto column = static_cast<std::size_t>(index);
  // Equal to 0.0f covers negative zero; any other value, a denormal included, is not zero.
  return std::all_of(sdm.values[column].begin(), sdm.values[column].end(),
                     [](float value) { return value == 0.0f; });
}

bool isAllZeroColumn(const CondensedSdm& sdm, std::int64_t index) {
  return index < 0 || index >= columnCountOf(sdm) ||
         sdm.zeroColumns[static_cast<std::size_t>(index)];
}

std::int64_t columnCountOf(const SdmFile& sdm) {
  return static_cast<std::int64_t>(sdm.values.size());
}

std::int64_t columnCountOf(const CondensedSdm& sdm) {
  return static_cast<std::int64_t>(sdm.zeroColumns.size());
}

}  // namespace kelvora
