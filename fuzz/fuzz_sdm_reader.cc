// Fuzz target: the SDM reader on arbitrary bytes. Properties checked: an opened file that is not
// too large has one colour triple, one name and one column per predictor and one value per data
// point in every column; a file marked too large keeps nothing; and what is kept stays within the
// reader's allowance unless the file itself is large enough to hold it, and within its fixed caps
// whatever the file.
#include <cstddef>
#include <cstdint>

#include "designmatrix/sdm_file.h"
#include "fuzz_support.h"

namespace {

using kelvora::SdmFile;
using kelvora::fuzz::require;

bool shapedByItsHeader(const SdmFile& sdm) {
  if (sdm.nrOfPredictors < 0 || sdm.nrOfDataPoints < 0) return false;
  const auto predictors = static_cast<std::size_t>(sdm.nrOfPredictors);
  if (sdm.colorRed.size() != predictors || sdm.colorGreen.size() != predictors ||
      sdm.colorBlue.size() != predictors || sdm.predictorNames.size() != predictors ||
      sdm.values.size() != predictors) {
    return false;
  }
  for (const auto& column : sdm.values) {
    if (column.size() != static_cast<std::size_t>(sdm.nrOfDataPoints)) return false;
  }
  return true;
}

bool keepsNothing(const SdmFile& sdm) {
  return sdm.colorRed.empty() && sdm.colorGreen.empty() && sdm.colorBlue.empty() &&
         sdm.predictorNames.empty() && sdm.values.empty();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const kelvora::fuzz::ScratchFolder& scratch = kelvora::fuzz::scratchFolder();
  const SdmFile sdm =
      kelvora::readSdm(scratch.write("input.sdm", kelvora::fuzz::bytesOf(data, size)));

  if (sdm.tooLargeToRead) {
    require(keepsNothing(sdm), "an SDM too large to read keeps no lists");
    require(kelvora::sdmTooLargeToRead(sdm.nrOfPredictors, sdm.nrOfDataPoints, size),
            "an SDM marked too large breaks the size rule");
    return 0;
  }
  require(!sdm.unreadable(), "an opened SDM never reads as one that could not be opened");
  require(shapedByItsHeader(sdm), "an opened SDM's lists have the sizes its header gives");

  const auto predictors = static_cast<std::int64_t>(sdm.nrOfPredictors);
  const auto dataPoints = static_cast<std::int64_t>(sdm.nrOfDataPoints);
  const std::int64_t slots = predictors * (dataPoints + kelvora::kSdmSlotsPerPredictor);
  const std::int64_t values = predictors * (dataPoints > 0 ? dataPoints : 1);
  require(
      slots <= kelvora::kSdmValueAllowance || static_cast<std::uint64_t>(values) <= (size + 1) / 2,
      "memory kept stays within the allowance or what the file can hold");
  require(slots <= kelvora::kSdmMaxSlots && predictors <= kelvora::kSdmMaxPredictors,
          "memory kept stays within the fixed caps, however large the file");
  return 0;
}
