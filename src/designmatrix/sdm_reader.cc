// readSdm: the SDM reader. The file is read token by token with the shared TextScanner, whose
// failure state plays the part of a stream's failbit: it is cleared once, after the colour
// triples, so that the names line can be read after the look-ahead read failed on its quote.
#include <algorithm>
#include <cstring>
#include <new>
#include <string_view>
#include <utility>

#include "designmatrix/sdm_file.h"
#include "designmatrix/sdm_reading_steps.h"
#include "designmatrix/text_scanner.h"
#include "files/native_file.h"
#include "log/plugin_log.h"

namespace kelvora {
namespace {

// The values into one column per predictor.
void readValues(TextScanner& scanner, SdmFile& sdm) {
  const std::size_t predictors = static_cast<std::size_t>(sdm.nrOfPredictors);
  const std::size_t dataPoints = static_cast<std::size_t>(sdm.nrOfDataPoints);
  // Each column is made in place: a prototype column would claim nrOfDataPoints values even when
  // there is no predictor to hold them (2147483647 data points and no predictor: 8 GiB).
  sdm.values.resize(predictors);
  for (std::vector<float>& column : sdm.values) column.assign(dataPoints, 0.0f);
  if (predictors == 0) return;  // no row to read, however many data points are announced
  std::vector<float*> columns(predictors);
  for (std::size_t p = 0; p < predictors; ++p) columns[p] = sdm.values[p].data();
  readValueRows(scanner, sdm, columns.data());
}

void readOpenedSdm(std::FILE* file, std::uint64_t fileSize, SdmFile& sdm,
                   const SdmListGate& beforeLists) {
  TextScanner scanner(file);
  readHeader(scanner, sdm);
  sdm.fileVersion = openedFileVersion(sdm.fileVersion);
  sdm.nrOfPredictors = std::max(sdm.nrOfPredictors, 0);
  sdm.nrOfDataPoints = std::max(sdm.nrOfDataPoints, 0);
  if (sdmTooLargeToRead(sdm.nrOfPredictors, sdm.nrOfDataPoints, fileSize)) {
    sdm.tooLargeToRead = true;
    return;
  }
  if (beforeLists) beforeLists(sdmListBytes(sdm.nrOfPredictors, sdm.nrOfDataPoints));
  readColours(scanner, sdm);
  readNames(scanner, sdm);
  readValues(scanner, sdm);
}

template <typename T>
void release(std::vector<T>& list) {
  std::vector<T>().swap(list);
}

}  // namespace

bool sdmTooLargeToRead(std::int32_t nrOfPredictors, std::int32_t nrOfDataPoints,
                       std::uint64_t fileSize) {
  const std::int64_t predictors = std::max(nrOfPredictors, 0);
  const std::int64_t dataPoints = std::max(nrOfDataPoints, 0);
  const std::int64_t slots = predictors * (dataPoints + kSdmSlotsPerPredictor);
  const std::uint64_t values =
      static_cast<std::uint64_t>(predictors * std::max<std::int64_t>(dataPoints, 1));
  if (predictors > kSdmMaxPredictors || slots > kSdmMaxSlots) return true;
  return slots > kSdmValueAllowance && values > fileSize / 2 + fileSize % 2;
}

SdmFile readSdm(std::string path) {
  SdmFile sdm = readSdmSilently(std::move(path));
  if (sdm.unreadable()) logSdmOpenFailure(sdm.path);
  return sdm;
}

void logSdmOpenFailure(const std::string& path) {
  try {
    logLine(kSdmOpenFailure + path);
  } catch (...) {
    // the entry is lost; the run goes on with the failure recorded as data
  }
}

std::int64_t sdmListBytes(std::int32_t nrOfPredictors, std::int32_t nrOfDataPoints) {
  // Colours 12, name 32, column 24 and the heap's 16 bytes for each column and long name.
  constexpr std::int64_t kBytesPerPredictor = 100;
  const std::int64_t predictors = std::max(nrOfPredictors, 0);
  return predictors * (kBytesPerPredictor + std::int64_t{4} * std::max(nrOfDataPoints, 0));
}

SdmFile readSdmSilently(std::string path, const SdmListGate& beforeLists) {
  SdmFile sdm;
  try {
    sdm.path = std::move(path);
    std::uint64_t fileSize = 0;
    const FilePtr file = openRegularFileForReading(sdm.path, fileSize);
    if (file == nullptr) {
      sdm.fileVersion = kUnreadableFileVersion;
      return sdm;
    }
    readOpenedSdm(file.get(), fileSize, sdm, beforeLists);
  } catch (...) {
    // Only memory can run out here. An opened file then counts as too large to read, which ends
    // the run with its own finding; the lists are dropped so that no half-read record remains.
    release(sdm.colorRed);
    release(sdm.colorGreen);
    release(sdm.colorBlue);
    release(sdm.predictorNames);
    release(sdm.values);
    if (!sdm.unreadable()) sdm.tooLargeToRead = true;
  }
  return sdm;
}

}  // namespace kelvora
