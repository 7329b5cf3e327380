// The cross-products of one SDM's design, X'X (p x p), the cross-products of its mean-centred
// columns and its column sums: all that the rank check's shortcut, the design warnings
// (design_warnings.h), the correlations (design_correlation.h) and the contrasts
// (contrast_information.h) need of the values. Made once per SDM on the thread that read it, while
// its values are at hand, and dropped with them.
//
// Each column is taken less a shift: its first value when every value lies within a factor of two
// of it (same sign), so that each difference is exact as a float (Sterbenz), and 0 otherwise (the
// values then spread over at least half their size, and nothing is lost by not shifting). The
// centred cross-products come from the shifted sums in one pass, with no cancellation between
// large raw sums: a column 1000 + 1e-5 s keeps every digit of its variance. A column of one
// value throughout has centred cross-products exactly 0.
//
// The sums are taken in a fixed order (cross_product_lanes.h): the same bits on every processor.
//
// Cost, for n rows and p columns: O(n p^2) time; 2 p^2 + 3 p doubles, and a block of rows in
// doubles (64 KiB, or 64 rows of a design wider than 128 columns). The callers make it only within
// withinRankCheckBudget (design_rank.h), which bounds both.
#pragma once

#include <cstdint>
#include <eigen3/Eigen/Dense>
#include <vector>

#include "designmatrix/sdm_file.h"

namespace kelvora::analysis {

struct CrossProducts {
  std::int64_t rows = 0;     // the shortest column's length: the rows every column has
  Eigen::MatrixXd gram;      // X'X of the columns as written; a column not finite has 0 throughout
  Eigen::VectorXd sums;      // per column
  std::vector<bool> usable;  // per column: every value finite
  Eigen::VectorXd shift;     // per column: the value subtracted before the products (see above)
  // (X - 1 m')'(X - 1 m') for the column means m: the cross-products of the centred columns.
  Eigen::MatrixXd centred;
};

// The cross-products of every column of `sdm` over its first `rows` values. Never throws except
// std::bad_alloc.
CrossProducts crossProductsOf(const SdmFile& sdm);

}  // namespace kelvora::analysis
