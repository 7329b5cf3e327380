// What a design review looks at beside an SDM's picture: the correlation of every pair of its
// predictors, drawn as a small heatmap, and the variance inflation factor (VIF) of each predictor
// of interest. Computed from one SDM while its values are at hand; only the report shows them.
//
// Method. Each column is centred and scaled to unit length; r_ij is the cosine of the centred
// columns i and j (Pearson's r). A column without variance (all zero, a constant) or with a value
// that is not finite has no correlation (NaN). VIF_j = 1 / (1 - R_j^2), R_j^2 being the share of
// predictor j's variance that the other predictors with a variance explain in a regression with
// an intercept; that is VIF_j = (R^-1)_jj for the correlation matrix R of those predictors. One
// column-pivoted QR of the scaled columns X (R = X'X) gives it: the independent columns X_I =
// Q R11, so (R_II^-1)_jj is the squared length of row j of R11^-1. A column within kRankTolerance
// of the others' span (the rank check's own tolerance) is dependent, and so is every column with
// a weight above kInvolvedWeight in such a combination: their VIF is infinite. The VIF of every
// other column is unchanged by leaving the dependent ones out, since they lie in the span of the
// columns that remain. A VIF above 10 is the usual line of a predictor whose estimate is inflated
// by the others.
//
// Cost, for n rows (data points) and p columns: the heatmap O(n p + n s^2) time and n s doubles
// for s = min(p, kMostHeatmapCells) cells a side; the VIF O(n p min(n, p) + min(n, p)^3) time and
// n p + p^2 doubles, computed only within withinRankCheckBudget (design_rank.h), otherwise left
// out (inflationSkipped).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "designmatrix/sdm_file.h"

namespace kelvora::analysis {

inline constexpr double kHighVarianceInflation = 10.0;
// The most heatmap cells a side: a design with more predictors shows, per cell, the mean
// correlation of the block of predictor pairs it stands for.
inline constexpr std::int64_t kMostHeatmapCells = 128;

struct DesignCorrelation {
  std::int64_t columns = 0;
  std::int64_t side = 0;  // cells a side: min(columns, kMostHeatmapCells)
  // side x side, row by row: r_ij, or with fewer cells than columns the mean r over the block of
  // pairs; NaN where no column of the block has a variance.
  std::vector<double> r;
  // Per predictor of interest: its VIF; infinity for a combination of the others, NaN for a
  // predictor without variance. Empty when inflationSkipped.
  std::vector<double> varianceInflation;
  bool inflationSkipped = false;  // the design is outside withinRankCheckBudget
};

// The correlations of all columns of `sdm` and the VIF of its first `interest` columns. Never
// throws except std::bad_alloc.
DesignCorrelation correlateDesign(const SdmFile& sdm, std::int64_t interest);

}  // namespace kelvora::analysis
