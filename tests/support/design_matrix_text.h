// Compact, exact renderings of read design matrices, so that a test can state a whole expected
// record in one line: "v1 p2 d1 c0 f2 | 1,2,3 0,0,0 | 'A' 'B' | 1.5 -0".
#pragma once

#include <charconv>
#include <string>

#include "designmatrix/mdm_file.h"
#include "designmatrix/sdm_file.h"

namespace kelvora::testing {

// The shortest text that reads back as the same float ("-0" keeps its sign).
inline std::string floatText(float value) {
  char text[32];
  return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

inline std::string crLfLines(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return out;
}

// "v<version> p<predictors> d<data points> c<constant> f<first confound>[ too large]", then the
// colour triples, the quoted names, and one comma-separated column per predictor.
inline std::string describe(const SdmFile& sdm) {
  if (sdm.unreadable()) return "unreadable";
  std::string out =
      "v" + std::to_string(sdm.fileVersion) + " p" + std::to_string(sdm.nrOfPredictors) + " d" +
      std::to_string(sdm.nrOfDataPoints) + " c" + std::to_string(sdm.includesConstant) + " f" +
      std::to_string(sdm.firstConfoundPredictor) + (sdm.tooLargeToRead ? " too large" : "") + " |";
  for (std::size_t p = 0; p < sdm.colorRed.size(); ++p) {
    out += " " + std::to_string(sdm.colorRed[p]) + "," + std::to_string(sdm.colorGreen[p]) + "," +
           std::to_string(sdm.colorBlue[p]);
  }
  out += " |";
  for (const std::string& name : sdm.predictorNames) out += " '" + name + "'";
  out += " |";
  for (const auto& column : sdm.values) {
    out += " ";
    for (std::size_t t = 0; t < column.size(); ++t) out += (t ? "," : "") + floatText(column[t]);
  }
  return out;
}

// "v<version> <type> r<rfx> p<psc> z<z> s<separate> n<studies>", then "| 'f' 's'" per study, with
// the extra path first in an "MTC" design ("-" where a study has none).
inline std::string describe(const MdmFile& mdm) {
  if (mdm.unreadable()) return "unreadable";
  std::string out = "v" + std::to_string(mdm.fileVersion) + " " + mdm.typeOfFunctionalData + " r" +
                    std::to_string(mdm.rfxGlm) + " p" + std::to_string(mdm.pscTransformation) +
                    " z" + std::to_string(mdm.zTransformation) + " s" +
                    std::to_string(mdm.separatePredictors) + " n" + std::to_string(mdm.nrOfStudies);
  for (std::size_t i = 0; i < mdm.sdmPaths.size(); ++i) {
    out += " |";
    if (i < mdm.extraPaths.size())
      out += mdm.extraPaths[i] ? " '" + *mdm.extraPaths[i] + "'" : " -";
    out += " '" + std::string(mdm.functionalPaths[i]) + "' '" + std::string(mdm.sdmPaths[i]) + "'";
  }
  if (mdm.extraPaths.size() != mdm.sdmPaths.size() && !mdm.extraPaths.empty()) out += " misaligned";
  return out;
}

}  // namespace kelvora::testing
