#include "analysis/contrast_information.h"

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

}  // namespace

ContrastInformation contrastInformationOf(const CrossProducts& products, const SdmFile& sdm,
                                          const std::vector<std::string>& names,
                                          const RankCheck& rank) {
  ContrastInformation information;
  information.computed = true;
  const Eigen::Index columns = products.gram.cols();
  Eigen::VectorXd lengths = Eigen::VectorXd::Zero(columns);
  for (Eigen::Index j = 0; j < columns; ++j) {
    if (products.usable[static_cast<std::size_t>(j)]) lengths(j) = std::sqrt(products.gram(j, j));
  }
  std::vector<bool> contrasted(static_cast<std::size_t>(columns), false);
  std::vector<Eigen::Index> inside;
  information.place.reserve(names.size());
  const auto nameCount = static_cast<Eigen::Index>(nameCountOf(sdm));
  for (const std::string& name : names) {
    std::int32_t place = -1;
    for (Eigen::Index j = 0; j < std::min(columns, nameCount); ++j) {
      if (predictorNameAt(sdm, j) != name) continue;
      if (lengths(j) > 0.0 && !contrasted[static_cast<std::size_t>(j)]) {
        place = static_cast<std::int32_t>(inside.size());
        inside.push_back(j);
        contrasted[static_cast<std::size_t>(j)] = true;
      }
      break;
    }
    information.place.push_back(place);
  }
  std::vector<Eigen::Index> others;
  for (Eigen::Index j = 0; j < columns; ++j) {
    if (lengths(j) > 0.0 && !contrasted[static_cast<std::size_t>(j)]) others.push_back(j);
  }
  // The columns as the rank check takes them (column_scales.h); a constant column contrasted is
  // not the centre of the others.
  std::vector<bool> standing = contrasted;
  standing.flip();
  const ColumnScales scales = columnScalesOf(products, &standing);
  const auto scaled = [&](const std::vector<Eigen::Index>& rows,
                          const std::vector<Eigen::Index>& cols) {
    return scaledGram(products, scales, rows, cols);
  };
  information.lengths = scales.length(inside);
  information.unit = scaled(inside, inside);
  if (!others.empty() && !inside.empty()) {
    const Eigen::MatrixXd among = scaled(others, others);
    const Eigen::MatrixXd across = scaled(others, inside);
    if (rank.fullRank() && rank.conditionNumber >= 1.0 && rank.conditionNumber < kProvenCondition) {
      const Eigen::LLT<Eigen::MatrixXd> cholesky(among);
      if (cholesky.info() == Eigen::Success) {
        const Eigen::MatrixXd projected = cholesky.matrixL().solve(across);
        information.unit -= projected.transpose() * projected;
        return information;
      }
    }
    if (const std::optional<Eigen::MatrixXd> factor = provenInverseFactor(among)) {
      const Eigen::MatrixXd projected = *factor * across;
      information.unit -= projected.transpose() * projected;
      return information;
    }
    const Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> rest(among);
    const Eigen::VectorXd values = rest.eigenvalues();
    Eigen::VectorXd inverse = Eigen::VectorXd::Zero(values.size());
    for (Eigen::Index k = 0; k < values.size(); ++k) {
      if (values(k) > kNullEigenvalue) inverse(k) = 1.0 / values(k);
    }
    const Eigen::MatrixXd projected = rest.eigenvectors().transpose() * across;
    information.unit -= projected.transpose() * inverse.asDiagonal() * projected;
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
