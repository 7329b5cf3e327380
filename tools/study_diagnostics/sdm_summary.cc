#include "sdm_summary.h"

#include "inspection/sdm_predictors.h"

namespace kelvora::diagnostics {

void summarizeSdm(const SdmFile& sdm, SdmSummary& summary, NameListTable& nameLists) {
  summary.openFailed = sdm.unreadable();
  summary.read = !sdm.unreadable() && !sdm.tooLargeToRead;
  if (!summary.read) return;
  summary.dataPoints = sdm.nrOfDataPoints;
  summary.interestCount = interestCountOf(sdm);
  const std::int64_t columns = columnCountOf(sdm);
  // The reader names every column of an SDM it read.
  summary.names =
      sdm.predictorNames.empty() ? sdm.sharedNames : nameLists.share(sdm.predictorNames);
  summary.zeroColumns.reserve(static_cast<std::size_t>(columns));  // a large study holds thousands
  for (std::int64_t j = 0; j < columns; ++j) summary.zeroColumns.push_back(isAllZeroColumn(sdm, j));
  summary.notes = sdm.notes;
}

std::int64_t announcedValues(const SdmSummary& sdm) {
  return static_cast<std::int64_t>(sdm.names.size()) * sdm.dataPoints;
}

bool readIncompletely(const SdmSummary& sdm) {
  return sdm.read && sdm.notes.valuesRead < announcedValues(sdm);
}

}  // namespace kelvora::diagnostics
