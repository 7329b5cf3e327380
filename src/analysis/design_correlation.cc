#include "analysis/design_correlation.h"

#include <algorithm>
#include <cmath>
#include <eigen3/Eigen/Dense>
#include <limits>

#include "analysis/design_rank.h"

namespace kelvora::analysis {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

// The centred, unit-length columns that vary, and which SDM column each is.
Eigen::MatrixXd standardized(const SdmFile& sdm, std::vector<std::int64_t>& original) {
  const auto columns = static_cast<std::int64_t>(sdm.values.size());
  const auto points = static_cast<Eigen::Index>(std::max(sdm.nrOfDataPoints, 0));
  Eigen::MatrixXd x(points, columns);
  Eigen::Index kept = 0;
  for (std::int64_t j = 0; j < columns; ++j) {
    const std::vector<float>& values = sdm.values[static_cast<std::size_t>(j)];
    if (static_cast<Eigen::Index>(values.size()) != points) continue;
    Eigen::VectorXd column(points);
    for (Eigen::Index t = 0; t < points; ++t) column(t) = values[static_cast<std::size_t>(t)];
    if (!column.allFinite()) continue;
    column.array() -= column.mean();
    const double norm = column.norm();
    if (!(norm > 0.0) || !std::isfinite(norm)) continue;
    x.col(kept++) = column / norm;
    original.push_back(j);
  }
  x.conservativeResize(points, kept);
  return x;
}

// Cell c of `side` stands for columns [c * columns / side, (c + 1) * columns / side).
std::int64_t cellOf(std::int64_t column, std::int64_t columns, std::int64_t side) {
  return column * side / columns;
}

// The mean correlation of each block of pairs: the mean of the block's columns against each other
// block's mean, which with one column a cell is r itself.
void fillHeatmap(const Eigen::MatrixXd& x, const std::vector<std::int64_t>& original,
                 DesignCorrelation& result) {
  const std::int64_t side = result.side;
  Eigen::MatrixXd means = Eigen::MatrixXd::Zero(x.rows(), side);
  std::vector<double> count(static_cast<std::size_t>(side), 0.0);
  for (std::size_t k = 0; k < original.size(); ++k) {
    const std::int64_t cell = cellOf(original[k], result.columns, side);
    means.col(cell) += x.col(static_cast<Eigen::Index>(k));
    ++count[static_cast<std::size_t>(cell)];
  }
  for (std::int64_t c = 0; c < side; ++c) {
    if (count[static_cast<std::size_t>(c)] > 0) means.col(c) /= count[static_cast<std::size_t>(c)];
  }
  const Eigen::MatrixXd r = means.transpose() * means;
  result.r.assign(static_cast<std::size_t>(side * side), kNaN);
  for (std::int64_t a = 0; a < side; ++a) {
    for (std::int64_t b = 0; b < side; ++b) {
      if (count[static_cast<std::size_t>(a)] > 0 && count[static_cast<std::size_t>(b)] > 0) {
        result.r[static_cast<std::size_t>(a * side + b)] = std::clamp(r(a, b), -1.0, 1.0);
      }
    }
  }
}

// VIF_j = (R^-1)_jj for the scaled columns `x`, in their order; see the header for the method.
std::vector<double> inflationOf(const Eigen::MatrixXd& x) {
  const Eigen::Index count = x.cols();
  std::vector<double> inflation(static_cast<std::size_t>(count), kInfinity);
  if (count == 0) return inflation;
  Eigen::ColPivHouseholderQR<Eigen::MatrixXd> qr(x);
  qr.setThreshold(kRankTolerance);
  const Eigen::Index rank = qr.rank();
  const auto& permutation = qr.colsPermutation().indices();
  if (rank == 0) return inflation;
  const auto r11 = qr.matrixR().topLeftCorner(rank, rank).triangularView<Eigen::Upper>();
  std::vector<bool> involved(static_cast<std::size_t>(rank), false);
  if (rank < count) {
    const Eigen::MatrixXd weights = r11.solve(qr.matrixR().block(0, rank, rank, count - rank));
    for (Eigen::Index k = 0; k < rank; ++k) {
      involved[static_cast<std::size_t>(k)] =
          weights.row(k).cwiseAbs().maxCoeff() > kInvolvedWeight;
    }
  }
  const Eigen::MatrixXd inverse = r11.solve(Eigen::MatrixXd::Identity(rank, rank));
  for (Eigen::Index k = 0; k < rank; ++k) {
    if (!involved[static_cast<std::size_t>(k)]) {
      inflation[static_cast<std::size_t>(permutation[k])] = inverse.row(k).squaredNorm();
    }
  }
  return inflation;
}

}  // namespace

DesignCorrelation correlateDesign(const SdmFile& sdm, std::int64_t interest) {
  DesignCorrelation result;
  result.columns = static_cast<std::int64_t>(sdm.values.size());
  result.side = std::min(result.columns, kMostHeatmapCells);
  std::vector<std::int64_t> original;
  const Eigen::MatrixXd x = standardized(sdm, original);
  if (result.side > 0) fillHeatmap(x, original, result);

  const std::int64_t counted = std::clamp<std::int64_t>(interest, 0, result.columns);
  if (!withinRankCheckBudget(x.rows(), result.columns)) {
    result.inflationSkipped = true;
    return result;
  }
  const std::vector<double> inflation = inflationOf(x);
  std::vector<double> byColumn(static_cast<std::size_t>(result.columns), kNaN);
  for (std::size_t k = 0; k < original.size(); ++k) {
    byColumn[static_cast<std::size_t>(original[k])] = inflation[k];
  }
  result.varianceInflation.assign(byColumn.begin(), byColumn.begin() + counted);
  return result;
}

}  // namespace kelvora::analysis
