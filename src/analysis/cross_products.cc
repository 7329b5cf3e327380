#include "analysis/cross_products.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "analysis/cross_product_lanes.h"

namespace kelvora::analysis {
namespace {

// A block of rows in doubles takes at most this many (64 KiB, within a core's fast caches) unless
// a design is so wide that kMinimumBlockRows rows take more.
constexpr std::size_t kBlockDoubles = std::size_t{1} << 13;
constexpr std::size_t kMinimumBlockRows = 64;

std::size_t roundedUp(std::size_t count, std::size_t multiple) {
  return (count + multiple - 1) / multiple * multiple;
}

// The first of `values` when each of them minus it is exact as a float (all within a factor of
// two of it, same sign: Sterbenz's lemma), so that the shifted values multiply exactly in a
// double as the kernel requires; 0 otherwise.
float shiftOf(const float* values, std::size_t count) {
  const float first = values[0];
  if (!std::isfinite(first) || first == 0.0f) return 0.0f;
  const float low = first > 0.0f ? first * 0.5f : first * 2.0f;
  const float high = first > 0.0f ? first * 2.0f : first * 0.5f;
  for (std::size_t t = 0; t < count; ++t) {
    if (!(values[t] >= low && values[t] <= high)) return 0.0f;
  }
  return first;
}

}  // namespace

CrossProducts crossProductsOf(const SdmFile& sdm) {
  CrossProducts products;
  const std::size_t columns = sdm.values.size();
  std::size_t rows = sdm.values.empty() ? 0 : sdm.values.front().size();
  for (const std::vector<float>& column : sdm.values) rows = std::min(rows, column.size());
  products.rows = static_cast<std::int64_t>(rows);
  const auto order = static_cast<Eigen::Index>(columns);
  products.gram = Eigen::MatrixXd::Zero(order, order);
  products.sums = Eigen::VectorXd::Zero(order);
  products.usable.assign(columns, true);
  products.shift = Eigen::VectorXd::Zero(order);
  products.centred = Eigen::MatrixXd::Zero(order, order);
  if (rows == 0 || columns == 0) return products;
  for (std::size_t j = 0; j < columns; ++j) {
    products.shift(static_cast<Eigen::Index>(j)) = shiftOf(sdm.values[j].data(), rows);
  }

  const std::size_t paddedColumns = roundedUp(columns, kColumnTile);
  const std::size_t blockRows =
      std::min(roundedUp(rows, kLanes),
               std::max(kMinimumBlockRows, kBlockDoubles / paddedColumns / kLanes * kLanes));
  // Every double of a block is written before the kernel reads it: no need to clear it first.
  const std::unique_ptr<double[]> buffer(new double[paddedColumns * blockRows]);
  for (std::size_t first = 0; first < rows; first += blockRows) {
    const std::size_t count = std::min(blockRows, rows - first);
    const RowBlock block{buffer.get(), roundedUp(count, kLanes), paddedColumns, columns};
    for (std::size_t j = 0; j < columns; ++j) {
      double* column = buffer.get() + j * block.rows;
      widen(sdm.values[j].data() + first, count, column);
      const double shift = products.shift(static_cast<Eigen::Index>(j));
      if (shift != 0.0) {
        for (std::size_t t = 0; t < count; ++t) column[t] -= shift;
      }
      std::fill(column + count, column + block.rows, 0.0);
    }
    std::fill(buffer.get() + columns * block.rows, buffer.get() + paddedColumns * block.rows, 0.0);
    addCrossProducts(block, products.gram.data(), columns, products.sums.data());
  }
  // The kernel summed the shifted values: `gram` and `sums` hold them until here. A value that
  // is not finite makes its column's sum of squares so (a finite float squared stays far below
  // double's range); such a column counts as zero throughout, as if cleared before.
  for (std::size_t j = 0; j < columns; ++j) {
    const auto at = static_cast<Eigen::Index>(j);
    if (std::isfinite(products.gram(at, at))) continue;
    products.usable[j] = false;
    products.gram.row(at).setZero();
    products.gram.col(at).setZero();
    products.sums(at) = 0.0;
    products.shift(at) = 0.0;
  }
  products.gram.triangularView<Eigen::StrictlyUpper>() = products.gram.transpose();
  // With D and d the shifted products and sums and c the shifts: centred = D - d d' / n and
  // X'X = D + c d' + d c' + n c c', element by element in this order on every processor.
  const double n = static_cast<double>(rows);
  const Eigen::VectorXd& c = products.shift;
  const Eigen::VectorXd d = products.sums;
  for (Eigen::Index b = 0; b < order; ++b) {
    for (Eigen::Index a = 0; a < order; ++a) {
      const double shifted = products.gram(a, b);
      products.centred(a, b) = shifted - d(a) * d(b) / n;
      if (c(a) != 0.0 || c(b) != 0.0) {
        products.gram(a, b) = ((shifted + c(a) * d(b)) + d(a) * c(b)) + n * c(a) * c(b);
      }
    }
  }
  products.sums = d + n * c;
  return products;
}

}  // namespace kelvora::analysis
