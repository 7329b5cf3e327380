// The cross-products of one SDM's design, X'X (p x p), and its column sums: all that the design
// warnings (design_warnings.h) and the contrasts (contrast_information.h) need of the values. Made
// once per SDM on the thread that read it, while its values are at hand, and dropped with them.
//
// The sums are taken in a fixed order (cross_product_lanes.h): the same bits on every processor.
//
// Cost, for n rows and p columns: O(n p^2) time; p^2 + p doubles, and a block of rows in doubles
// (64 KiB, or 64 rows of a design wider than 128 columns). The callers make it only within
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
};

// The cross-products of every column of `sdm` over its first `rows` values. Never throws except
// std::bad_alloc.
CrossProducts crossProductsOf(const SdmFile& sdm);

}  // namespace kelvora::analysis
