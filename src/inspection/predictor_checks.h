// The count and name checks of the predictors of interest across the SDMs of a run, as data.
// Agreement is tested against the first SDM; the deviations are listed against the prevailing
// value, so the first SDM is listed when it is the one that differs. Neither check stops early,
// except at the number of deviations its caller can still report (`most`): the run asks for one
// more than it may keep, and so learns that there are more.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "inspection/sdm_predictors.h"

namespace kelvora {

inline constexpr std::size_t kEveryDeviation = std::numeric_limits<std::size_t>::max();

struct CountCheck {
  std::int64_t n = 0;  // the first SDM's number of predictors of interest
  bool agree = true;
  // Only on disagreement: the prevailing count and the studies (0-based, in study order) whose
  // count differs from it, the first `most` of them.
  std::int64_t prevailing = 0;
  std::vector<std::size_t> deviatingStudies;
};

// `sdms` must not be empty.
CountCheck checkPredictorCounts(const std::vector<CondensedSdm>& sdms,
                                std::size_t most = kEveryDeviation);

struct NameMismatch {
  std::int64_t predictor = 0;  // 0-based
  std::string prevailing;
  std::vector<std::size_t> deviatingStudies;  // 0-based, in study order; never empty
};

struct NameCheck {
  bool agree = true;
  // By increasing predictor, up to the one whose deviations make `most` in all (cut there).
  std::vector<NameMismatch> mismatches;
};

// Compares the names of predictors 0 to n - 1 as bytes (case and blanks count). Nothing is
// compared when n is 0 or below, nor at or beyond the largest number of names any SDM holds: there
// every SDM would answer "NoName". Each distinct list of names is compared once, whatever the
// number of SDMs that share it, so a study whose SDMs share one list costs one pass over them.
// `sdms` must not be empty, `most` positive.
NameCheck checkPredictorNames(const std::vector<CondensedSdm>& sdms, std::int64_t n,
                              std::size_t most = kEveryDeviation);

}  // namespace kelvora
