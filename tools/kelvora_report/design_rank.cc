#include "design_rank.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <eigen3/Eigen/Dense>

#include "inspection/sdm_predictors.h"

namespace kelvora::report {
namespace {

bool allFinite(const std::vector<float>& column) {
  return std::all_of(column.begin(), column.end(), [](float v) { return std::isfinite(v); });
}

// The exact dependencies among `scaled` (columns `original` of the SDM) and the independent ones.
std::vector<std::int64_t> addExactDependencies(const Eigen::MatrixXd& scaled,
                                               const std::vector<std::int64_t>& original,
                                               RankCheck& check) {
  Eigen::ColPivHouseholderQR<Eigen::MatrixXd> qr(scaled);
  qr.setThreshold(kRankTolerance);
  const Eigen::Index rank = qr.rank();
  const Eigen::Index count = scaled.cols();
  const auto& permutation = qr.colsPermutation().indices();

  std::vector<std::int64_t> independent;
  for (Eigen::Index k = 0; k < rank; ++k) independent.push_back(original[permutation[k]]);

  if (rank < count) {
    const Eigen::MatrixXd r11 = qr.matrixR().topLeftCorner(rank, rank);
    const Eigen::MatrixXd r12 = qr.matrixR().block(0, rank, rank, count - rank);
    const Eigen::MatrixXd weights =
        rank > 0 ? Eigen::MatrixXd(r11.triangularView<Eigen::Upper>().solve(r12))
                 : Eigen::MatrixXd(0, count - rank);
    for (Eigen::Index d = 0; d < count - rank; ++d) {
      Dependency dependency;
      dependency.dependent = original[permutation[rank + d]];
      dependency.predictors.push_back(dependency.dependent);
      for (Eigen::Index k = 0; k < rank; ++k) {
        if (std::abs(weights(k, d)) > kInvolvedWeight) {
          dependency.predictors.push_back(original[permutation[k]]);
        }
      }
      std::sort(dependency.predictors.begin(), dependency.predictors.end());
      check.dependencies.push_back(std::move(dependency));
    }
  }
  std::sort(independent.begin(), independent.end());
  return independent;
}

void addNearDependencies(const Eigen::MatrixXd& scaled, const std::vector<std::int64_t>& original,
                         RankCheck& check) {
  if (scaled.cols() == 0) return;
  Eigen::JacobiSVD<Eigen::MatrixXd> svd(scaled, Eigen::ComputeThinV);
  const Eigen::VectorXd& sigma = svd.singularValues();  // decreasing
  const double largest = sigma(0);
  check.conditionNumber = largest / sigma(sigma.size() - 1);
  for (Eigen::Index k = 1; k < sigma.size(); ++k) {
    const double index = largest / sigma(k);
    if (!(index > kNearDependencyCondition)) continue;
    Dependency dependency;
    dependency.kind = DependencyKind::kNearDependent;
    dependency.conditionIndex = index;
    for (Eigen::Index j = 0; j < scaled.cols(); ++j) {
      if (std::abs(svd.matrixV()(j, k)) >= kNearWeight)
        dependency.predictors.push_back(original[j]);
    }
    check.dependencies.push_back(std::move(dependency));
  }
}

}  // namespace

RankCheck checkRank(const SdmFile& sdm) {
  RankCheck check;
  const std::int64_t columns = columnCountOf(sdm);
  const std::size_t rows =
      sdm.values.empty()
          ? 0
          : std::min_element(sdm.values.begin(), sdm.values.end(),
                             [](const auto& a, const auto& b) { return a.size() < b.size(); })
                ->size();

  std::vector<std::int64_t> examined;
  for (std::int64_t j = 0; j < columns; ++j) {
    if (isAllZeroColumn(sdm, j)) {
      check.dependencies.push_back({DependencyKind::kRankDeficient, j, {j}, 0.0});
      ++check.columns;
    } else if (allFinite(sdm.values[static_cast<std::size_t>(j)])) {
      examined.push_back(j);
      ++check.columns;
    }
  }
  if (rows == 0 || examined.empty()) return check;

  Eigen::MatrixXd scaled(static_cast<Eigen::Index>(rows),
                         static_cast<Eigen::Index>(examined.size()));
  for (std::size_t c = 0; c < examined.size(); ++c) {
    const auto& column = sdm.values[static_cast<std::size_t>(examined[c])];
    for (std::size_t t = 0; t < rows; ++t) scaled(t, c) = column[t];
    const double norm = scaled.col(c).norm();
    if (norm > 0.0) scaled.col(c) /= norm;
  }

  const std::vector<std::int64_t> independent = addExactDependencies(scaled, examined, check);
  check.rank = static_cast<std::int64_t>(independent.size());
  std::stable_sort(
      check.dependencies.begin(), check.dependencies.end(),
      [](const Dependency& a, const Dependency& b) { return a.dependent < b.dependent; });

  Eigen::MatrixXd basis(scaled.rows(), static_cast<Eigen::Index>(independent.size()));
  for (std::size_t c = 0; c < independent.size(); ++c) {
    const auto at = std::find(examined.begin(), examined.end(), independent[c]) - examined.begin();
    basis.col(static_cast<Eigen::Index>(c)) = scaled.col(at);
  }
  addNearDependencies(basis, independent, check);
  return check;
}

}  // namespace kelvora::report
