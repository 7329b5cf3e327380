#include "analysis/contrast_information.h"

#include <algorithm>
#include <cmath>

#include "analysis/column_scales.h"
#include "analysis/cross_products.h"
#include "analysis/design_rank.h"
#include "inspection/sdm_predictors.h"

namespace kelvora::analysis {
namespace {

constexpr double kNullEigenvalue = kRankTolerance * kRankTolerance;
// 1 / kProvenCondition^2 is a hundred times kNullEigenvalue.
constexpr double kProvenCondition = 1e3;
static_assert(1.0 / (kProvenCondition * kProvenCondition) > 10.0 * kNullEigenvalue);

// L^-1 for the Cholesky factor L of `matrix` (symmetric), when it proves every eigenvalue of
// `matrix` above twice kNullEigenvalue: the smallest is at least 1 / |L^-1|^2 (Frobenius norm).
// The pseudo-inverse that drops the null eigenvalues then is the inverse, (L^-1)' L^-1, and no
// eigenvector is needed; nullopt sends the caller to the eigen-decomposition. O(p^3 / 3).
std::optional<Eigen::MatrixXd> provenInverseFactor(const Eigen::MatrixXd& matrix) {
  const Eigen::LLT<Eigen::MatrixXd> cholesky(matrix);
  if (cholesky.info() != Eigen::Success) return std::nullopt;
  Eigen::MatrixXd inverse = Eigen::MatrixXd::Identity(matrix.rows(), matrix.cols());
  cholesky.matrixL().solveInPlace(inverse);
  if (!(inverse.squaredNorm() * 2.0 * kNullEigenvalue < 1.0)) return std::nullopt;
  return inverse;
}

// The first column named `name`, or -1.
Eigen::Index firstColumnNamed(const SdmFile& sdm, Eigen::Index columns, const std::string& name) {
  const auto named = std::min(columns, static_cast<Eigen::Index>(nameCountOf(sdm)));
  for (Eigen::Index j = 0; j < named; ++j) {
    if (predictorNameAt(sdm, j) == name) return j;
  }
  return -1;
}

}  // namespace

Eigen::MatrixXd ContrastInformation::unit() const {
  const Eigen::Index size = lengths.size();
  Eigen::MatrixXd matrix(size, size);
  std::size_t at = 0;
  for (Eigen::Index c = 0; c < size; ++c) {
    for (Eigen::Index r = c; r < size; ++r) matrix(r, c) = matrix(c, r) = packed[at++];
  }
  return matrix;
}

Eigen::MatrixXd informationAfter(const Eigen::MatrixXd& kept, const Eigen::MatrixXd& across,
                                 const Eigen::MatrixXd& among, bool proven) {
  if (among.rows() == 0 || kept.rows() == 0) return kept;
  if (proven) {
    const Eigen::LLT<Eigen::MatrixXd> cholesky(among);
    if (cholesky.info() == Eigen::Success) {
      const Eigen::MatrixXd projected = cholesky.matrixL().solve(across);
      return kept - projected.transpose() * projected;
    }
  }
  if (const std::optional<Eigen::MatrixXd> factor = provenInverseFactor(among)) {
    const Eigen::MatrixXd projected = *factor * across;
    return kept - projected.transpose() * projected;
  }
  const Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> rest(among);
  const Eigen::VectorXd values = rest.eigenvalues();
  Eigen::VectorXd inverse = Eigen::VectorXd::Zero(values.size());
  for (Eigen::Index k = 0; k < values.size(); ++k) {
    if (values(k) > kNullEigenvalue) inverse(k) = 1.0 / values(k);
  }
  const Eigen::MatrixXd projected = rest.eigenvectors().transpose() * across;
  return kept - projected.transpose() * inverse.asDiagonal() * projected;
}

ContrastInformation contrastInformationOf(const CrossProducts& products, const SdmFile& sdm,
                                          const std::vector<std::string>& names,
                                          const RankCheck& rank) {
  ContrastInformation information;
  information.computed = true;
  const Eigen::Index columns = products.gram.cols();
  // Which columns count as zero throughout or not finite does not depend on the centring.
  const Eigen::VectorXd lengths = columnScalesOf(products).length;
  std::vector<Eigen::Index> named;  // per contrasted name: its column, -1 when left out
  named.reserve(names.size());
  for (const std::string& name : names) {
    const Eigen::Index column = firstColumnNamed(sdm, columns, name);
    named.push_back(column >= 0 && lengths(column) > 0.0 ? column : -1);
  }
  const Eigen::Index interestEnd =
      std::clamp<Eigen::Index>(Eigen::Index{sdm.firstConfoundPredictor} - 1, 0, columns);
  std::vector<Eigen::Index> kept;
  for (Eigen::Index j = 0; j < interestEnd; ++j) {
    if (lengths(j) > 0.0) kept.push_back(j);
  }
  std::vector<bool> isKept(static_cast<std::size_t>(columns), false);
  information.interestKept = kept.size() <= kMostKeptInterest;
  if (information.interestKept) {
    information.interest = static_cast<std::int32_t>(kept.size());
    for (const Eigen::Index j : kept) isKept[static_cast<std::size_t>(j)] = true;
    std::vector<Eigen::Index> confounds;
    for (const Eigen::Index j : named) {
      if (j >= 0 && !isKept[static_cast<std::size_t>(j)]) confounds.push_back(j);
    }
    std::sort(confounds.begin(), confounds.end());
    confounds.erase(std::unique(confounds.begin(), confounds.end()), confounds.end());
    kept.insert(kept.end(), confounds.begin(), confounds.end());
  } else {
    kept.clear();
    for (const Eigen::Index j : named) {
      if (j >= 0 && !isKept[static_cast<std::size_t>(j)]) kept.push_back(j);
      if (j >= 0) isKept[static_cast<std::size_t>(j)] = true;
    }
  }
  for (const Eigen::Index j : kept) isKept[static_cast<std::size_t>(j)] = true;
  std::vector<Eigen::Index> others;
  for (Eigen::Index j = 0; j < columns; ++j) {
    if (lengths(j) > 0.0 && !isKept[static_cast<std::size_t>(j)]) others.push_back(j);
  }
  information.columns.assign(kept.begin(), kept.end());
  for (const Eigen::Index j : named) {
    const auto found = std::find(kept.begin(), kept.end(), j);
    information.place.push_back(j < 0 ? -1 : static_cast<std::int32_t>(found - kept.begin()));
  }
  // The columns as the rank check takes them (column_scales.h), except that a constant column
  // the information keeps is not the centre of the others. Only then does the rank check's
  // condition number prove the others' matrix well conditioned.
  std::vector<bool> standing(isKept);
  standing.flip();
  const ColumnScales scales = columnScalesOf(products, &standing);
  const bool keepsAConstant = std::any_of(kept.begin(), kept.end(), [&](Eigen::Index j) {
    return scales.constant[static_cast<std::size_t>(j)];
  });
  information.lengths = scales.length(kept);
  const bool proven = !keepsAConstant && rank.fullRank() && rank.conditionNumber >= 1.0 &&
                      rank.conditionNumber < kProvenCondition;
  const Eigen::MatrixXd unit = informationAfter(
      scaledGram(products, scales, kept, kept), scaledGram(products, scales, others, kept),
      scaledGram(products, scales, others, others), proven);
  information.packed.reserve(kept.size() * (kept.size() + 1) / 2);
  for (Eigen::Index c = 0; c < unit.cols(); ++c) {
    for (Eigen::Index r = c; r < unit.rows(); ++r) information.packed.push_back(unit(r, c));
  }
  return information;
}

InformationSolver::InformationSolver(const Eigen::MatrixXd& unit)
    : inverseFactor(unit.rows() == 0 ? std::nullopt : provenInverseFactor(unit)) {
  if (inverseFactor || unit.rows() == 0) return;
  const Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> solved(unit);
  eigenvalues = solved.eigenvalues();
  eigenvectors = solved.eigenvectors();
}

std::optional<double> InformationSolver::variance(const Eigen::VectorXd& weights) const {
  const double size = weights.norm();
  if (weights.size() == 0 || !(size > 0.0)) return std::nullopt;
  if (inverseFactor) return (*inverseFactor * weights).squaredNorm();
  const Eigen::VectorXd along = eigenvectors.transpose() * weights;
  double nullShare = 0.0;
  double variance = 0.0;
  for (Eigen::Index k = 0; k < along.size(); ++k) {
    if (eigenvalues(k) > kNullEigenvalue) {
      variance += along(k) * along(k) / eigenvalues(k);
    } else {
      nullShare += along(k) * along(k);
    }
  }
  if (std::sqrt(nullShare) > kEstimableShare * size) return std::nullopt;
  return variance;
}

}  // namespace kelvora::analysis
