// An SDM with its values in one column-major matrix, read and written for front ends that hand a
// design on as one array (the Python module shares the matrix with numpy, without a copy). The
// plug-in and the run read SDMs with readSdm (sdm_file.h) and link none of this.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "designmatrix/sdm_file.h"

namespace kelvora {

struct SdmMatrix {
  SdmFile sdm;                // as readSdmSilently reads it, but with `values` empty
  std::vector<float> values;  // predictor p at data point t: values[p * nrOfDataPoints + t]
};

// Reads the SDM at `path` exactly as readSdmSilently does (same fields, notes and caps), its values
// into one matrix. Logs nothing; never throws. Cost: one pass over the file; memory: the values
// once, plus a line of the file.
SdmMatrix readSdmMatrix(std::string path);

// A design to write as an SDM.
struct SdmToWrite {
  std::vector<std::string> names;                   // one per predictor
  std::vector<std::array<std::int32_t, 3>> colors;  // one per predictor, or empty: grey
  std::int32_t firstConfoundPredictor = 0;          // 1-based; 0 or past the last: no confounds
  bool includesConstant = false;
  std::int64_t dataPoints = 0;
  const float* values = nullptr;  // column-major, names.size() columns of dataPoints values
};

// Writes `design` to `path` as the host writes SDMs (CR LF line ends, the header, one colour line
// per predictor, the names line, one line of values per data point), each value in the shortest
// text that reads back as the same float, bit for bit; the file is replaced atomically
// (replaceFileContents). Returns "" when written; otherwise why not, touching nothing: a value
// that is not finite, a name that is empty, repeated or holds a '"', CR or LF (it could not be
// read back), a colour outside 0..255, lists of the wrong length, a design the reader would refuse
// (sdmTooLargeToRead), or the file could not be written. Never throws except std::bad_alloc.
std::string writeSdm(const std::string& path, const SdmToWrite& design);

}  // namespace kelvora
