// Texts of MDM and SDM files as tests need them, in the layouts the readers accept, and an
// in-memory SdmFile built the same way. Each SDM is given column by column.
#pragma once

#include <cstddef>
#include <cstdint>
#include <locale>
#include <sstream>
#include <string>
#include <vector>

#include "designmatrix/sdm_file.h"

namespace kelvora::testing {

struct SdmShape {
  std::vector<std::string> names;
  std::int32_t firstConfoundPredictor = 1;
  std::vector<std::vector<float>> columns;  // one per name, all of the same length
};

// Columns of `dataPoints` values each: column p holds p + 1 everywhere unless listed in `zero`.
inline std::vector<std::vector<float>> filledColumns(std::size_t count, std::size_t dataPoints,
                                                     std::vector<std::size_t> zero = {}) {
  std::vector<std::vector<float>> columns(count);
  for (std::size_t p = 0; p < count; ++p) {
    bool isZero = false;
    for (std::size_t z : zero) isZero = isZero || z == p;
    columns[p].assign(dataPoints, isZero ? 0.0f : static_cast<float>(p + 1));
  }
  return columns;
}

inline std::string sdmText(const SdmShape& shape) {
  std::ostringstream out;
  out.imbue(std::locale::classic());
  out.precision(9);
  const std::size_t rows = shape.columns.empty() ? 0 : shape.columns.front().size();
  out << "FileVersion: 1\n\nNrOfPredictors: " << shape.names.size() << "\nNrOfDataPoints: " << rows
      << "\nIncludesConstant: 1\nFirstConfoundPredictor: " << shape.firstConfoundPredictor << "\n\n";
  for (std::size_t p = 0; p < shape.names.size(); ++p) out << "255 " << p << " 0\n";
  for (const std::string& name : shape.names) out << '"' << name << "\" ";
  out << "\n";
  for (std::size_t t = 0; t < rows; ++t) {
    for (const auto& column : shape.columns) out << column[t] << ' ';
    out << "\n";
  }
  return out.str();
}

// An SdmFile with the shape's header, names and values, as the checks see a read SDM (colours
// left out: no check looks at them).
inline SdmFile sdmOf(const SdmShape& shape, std::string path = "D:/study/run.sdm") {
  SdmFile sdm;
  sdm.fileVersion = 1;
  sdm.path = std::move(path);
  sdm.nrOfPredictors = static_cast<std::int32_t>(shape.names.size());
  sdm.nrOfDataPoints =
      shape.columns.empty() ? 0 : static_cast<std::int32_t>(shape.columns.front().size());
  sdm.includesConstant = 1;
  sdm.firstConfoundPredictor = shape.firstConfoundPredictor;
  sdm.predictorNames = shape.names;
  sdm.values = shape.columns;
  return sdm;
}

struct StudyPaths {
  std::string functional;
  std::string sdm;
};

// An MDM as the writer lays it out (CR LF line ends), listing `studies` in order.
inline std::string mdmText(const std::vector<StudyPaths>& studies,
                           const std::string& type = "VTC") {
  std::string text = "\r\nFileVersion:          3\r\nTypeOfFunctionalData: " + type +
                     "\r\n\r\nRFX-GLM:              0\r\nPSCTransformation:    0\r\n"
                     "zTransformation:      1\r\nSeparatePredictors:   0\r\n\r\n"
                     "NrOfStudies:          " +
                     std::to_string(studies.size()) + "\r\n";
  for (const StudyPaths& study : studies) {
    text += "\"" + study.functional + "\" \"" + study.sdm + "\"\r\n";
  }
  return text;
}

}  // namespace kelvora::testing
