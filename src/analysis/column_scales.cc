#include "analysis/column_scales.h"

#include <algorithm>
#include <cmath>

#include "analysis/cross_products.h"

namespace kelvora::analysis {

ColumnScales columnScalesOf(const CrossProducts& products, const std::vector<bool>* standing) {
  ColumnScales scales;
  const Eigen::Index columns = products.gram.cols();
  const auto count = static_cast<std::size_t>(columns);
  scales.constant.assign(count, false);
  scales.centre = Eigen::VectorXd::Zero(columns);
  scales.length = Eigen::VectorXd::Zero(columns);
  scales.offset = Eigen::VectorXd::Zero(columns);
  // The centred cross-products of a column of one value are exactly 0 (cross_products.h).
  for (Eigen::Index j = 0; j < columns; ++j) {
    const auto at = static_cast<std::size_t>(j);
    scales.constant[at] =
        products.usable[at] && products.gram(j, j) > 0.0 && products.centred(j, j) == 0.0;
    if (scales.constant[at] && scales.standingConstant < 0 && (!standing || (*standing)[at])) {
      scales.standingConstant = j;
    }
  }
  scales.spansConstant = scales.standingConstant >= 0;
  const double rows = static_cast<double>(products.rows);
  for (Eigen::Index j = 0; j < columns; ++j) {
    const auto at = static_cast<std::size_t>(j);
    if (!products.usable[at]) continue;
    if (!scales.spansConstant || scales.constant[at]) {
      scales.length(j) = std::sqrt(products.gram(j, j));
      continue;
    }
    scales.centre(j) = products.sums(j) / rows;
    scales.length(j) = std::sqrt(std::max(products.centred(j, j), 0.0));
  }
  if (scales.spansConstant) {
    // The constant's unit column is 1 * value / length, so 1 = its unit column * length / value.
    const Eigen::Index k = scales.standingConstant;
    const double perOne = scales.length(k) / (products.sums(k) / rows);
    for (Eigen::Index j = 0; j < columns; ++j) {
      if (scales.length(j) > 0.0) scales.offset(j) = scales.centre(j) / scales.length(j) * perOne;
    }
  }
  return scales;
}

Eigen::MatrixXd scaledGram(const CrossProducts& products, const ColumnScales& scales,
                           const std::vector<Eigen::Index>& rows,
                           const std::vector<Eigen::Index>& columns) {
  Eigen::MatrixXd part(static_cast<Eigen::Index>(rows.size()),
                       static_cast<Eigen::Index>(columns.size()));
  for (Eigen::Index b = 0; b < part.cols(); ++b) {
    const Eigen::Index j = columns[static_cast<std::size_t>(b)];
    const bool constantJ = scales.constant[static_cast<std::size_t>(j)];
    for (Eigen::Index a = 0; a < part.rows(); ++a) {
      const Eigen::Index i = rows[static_cast<std::size_t>(a)];
      const double lengths = scales.length(i) * scales.length(j);
      double value = 0.0;
      if (lengths > 0.0) {
        if (!scales.spansConstant) {
          value = products.gram(i, j);
        } else if (scales.constant[static_cast<std::size_t>(i)] && constantJ) {
          value = products.gram(i, j);
        } else if (!scales.constant[static_cast<std::size_t>(i)] && !constantJ) {
          value = products.centred(i, j);
        }
        value /= lengths;
      }
      part(a, b) = value;
    }
  }
  return part;
}

}  // namespace kelvora::analysis
