// The benchmark's study: an MDM and its SDMs, written into a folder, the same bytes on every run.
// Each SDM has the layout of the files a group study produces: CR LF line ends, a colour triple
// and a quoted name per predictor, and one row of values per data point with six decimals.
// Predictors of interest are block responses (0.000000 between blocks, never negative); the
// confounds are motion estimates drifting around zero (negative half of the time), one wider
// signal that needs more than 24 bits of significand, and the constant. Some columns are all zero:
// a condition absent from one run, a condition absent from all runs of some subjects, and a
// motion estimate that is zero throughout in some runs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kelvora::bench {

struct StudyShape {
  int sdms = 400;
  int dataPoints = 1200;
  int predictors = 36;
  int runsPerSubject = 4;
  std::uint64_t seed = 20261207;
};

struct GeneratedStudy {
  std::string mdmPath;
  std::vector<std::string> sdmPaths;
  std::uint64_t sdmBytes = 0;          // all SDM files together
  std::uint64_t valueCount = 0;        // all values of all SDMs
  std::uint64_t largestSdmValues = 0;  // nrOfPredictors x nrOfDataPoints of the largest SDM
  // The contrasts an analysis of the study asks, as kelvora's --contrast takes them: up to five
  // differences of two conditions, each condition in one of them.
  std::vector<std::string> contrasts;
};

// Writes the study into `folder` (which must exist), the SDMs on every core. Throws
// std::runtime_error when a file cannot be written.
GeneratedStudy generateStudy(const std::string& folder, const StudyShape& shape);

}  // namespace kelvora::bench
