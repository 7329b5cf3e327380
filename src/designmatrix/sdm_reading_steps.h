// The steps of the SDM reader (sdm_reader.cc), shared with the reader that puts the values into
// one column-major matrix (sdm_matrix_reader.cc). Internal to the designmatrix floor. Each step
// reads on from where the one before left the scanner: header, colours, names, values.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "designmatrix/sdm_file.h"
#include "designmatrix/text_scanner.h"

namespace kelvora {
// Internal linkage: each reader compiles its own copy, so the run's reader is compiled exactly as
// when the steps were its own.
namespace {  // NOLINT(google-build-namespaces)

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

// Row by row into `columns` (nrOfPredictors pointers, at least one, each to nrOfDataPoints zeros);
// the first value that cannot be read ends the matrix.
void readValueRows(TextScanner& scanner, SdmFile& sdm, float* const* columns) {
  const std::size_t predictors = static_cast<std::size_t>(sdm.nrOfPredictors);
  const std::size_t dataPoints = static_cast<std::size_t>(sdm.nrOfDataPoints);
  const std::size_t read = scanner.readFloatRows(columns, predictors, dataPoints);
  SdmReadNotes& notes = sdm.notes;
  notes.valuesRead = static_cast<std::int64_t>(read);
  if (read == predictors * dataPoints) {
    notes.textAfterMatrix = scanner.hasMoreText();
  } else {
    notes.unreadText.assign(scanner.failedWord(kMostUnreadTextKept, notes.unreadInWord));
    if (!notes.unreadText.empty()) notes.unreadIndex = static_cast<std::int64_t>(read);
  }
}

}  // namespace
}  // namespace kelvora
