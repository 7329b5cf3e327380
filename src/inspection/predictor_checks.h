// The count and name checks of the predictors of interest across the SDMs of a run, as data.
// Agreement is tested against the first SDM; the deviations are listed against the prevailing
// value, so the first SDM is listed when it is the one that differs. Neither check stops early.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "inspection/sdm_predictors.h"

namespace kelvora {

struct CountCheck {
  std::int64_t n = 0;  // the first SDM's number of predictors of interest
  bool agree = true;
  // Only on disagreement: the prevailing count and the studies (0-based, in study order) whose
  // count differs from it.
  std::int64_t prevailing = 0;
  std::vector<std::size_t> deviatingStudies;
};

// `sdms` must not be empty.
CountCheck checkPredictorCounts(const std::vector<CondensedSdm>& sdms);

struct NameMismatch {
  std::int64_t predictor = 0;  // 0-based
  std::string prevailing;
  std::vector<std::size_t> deviatingStudies;  // 0-based, in study order; never empty
};

struct NameCheck {
  bool agree = true;
  std::vector<NameMismatch> mismatches;  // by increasing predictor
};

// Compares the names of predictors 0 to n - 1 as bytes (case and blanks count). Nothing is
// compared when n is 0 or below, nor at or beyond the largest number of names any SDM holds: there
// every SDM would answer "NoName". `sdms` must not be empty.
NameCheck checkPredictorNames(const std::vector<CondensedSdm>& sdms, std::int64_t n);

}  // namespace kelvora
