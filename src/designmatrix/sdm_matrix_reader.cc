#include <algorithm>
#include <utility>

#include "designmatrix/sdm_matrix.h"
#include "designmatrix/sdm_reading_steps.h"
#include "designmatrix/text_scanner.h"
#include "files/native_file.h"

namespace kelvora {

SdmMatrix readSdmMatrix(std::string path) {
  SdmMatrix matrix;
  SdmFile& sdm = matrix.sdm;
  try {
    sdm.path = std::move(path);
    std::uint64_t fileSize = 0;
    const FilePtr file = openRegularFileForReading(sdm.path, fileSize);
    if (file == nullptr) {
      sdm.fileVersion = kUnreadableFileVersion;
      return matrix;
    }
    TextScanner scanner(file.get());
    readHeader(scanner, sdm);
    sdm.fileVersion = openedFileVersion(sdm.fileVersion);
    sdm.nrOfPredictors = std::max(sdm.nrOfPredictors, 0);
    sdm.nrOfDataPoints = std::max(sdm.nrOfDataPoints, 0);
    if (sdmTooLargeToRead(sdm.nrOfPredictors, sdm.nrOfDataPoints, fileSize)) {
      sdm.tooLargeToRead = true;
      return matrix;
    }
    readColours(scanner, sdm);
    readNames(scanner, sdm);
    const std::size_t predictors = static_cast<std::size_t>(sdm.nrOfPredictors);
    const std::size_t dataPoints = static_cast<std::size_t>(sdm.nrOfDataPoints);
    matrix.values.assign(predictors * dataPoints, 0.0f);
    if (predictors == 0) return matrix;  // no row to read, however many data points are announced
    std::vector<float*> columns(predictors);
    for (std::size_t p = 0; p < predictors; ++p) columns[p] = matrix.values.data() + p * dataPoints;
    readValueRows(scanner, sdm, columns.data());
  } catch (...) {
    // Only memory can run out here: as readSdmSilently, the file then counts as too large.
    const SdmFile header = sdm;
    matrix = SdmMatrix();
    matrix.sdm.path = header.path;
    matrix.sdm.fileVersion = header.fileVersion;
    matrix.sdm.nrOfPredictors = header.nrOfPredictors;
    matrix.sdm.nrOfDataPoints = header.nrOfDataPoints;
    if (!matrix.sdm.unreadable()) matrix.sdm.tooLargeToRead = true;
  }
  return matrix;
}

}  // namespace kelvora
