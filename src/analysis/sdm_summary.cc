#include "analysis/sdm_summary.h"

#include <utility>
#include <vector>

#include "inspection/sdm_predictors.h"

namespace kelvora::analysis {

void summarizeSdm(const SdmFile& sdm, SdmSummary& summary, NameListTable& nameLists,
                  ZeroColumnTable& zeroSets) {
  summary.openFailed = sdm.unreadable();
  summary.read = !sdm.unreadable() && !sdm.tooLargeToRead;
  if (!summary.read) return;
  summary.dataPoints = sdm.nrOfDataPoints;
  summary.interestCount = interestCountOf(sdm);
  const std::int64_t columns = columnCountOf(sdm);
  // The reader names every column of an SDM it read.
  summary.names =
      sdm.predictorNames.empty() ? sdm.sharedNames : nameLists.share(sdm.predictorNames);
  std::vector<bool> allZero(static_cast<std::size_t>(columns));
  for (std::int64_t j = 0; j < columns; ++j) {
    allZero[static_cast<std::size_t>(j)] = isAllZeroColumn(sdm, j);
  }
  summary.zeroColumns = zeroSets.share(std::move(allZero));
  summary.setNotes(sdm.notes);
}

namespace {

// The notes of an SDM whose every name and value was read, and nothing else noticed.
SdmReadNotes cleanNotesOf(const SdmSummary& sdm) {
  SdmReadNotes notes;
  notes.namesFound = static_cast<std::int64_t>(sdm.names.size());
  notes.valuesRead = announcedValues(sdm);
  return notes;
}

// Every field of SdmReadNotes: one added there must be added here, or it is lost on clean reads.
bool sameNotes(const SdmReadNotes& a, const SdmReadNotes& b) {
  return a.headerMissing == b.headerMissing && a.headerUnreadable == b.headerUnreadable &&
         a.namesFound == b.namesFound && a.valuesRead == b.valuesRead &&
         a.unreadIndex == b.unreadIndex && a.unreadText == b.unreadText &&
         a.unreadInWord == b.unreadInWord && a.textAfterMatrix == b.textAfterMatrix;
}

}  // namespace

SdmReadNotes SdmSummary::notes() const {
  return unusualNotes ? *unusualNotes : cleanNotesOf(*this);
}

void SdmSummary::setNotes(const SdmReadNotes& noticed) {
  unusualNotes = sameNotes(noticed, cleanNotesOf(*this))
                     ? nullptr
                     : std::make_shared<const SdmReadNotes>(noticed);
}

std::int64_t announcedValues(const SdmSummary& sdm) {
  return static_cast<std::int64_t>(sdm.names.size()) * sdm.dataPoints;
}

bool readIncompletely(const SdmSummary& sdm) {
  return sdm.read && sdm.notes().valuesRead < announcedValues(sdm);
}

}  // namespace kelvora::analysis
