// How the numbers of a design take its columns: the rank check and condition number
// (design_rank.h) and the contrasts' information (contrast_information.h) scale each column to
// unit length, so that a predictor's units do not matter; this unit says to which length, after
// what.
//
// When a column holds one value, not zero, in every row (the constant), the design spans the
// constant's direction, and every other column is taken after it: less its mean, then scaled by
// the length of what remains. An offset then is the constant's part of a predictor, not a
// dependency: 1000 + 0.05 s beside the constant is as estimable as 0.05 s. The constant columns
// keep their values and lengths. A design without a constant column is taken as written, each
// column scaled by its own length: there, an offset is part of the predictor. The columns so taken
// span what the columns as written span, so the rank is the design's, and a contrast that does not
// weigh a constant column has the same variance (its betas differ only in the constant's).
//
// Cost: O(p) from the cross-products, scaledGram O(size of the block asked).
#pragma once

#include <cstdint>
#include <eigen3/Eigen/Dense>
#include <vector>

namespace kelvora::analysis {

struct CrossProducts;  // cross_products.h

struct ColumnScales {
  // A constant column may stand for the constant: the other columns are centred.
  bool spansConstant = false;
  std::vector<bool> constant;  // per column: finite, one value throughout, not zero
  // The first constant column that may stand for the constant, or -1.
  Eigen::Index standingConstant = -1;
  Eigen::VectorXd centre;  // per column: the value subtracted (its mean when centred, else 0)
  // Per column: the length of the column less `centre`; 0 for a column zero throughout or with a
  // value that is not finite, which the numbers leave out.
  Eigen::VectorXd length;
  // Per column: the weight that the standing constant, scaled to unit length, takes in the design
  // as written for a unit weight on the column as taken: (x - centre) / length =
  // x / length - offset * (constant / its length). 0 unless centred.
  Eigen::VectorXd offset;
};

// The scales of the design whose cross-products are `products`. `standing`, when given, tells
// per column whether it may stand for the constant (a contrast that weighs the constant column
// must not have it taken as the others' centre); by default every constant column may. Never
// throws except std::bad_alloc.
ColumnScales columnScalesOf(const CrossProducts& products,
                            const std::vector<bool>* standing = nullptr);

// The cross-products of the columns as taken, scaled to unit length, for `rows` x `columns` of
// them (indices into the design): the centred cross-products of two centred columns, 0 between a
// centred column and a constant one, X'X otherwise; 0 for a column of length 0.
Eigen::MatrixXd scaledGram(const CrossProducts& products, const ColumnScales& scales,
                           const std::vector<Eigen::Index>& rows,
                           const std::vector<Eigen::Index>& columns);

}  // namespace kelvora::analysis
