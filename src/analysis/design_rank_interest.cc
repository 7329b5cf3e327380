#include "analysis/design_rank_interest.h"

#include <cmath>
#include <eigen3/Eigen/Dense>
#include <limits>

#include "analysis/column_scales.h"
#include "analysis/design_rank.h"

namespace kelvora::analysis {
namespace {

// W such that W'W = G_IC G_CC^+ G_CI, for the confound block `confounds` and `across` = G_CI.
Eigen::MatrixXd explainedFactor(const Eigen::MatrixXd& confounds, const Eigen::MatrixXd& across) {
  const Eigen::LLT<Eigen::MatrixXd> cholesky(confounds);
  if (cholesky.info() == Eigen::Success &&
      cholesky.matrixLLT().diagonal().minCoeff() > kRankTolerance) {
    return cholesky.matrixL().solve(across);
  }
  const Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> eigen(confounds);
  Eigen::MatrixXd factor = eigen.eigenvectors().transpose() * across;
  for (Eigen::Index k = 0; k < factor.rows(); ++k) {
    const double value = eigen.eigenvalues()(k);
    factor.row(k) *= value > kRankTolerance * kRankTolerance ? 1.0 / std::sqrt(value) : 0.0;
  }
  return factor;
}

}  // namespace

double interestConditionNumber(const CrossProducts& products, const ColumnScales& scales,
                               const std::vector<std::int64_t>& examined, std::int64_t interest) {
  std::vector<Eigen::Index> ofInterest;
  std::vector<Eigen::Index> confounds;
  for (const std::int64_t column : examined) {
    (column < interest ? ofInterest : confounds).push_back(column);
  }
  if (ofInterest.empty()) return 0.0;
  Eigen::MatrixXd remains = scaledGram(products, scales, ofInterest, ofInterest);
  if (!confounds.empty()) {
    const Eigen::MatrixXd factor =
        explainedFactor(scaledGram(products, scales, confounds, confounds),
                        scaledGram(products, scales, confounds, ofInterest));
    remains.noalias() -= factor.transpose() * factor;
  }
  const Eigen::VectorXd values =
      Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd>(remains, Eigen::EigenvaluesOnly).eigenvalues();
  // A vanishing remain: its squared length, at most kRankTolerance^2, is rounding.
  if (!(values(0) > kRankTolerance * kRankTolerance)) {
    return std::numeric_limits<double>::infinity();
  }
  return std::sqrt(values(values.size() - 1) / values(0));
}

}  // namespace kelvora::analysis
