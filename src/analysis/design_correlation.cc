#include "analysis/design_correlation.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <optional>
#include <utility>

#include "analysis/cross_products.h"
#include "analysis/design_rank.h"

namespace kelvora::analysis {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

std::size_t shortestColumn(const SdmFile& sdm) {
  std::size_t rows = sdm.values.empty() ? 0 : sdm.values.front().size();
  for (const std::vector<float>& column : sdm.values) rows = std::min(rows, column.size());
  return rows;
}

// Cell c of `side` stands for columns [c * columns / side, (c + 1) * columns / side).
std::int64_t cellOf(std::int64_t column, std::int64_t columns, std::int64_t side) {
  return column * side / columns;
}

// The mean correlation of each block of pairs, for a design of more columns than cells: the mean
// of the block's centred unit-length columns against each other block's mean.
void fillBlockHeatmap(const SdmFile& sdm, DesignCorrelation& result) {
  const std::int64_t side = result.side;
  const auto rows = static_cast<Eigen::Index>(shortestColumn(sdm));
  Eigen::MatrixXd means = Eigen::MatrixXd::Zero(rows, side);
  std::vector<double> count(static_cast<std::size_t>(side), 0.0);
  Eigen::VectorXd column(rows);
  for (std::int64_t j = 0; j < result.columns && rows > 0; ++j) {
    const std::vector<float>& values = sdm.values[static_cast<std::size_t>(j)];
    for (Eigen::Index t = 0; t < rows; ++t) column(t) = values[static_cast<std::size_t>(t)];
    if (!column.allFinite()) continue;
    column.array() -= column.mean();
    const double norm = column.norm();
    if (!(norm > 0.0) || !std::isfinite(norm)) continue;
    const std::int64_t cell = cellOf(j, result.columns, side);
    means.col(cell) += column / norm;
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

// The heatmap of a design of at most kMostHeatmapCells columns: r itself.
void fillHeatmap(const Eigen::MatrixXd& r, const std::vector<bool>& varies,
                 DesignCorrelation& result) {
  const std::int64_t side = result.side;
  result.r.assign(static_cast<std::size_t>(side * side), kNaN);
  for (std::int64_t a = 0; a < side; ++a) {
    for (std::int64_t b = 0; b < side; ++b) {
      if (varies[static_cast<std::size_t>(a)] && varies[static_cast<std::size_t>(b)]) {
        result.r[static_cast<std::size_t>(a * side + b)] = r(a, b);
      }
    }
  }
}

// The VIF of each column of the correlation matrix `r` (unit diagonal, in the columns' order): see
// the header for the method. O(k^3) for k columns.
std::vector<double> inflationOf(Eigen::MatrixXd r) {
  const Eigen::Index count = r.cols();
  std::vector<double> inflation(static_cast<std::size_t>(count), kInfinity);
  std::vector<Eigen::Index> order(static_cast<std::size_t>(count));
  std::iota(order.begin(), order.end(), Eigen::Index{0});
  // Pivoted Cholesky in place: after step s, column s below the diagonal holds L's column s and
  // the trailing block the variances and covariances that remain.
  Eigen::Index rank = 0;
  for (; rank < count; ++rank) {
    Eigen::Index best = rank;
    for (Eigen::Index i = rank + 1; i < count; ++i) {
      if (r(i, i) > r(best, best)) best = i;
    }
    if (!(r(best, best) > kRankTolerance * kRankTolerance)) break;
    r.row(rank).swap(r.row(best));
    r.col(rank).swap(r.col(best));
    std::swap(order[static_cast<std::size_t>(rank)], order[static_cast<std::size_t>(best)]);
    const double pivot = std::sqrt(r(rank, rank));
    r(rank, rank) = pivot;
    const Eigen::Index rest = count - rank - 1;
    r.col(rank).tail(rest) /= pivot;
    r.bottomRightCorner(rest, rest).noalias() -=
        r.col(rank).tail(rest) * r.col(rank).tail(rest).transpose();
  }
  if (rank == 0) return inflation;
  const Eigen::MatrixXd lower = r.topLeftCorner(rank, rank).triangularView<Eigen::Lower>();
  // The weights of each dependent column on the independent ones: R11^-1 R12 = L11^-T L21^T.
  std::vector<bool> involved(static_cast<std::size_t>(rank), false);
  if (rank < count) {
    const Eigen::MatrixXd weights = lower.transpose().triangularView<Eigen::Upper>().solve(
        r.bottomLeftCorner(count - rank, rank).transpose());
    for (Eigen::Index k = 0; k < rank; ++k) {
      involved[static_cast<std::size_t>(k)] =
          weights.row(k).cwiseAbs().maxCoeff() > kInvolvedWeight;
    }
  }
  // (R11^-1)_kk = |column k of L11^-1|^2.
  const Eigen::MatrixXd inverse =
      lower.triangularView<Eigen::Lower>().solve(Eigen::MatrixXd::Identity(rank, rank));
  for (Eigen::Index k = 0; k < rank; ++k) {
    if (!involved[static_cast<std::size_t>(k)]) {
      inflation[static_cast<std::size_t>(order[static_cast<std::size_t>(k)])] =
          std::max(inverse.col(k).squaredNorm(), 1.0);
    }
  }
  return inflation;
}

}  // namespace

bool withinCorrelationBudget(std::int64_t rows, std::int64_t columns) {
  return columns <= rows && withinRankCheckBudget(rows, columns);
}

Eigen::MatrixXd correlationsOf(const CrossProducts& products, std::vector<bool>& varies) {
  const Eigen::Index columns = products.centred.cols();
  varies.assign(static_cast<std::size_t>(columns), false);
  Eigen::VectorXd scale = Eigen::VectorXd::Zero(columns);
  for (Eigen::Index j = 0; j < columns; ++j) {
    const double spread = products.centred(j, j);
    if (products.usable[static_cast<std::size_t>(j)] && spread > 0.0) {
      varies[static_cast<std::size_t>(j)] = true;
      scale(j) = 1.0 / std::sqrt(spread);
    }
  }
  Eigen::MatrixXd r = scale.asDiagonal() * products.centred * scale.asDiagonal();
  r = r.cwiseMax(-1.0).cwiseMin(1.0);
  for (Eigen::Index j = 0; j < columns; ++j) {
    if (varies[static_cast<std::size_t>(j)]) r(j, j) = 1.0;
  }
  return r;
}

std::vector<double> varianceInflationOf(const Eigen::MatrixXd& r, const std::vector<bool>& varies,
                                        std::int64_t interest) {
  std::vector<Eigen::Index> kept;
  for (std::size_t j = 0; j < varies.size(); ++j) {
    if (varies[j]) kept.push_back(static_cast<Eigen::Index>(j));
  }
  const std::vector<double> inflation = inflationOf(r(kept, kept));
  const auto counted = static_cast<std::size_t>(std::clamp<std::int64_t>(interest, 0, r.cols()));
  std::vector<double> byColumn(counted, kNaN);
  for (std::size_t k = 0; k < kept.size() && static_cast<std::size_t>(kept[k]) < counted; ++k) {
    byColumn[static_cast<std::size_t>(kept[k])] = inflation[k];
  }
  return byColumn;
}

DesignCorrelation correlateDesign(const SdmFile& sdm, std::int64_t interest,
                                  const CrossProducts* products) {
  DesignCorrelation result;
  result.columns = static_cast<std::int64_t>(sdm.values.size());
  const auto rows = static_cast<std::int64_t>(shortestColumn(sdm));
  const bool within = withinCorrelationBudget(rows, result.columns);
  result.inflationSkipped = !within;
  if (result.columns > kMostHeatmapCells) {
    result.side = kMostHeatmapCells;
    fillBlockHeatmap(sdm, result);
  }
  if (!within) return result;
  std::optional<CrossProducts> made;
  if (!products) products = &made.emplace(crossProductsOf(sdm));
  std::vector<bool> varies;
  const Eigen::MatrixXd r = correlationsOf(*products, varies);
  if (result.columns <= kMostHeatmapCells) {
    result.side = result.columns;
    fillHeatmap(r, varies, result);
  }
  result.varianceInflation = varianceInflationOf(r, varies, interest);
  return result;
}

}  // namespace kelvora::analysis
