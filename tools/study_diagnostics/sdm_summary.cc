#include "sdm_summary.h"

#include "inspection/sdm_predictors.h"

namespace kelvora::diagnostics {

void summarizeSdm(const SdmFile& sdm, SdmSummary& summary) {
  summary.openFailed = sdm.unreadable();
  summary.read = !sdm.unreadable() && !sdm.tooLargeToRead;
  if (!summary.read) return;
  summary.dataPoints = sdm.nrOfDataPoints;
  summary.interestCount = interestCountOf(sdm);
  const std::int64_t columns = columnCountOf(sdm);
  summary.names.reserve(static_cast<std::size_t>(columns));  // a large study holds thousands
  summary.zeroColumns.reserve(static_cast<std::size_t>(columns));
  for (std::int64_t j = 0; j < columns; ++j) {
    summary.names.emplace_back(predictorNameAt(sdm, j));
    summary.zeroColumns.push_back(isAllZeroColumn(sdm, j));
  }
  summary.notes = sdm.notes;
}

std::int64_t announcedValues(const SdmSummary& sdm) {
  return static_cast<std::int64_t>(sdm.names.size()) * sdm.dataPoints;
}

bool readIncompletely(const SdmSummary& sdm) {
  return sdm.read && sdm.notes.valuesRead < announcedValues(sdm);
}

}  // namespace kelvora::diagnostics
