// readSdm: the SDM reader. The file is read token by token with the shared TextScanner, whose
// failure state plays the part of a stream's failbit: it is cleared once, after the colour
// triples, so that the names line can be read after the look-ahead read failed on its quote.
#include <algorithm>
#include <cstring>
#include <new>
#include <string_view>
#include <utility>

#include "designmatrix/sdm_file.h"
#include "designmatrix/text_scanner.h"
#include "files/native_file.h"
#include "log/plugin_log.h"

namespace kelvora {
namespace {

constexpr std::string_view kFirstConfoundKey = "FirstConfoundPredictor:";
constexpr int kHeaderTokens = 5;

// The header: at most five tokens besides the integer values; it ends after the value of
// "FirstConfoundPredictor:". A failed read leaves `token` as it was, as a stream does.
void readHeader(TextScanner& scanner, SdmFile& sdm) {
  std::string token;
  std::uint8_t found = 0;
  const auto readField = [&](SdmHeaderField field, std::int32_t& value) {
    found |= field;
    if (!scanner.readInt(value)) sdm.notes.headerUnreadable |= field;
  };
  for (int count = 0; token != kFirstConfoundKey && count < kHeaderTokens; ++count) {
    scanner.readWord(token);
    if (token == "FileVersion:") {
      readField(kFileVersionField, sdm.fileVersion);
    } else if (token == "NrOfPredictors:") {
      readField(kNrOfPredictorsField, sdm.nrOfPredictors);
    } else if (token == "NrOfDataPoints:") {
      readField(kNrOfDataPointsField, sdm.nrOfDataPoints);
    } else if (token == "IncludesConstant:") {
      readField(kIncludesConstantField, sdm.includesConstant);
    } else if (token == kFirstConfoundKey) {
      readField(kFirstConfoundPredictorField, sdm.firstConfoundPredictor);
    }
  }
  constexpr std::uint8_t kAllFields = 31;
  sdm.notes.headerMissing = static_cast<std::uint8_t>(kAllFields & ~found);
}

// One triple per predictor. The first component of the next triple is read ahead; after the
// last triple that read normally fails on the names line's opening quote, which it leaves.
void readColours(TextScanner& scanner, SdmFile& sdm) {
  const std::size_t count = static_cast<std::size_t>(sdm.nrOfPredictors);
  sdm.colorRed.assign(count, 0);
  sdm.colorGreen.assign(count, 0);
  sdm.colorBlue.assign(count, 0);
  std::int32_t red = 0;
  scanner.readInt(red);
  for (std::size_t stored = 0; !scanner.failed() && stored < count; ++stored) {
    std::int32_t green = 0;
    std::int32_t blue = 0;
    scanner.readInt(green);
    scanner.readInt(blue);
    sdm.colorRed[stored] = red;
    sdm.colorGreen[stored] = green;
    sdm.colorBlue[stored] = blue;
    scanner.readInt(red);
  }
  scanner.clearFailure();
}

// The rest of the current line, or the next line when that holds no quote; names are the texts
// between quotes 1 and 2, 3 and 4, and so on.
void readNames(TextScanner& scanner, SdmFile& sdm) {
  const std::size_t count = static_cast<std::size_t>(sdm.nrOfPredictors);
  sdm.predictorNames.assign(count, kUnreadPredictorName);
  std::string_view line;
  if (!scanner.readLine(line) || line.find('"') == std::string_view::npos) {
    if (!scanner.readLine(line)) line = std::string_view();
  }
  std::size_t name = 0;
  std::size_t open = line.find('"');
  while (open != std::string_view::npos) {
    const std::size_t close = line.find('"', open + 1);
    if (close == std::string_view::npos) break;
    if (name < count) sdm.predictorNames[name].assign(line.substr(open + 1, close - open - 1));
    ++name;  // names beyond the predictors are only counted
    open = line.find('"', close + 1);
  }
  sdm.notes.namesFound = static_cast<std::int64_t>(name);
}

// Row by row into the columns; the first value that cannot be read ends the matrix.
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
  const std::size_t read = scanner.readFloatRows(columns.data(), predictors, dataPoints);
  SdmReadNotes& notes = sdm.notes;
  notes.valuesRead = static_cast<std::int64_t>(read);
  if (read == predictors * dataPoints) {
    notes.textAfterMatrix = scanner.hasMoreText();
  } else {
    notes.unreadText.assign(scanner.failedWord(kMostUnreadTextKept, notes.unreadInWord));
    if (!notes.unreadText.empty()) notes.unreadIndex = static_cast<std::int64_t>(read);
  }
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
