// The contents of one single-study design matrix (SDM): its header, one colour triple and one name
// per predictor, and the values, one column of 32-bit floats per predictor.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kelvora {

// `fileVersion` of a file that could not be opened. No other value is reserved.
inline constexpr std::int32_t kUnreadableFileVersion = -1;

struct SdmFile {
  std::int32_t fileVersion = 0;
  std::string path;
  std::int32_t nrOfPredictors = 0;
  std::int32_t nrOfDataPoints = 0;
  std::int32_t includesConstant = 0;
  std::int32_t firstConfoundPredictor = 0;
  std::vector<std::int32_t> colorRed;
  std::vector<std::int32_t> colorGreen;
  std::vector<std::int32_t> colorBlue;
  std::vector<std::string> predictorNames;
  // values[p][t]: predictor p (0-based) at data point t (0-based).
  std::vector<std::vector<float>> values;
  // The header announced more values than the file could hold and than the reader's allowance:
  // nothing was allocated, the lists are empty, and the counts hold what the header announced.
  bool tooLargeToRead = false;

  bool unreadable() const { return fileVersion == kUnreadableFileVersion; }
};

// Reads the SDM at `path`. Never throws. A file that cannot be opened (missing, a folder, a
// device, a pipe, a path holding a NUL byte) logs "!!!  Failed opening SDM for reading: " and the
// path, and yields fileVersion -1, the path and empty lists. Anything malformed inside an opened
// file is not reported: what cannot be read keeps its default (0, 0.0, "NoName"). Whenever the file
// was opened and is not too large, every per-predictor list has nrOfPredictors entries and every
// column nrOfDataPoints values.
SdmFile readSdm(std::string path);

}  // namespace kelvora
