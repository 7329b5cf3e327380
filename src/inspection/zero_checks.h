// The all-zero checks of a run whose SDMs agree in their predictors of interest, as data:
// predictors of interest that are zero in every run of a subject, and confound predictors that are
// zero throughout a run. They only report; nothing here ends a run. Each lists the first `most`
// of its findings: the run asks for one more than it may keep, and so learns that there are more.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "inspection/sdm_predictors.h"
#include "inspection/subjects.h"

namespace kelvora {

struct ZeroAcrossRuns {
  std::size_t subject = 0;     // index into the groups handed in
  std::int64_t predictor = 0;  // 0-based
};

// For each subject in the order of `groups`, each predictor j from 0 to n - 1 that is all-zero in
// every one of the subject's runs, by increasing j. A run without column j counts as all-zero in
// it. Predictors at or beyond the largest number of columns any SDM holds are not examined (they
// would be zero everywhere), nor is anything when n is 0 or below. Runs of a subject that share
// their zero columns are looked at once.
std::vector<ZeroAcrossRuns> findZeroAcrossRuns(
    const std::vector<CondensedSdm>& sdms, const std::vector<SubjectGroup>& groups, std::int64_t n,
    std::size_t most = std::numeric_limits<std::size_t>::max());

struct ZeroConfound {
  std::size_t study = 0;       // 0-based
  std::int64_t predictor = 0;  // 0-based column of that study's SDM
};

// For each study in order, each column from max(n, 0) to the last the SDM holds that is all-zero,
// by increasing column. Each SDM is examined up to its own number of predictors.
std::vector<ZeroConfound> findZeroConfounds(
    const std::vector<CondensedSdm>& sdms, std::int64_t n,
    std::size_t most = std::numeric_limits<std::size_t>::max());

}  // namespace kelvora
