// Small verbs shared by the tests of the checks: SDMs in memory and the texts of a report.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "inspection/run_messages.h"
#include "inspection/sdm_predictors.h"
#include "support/study_files.h"

namespace kelvora::testing {

// An SDM at D:/study/<file> with `names`, of which the first `interest` are of interest, each
// column holding `dataPoints` non-zero values except those listed in `zero`.
inline SdmFile sdm(const std::string& file, std::vector<std::string> names, std::int32_t interest,
                   std::vector<std::size_t> zero = {}, std::size_t dataPoints = 3) {
  SdmShape shape;
  shape.columns = filledColumns(names.size(), dataPoints, std::move(zero));
  shape.names = std::move(names);
  shape.firstConfoundPredictor = interest + 1;
  return sdmOf(shape, "D:/study/" + file);
}

// The SDMs as a run keeps them, for the checks. Their paths view copies that the test program keeps
// to its end.
inline std::vector<CondensedSdm> kept(const std::vector<SdmFile>& sdms) {
  static std::deque<std::string> paths;
  static NameListTable names;
  static ZeroColumnTable zeros;
  std::vector<CondensedSdm> condensed;
  for (const SdmFile& sdm : sdms) {
    condensed.push_back(condense(sdm, names, zeros));
    condensed.back().path = paths.emplace_back(sdm.path);
  }
  return condensed;
}

inline std::vector<std::string> textsOf(const Report& report) {
  std::vector<std::string> texts;
  for (const ReportLine& line : report) texts.push_back(line.text);
  return texts;
}

}  // namespace kelvora::testing
