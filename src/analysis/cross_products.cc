#include "analysis/cross_products.h"

#include <algorithm>
#include <cmath>

namespace kelvora::analysis {
namespace {

// Rows per block: a block of every column in doubles stays within a few hundred kilobytes.
constexpr Eigen::Index kBlockRows = 256;

}  // namespace

CrossProducts crossProductsOf(const SdmFile& sdm) {
  CrossProducts products;
  const auto columns = static_cast<Eigen::Index>(sdm.values.size());
  std::size_t rows = sdm.values.empty() ? 0 : sdm.values.front().size();
  for (const std::vector<float>& column : sdm.values) rows = std::min(rows, column.size());
  products.rows = static_cast<std::int64_t>(rows);
  products.gram = Eigen::MatrixXd::Zero(columns, columns);
  products.sums = Eigen::VectorXd::Zero(columns);
  products.usable.assign(static_cast<std::size_t>(columns), true);
  for (Eigen::Index j = 0; j < columns; ++j) {
    const std::vector<float>& values = sdm.values[static_cast<std::size_t>(j)];
    products.usable[static_cast<std::size_t>(j)] =
        std::all_of(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(rows),
                    [](float v) { return std::isfinite(v); });
  }
  Eigen::MatrixXd block(std::min<Eigen::Index>(kBlockRows, static_cast<Eigen::Index>(rows)),
                        columns);
  for (std::size_t first = 0; first < rows; first += static_cast<std::size_t>(block.rows())) {
    const auto count = static_cast<Eigen::Index>(
        std::min<std::size_t>(static_cast<std::size_t>(block.rows()), rows - first));
    for (Eigen::Index j = 0; j < columns; ++j) {
      const std::vector<float>& values = sdm.values[static_cast<std::size_t>(j)];
      const bool usable = products.usable[static_cast<std::size_t>(j)];
      for (Eigen::Index t = 0; t < count; ++t) {
        block(t, j) = usable ? values[first + static_cast<std::size_t>(t)] : 0.0;
      }
    }
    const auto part = block.topRows(count);
    products.gram.selfadjointView<Eigen::Lower>().rankUpdate(part.transpose());
    products.sums += part.colwise().sum().transpose();
  }
  products.gram.triangularView<Eigen::StrictlyUpper>() = products.gram.transpose();
  return products;
}

}  // namespace kelvora::analysis
