// What a design review looks at beside an SDM's picture: the correlation of every pair of its
// predictors, drawn as a small heatmap, and the variance inflation factor (VIF) of each predictor
// of interest. Computed from one SDM while its values are at hand; only the report shows them.
//
// Method. Each column is centred; r_ij is the cosine of the centred columns i and j (Pearson's r).
// A column without variance (all zero, a constant) or with a value that is not finite has no
// correlation (NaN). VIF_j = 1 / (1 - R_j^2), R_j^2 being the share of predictor j's variance that
// the other predictors with a variance explain in a regression with an intercept (from their
// correlation matrix, by a column-pivoted QR, so that dependent predictors do not fail it).
// A VIF above 10 is the usual line of a predictor whose estimate is inflated by the others.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "designmatrix/sdm_file.h"

namespace kelvora::report {

inline constexpr double kHighVarianceInflation = 10.0;

struct DesignCorrelation {
  std::int64_t columns = 0;
  std::vector<double> r;  // columns x columns, row by row; NaN where a column has no variance
  // Per predictor of interest: its VIF; infinity for a combination of the others, NaN for a
  // predictor without variance.
  std::vector<double> varianceInflation;
};

// The correlations of all columns of `sdm` and the VIF of its first `interest` columns. Never
// throws except std::bad_alloc.
DesignCorrelation correlateDesign(const SdmFile& sdm, std::int64_t interest);

// The heatmap as an RGB PNG, one pixel per pair: blue for -1, white for 0, red for +1, grey where
// there is no correlation. Empty when there is no column.
std::string heatmapPng(const DesignCorrelation& correlation);

}  // namespace kelvora::report
