// How the study diagnostics look at the predictors of SDM summaries: the name of any predictor
// number, and how many predictors of interest a check examines. Both are bounded by the columns the
// summaries hold, never by what a header announces: FirstConfoundPredictor may say 2147483647 in a
// file of two columns.
//
// The run's checks bound themselves the same way (predictor_checks.h, zero_checks.h): the name
// check compares no predictor at or beyond the most names any SDM holds, the zero-across-runs
// check examines none at or beyond the most columns any SDM holds. The diagnostics stop at the
// same place, so what they find beside the run agrees with the run's own findings. The interest
// count the files state is still what a text reports and what counts are compared by.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/sdm_summary.h"
#include "designmatrix/sdm_file.h"

namespace kelvora::analysis {

// Name `index` (0-based) of a list of names, kUnreadPredictorName beyond it (or below 0), as a
// view that lives as long as the list.
template <typename NameList>
std::string_view nameAt(const NameList& names, std::int64_t index) {
  if (index < 0 || static_cast<std::uint64_t>(index) >= names.size()) return kUnreadPredictorName;
  return std::string_view(names[static_cast<std::size_t>(index)]);
}

// The columns `sdm` holds (one name and one zero flag each).
std::int64_t columnsOf(const SdmSummary& sdm);

// The most columns any of `sdms` holds; a null entry (an SDM left out) holds none.
std::int64_t mostColumnsOf(const std::vector<const SdmSummary*>& sdms);

// The predictors of interest a check over `sdms` examines when the prevailing interest count is n:
// n clamped to 0 .. mostColumnsOf(sdms). Beyond it every SDM is named "NoName" and all zeros.
std::int64_t examinedInterestCount(std::int64_t n, const std::vector<const SdmSummary*>& sdms);

// The prevailing name of each column 0 to columns - 1 among `sdms` (none null), as the run's name
// check finds it. Each distinct list of names is looked at once, weighed by the SDMs that share
// it: O(lists x columns), however often a study lists one SDM.
std::vector<std::string> prevailingNamesOf(const std::vector<const SdmSummary*>& sdms,
                                           std::int64_t columns);

}  // namespace kelvora::analysis
