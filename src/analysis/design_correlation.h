// The correlations of a design's predictors and the variance inflation factor (VIF) of its
// predictors of interest: one implementation, which the design warnings (design_warnings.h), the
// report's heatmap and VIF list, and Python's check_design all take, so that each number is the
// same wherever it is shown.
//
// Method. From the cross-products of the centred columns C (cross_products.h, made on shifted
// values, so that an offset costs no digits): r_ij = C_ij / sqrt(C_ii C_jj), Pearson's r. A column
// of one value throughout (C_jj = 0 exactly) or with a value that is not finite has no
// correlation (NaN). VIF_j = 1 / (1 - R_j^2), R_j^2 being the share of predictor j's variance that
// the other predictors with a variance explain in a regression with an intercept; that is
// VIF_j = (R^-1)_jj for the correlation matrix R of those predictors. A Cholesky factorisation of
// R that pivots on the largest remaining variance gives it: a column whose remaining length is at
// most kRankTolerance (the rank check's tolerance, on the centred columns) is dependent, and so is
// every column with a weight above kInvolvedWeight in such a combination: their VIF is infinite.
// The VIF of every other column is unchanged by leaving the dependent ones out, since they lie in
// the span of the columns that remain. A VIF above 10 is the usual line of a predictor whose
// estimate is inflated by the others. With an intercept, a predictor that is another plus an
// offset is a dependency here, even where the rank check of a design without a constant column
// finds none.
//
// The heatmap of a design of more than kMostHeatmapCells predictors shows per cell the mean r of
// the block of predictor pairs it stands for, computed from the values of the centred columns.
//
// Cost, for n rows and p columns: the correlations and VIF need a design within
// withinCorrelationBudget (otherwise neither is given: inflationSkipped), and then take
// O(p^3) time and 2 p^2 doubles beyond the cross-products; a heatmap of block means O(n p + n s^2)
// time and n s doubles for s = kMostHeatmapCells cells a side, for a design of any size.
#pragma once

#include <cstdint>
#include <eigen3/Eigen/Dense>
#include <string>
#include <vector>

#include "designmatrix/sdm_file.h"

namespace kelvora::analysis {

struct CrossProducts;  // cross_products.h

inline constexpr double kHighVarianceInflation = 10.0;
// The most heatmap cells a side: a design with more predictors shows, per cell, the mean
// correlation of the block of predictor pairs it stands for.
inline constexpr std::int64_t kMostHeatmapCells = 128;

// True when a design of `rows` x `columns` has its correlations, VIF and contrasts: at least as
// many rows as columns (any real run), and within withinRankCheckBudget (design_rank.h).
bool withinCorrelationBudget(std::int64_t rows, std::int64_t columns);

struct DesignCorrelation {
  std::int64_t columns = 0;
  // Cells a side: min(columns, kMostHeatmapCells), or 0 when there are no more columns than cells
  // and the design is outside withinCorrelationBudget.
  std::int64_t side = 0;
  // side x side, row by row: r_ij, or with fewer cells than columns the mean r over the block of
  // pairs; NaN where no column of the block has a variance.
  std::vector<double> r;
  // Per predictor of interest: its VIF; infinity for a combination of the others, NaN for a
  // predictor without variance. Empty when inflationSkipped.
  std::vector<double> varianceInflation;
  bool inflationSkipped = false;  // the design is outside withinCorrelationBudget
};

// The correlation matrix (p x p) of the columns whose cross-products are `products`; `varies`
// tells which columns have a variance (their rows and columns of the matrix; the others hold 0).
Eigen::MatrixXd correlationsOf(const CrossProducts& products, std::vector<bool>& varies);

// The VIF of the first `interest` columns, from correlationsOf's matrix and `varies`.
std::vector<double> varianceInflationOf(const Eigen::MatrixXd& r, const std::vector<bool>& varies,
                                        std::int64_t interest);

// The correlations of all columns of `sdm` and the VIF of its first `interest` columns; `products`,
// when given, are the cross-products of `sdm` (otherwise they are made here when within the
// budget). Never throws except std::bad_alloc.
DesignCorrelation correlateDesign(const SdmFile& sdm, std::int64_t interest,
                                  const CrossProducts* products = nullptr);

}  // namespace kelvora::analysis
