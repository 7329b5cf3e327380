// What the contrasts need of one SDM, kept once its values are gone: the information matrix of the
// contrasted predictors after the run's other columns (the Schur complement of the others in X'X),
// K x K for the K contrasted predictors the SDM holds with a column that is not zero. Made on the
// reading thread from the SDM's cross-products (cross_products.h), only when contrasts are asked.
//
// Method. Every column is taken and scaled to unit length as the rank check takes it
// (column_scales.h: centred beside a constant column that is not contrasted). For
// the contrasted columns A and the others B of the scaled design, M = A'A - A'B (B'B)^+ B'A, the
// pseudo-inverse dropping eigenvalues of B'B at most kRankTolerance^2 (the rank check's distance,
// squared as the cross-products are). A contrast c (0 on the others) can be estimated exactly when
// c lies in the range of M: when the share of c in M's null space (eigenvalues at most
// kRankTolerance^2) is at most kEstimableShare of c. Then c (X'X)^- c' = c' M^+ c.
//   On the design as written, the weights c of the betas as written become c_j / |x_j| on the
//   scaled betas; on the unit-scaled design, c is taken as it stands.
// Where a Cholesky factor proves a matrix's eigenvalues all above that distance (as in any design
// of full rank), its pseudo-inverse is its inverse, taken from the factor without eigenvectors.
// Cost, for p columns: O(p^3) time (a third of it with the Cholesky factor), p^2 doubles while
// made; K^2 + 2K numbers kept per SDM content.
#pragma once

#include <cstdint>
#include <eigen3/Eigen/Dense>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "designmatrix/sdm_file.h"

namespace kelvora::analysis {

struct CrossProducts;  // cross_products.h

// A contrast whose share in the null space is at most this (the cosine of its angle with it) can
// be estimated: the rank check's kInvolvedWeight, the weight below which a predictor takes no part
// in a dependency, so that what the rank check calls dependent and estimability agree.
inline constexpr double kEstimableShare = 1e-3;

struct ContrastInformation {
  bool computed = false;  // false: the SDM was not read, or is beyond the rank check's budget
  // Per contrasted name (contrastedNames order): its place in `unit`, or -1 when the SDM has no
  // column of that name, or only one that is zero throughout or not finite.
  std::vector<std::int32_t> place;
  Eigen::VectorXd lengths;  // per place: the length the column is scaled by (column_scales.h)
  Eigen::MatrixXd unit;     // M of the unit-scaled design, by place
};

// The information an SDM listed again with the same content shares with its first listing: one
// matrix of up to 64 x 64 doubles per content, whatever the number of listings. Null: none made.
using SharedContrastInformation = std::shared_ptr<const ContrastInformation>;

// The information of `names` in the SDM whose cross-products are `products` and whose rank check
// is `rank`; a name the SDM holds twice is its first column. A check that found full rank with a
// condition number below 1,000 proves every eigenvalue of the scaled X'X at least 1e-6 (the
// largest is at least 1), and so of B'B; the Cholesky factor of B'B then serves without a proof of
// its own. Never throws except std::bad_alloc.
struct RankCheck;  // design_rank.h
ContrastInformation contrastInformationOf(const CrossProducts& products, const SdmFile& sdm,
                                          const std::vector<std::string>& names,
                                          const RankCheck& rank);

// c' M^+ c for one unit-scaled information matrix M and any number of weights c (on the scaled
// betas): M is factored once (O(K^3)), each c then costs O(K^2). A subject or an SDM is asked
// every contrast of a call, so each factors its matrix once for all of them.
class InformationSolver {
 public:
  explicit InformationSolver(const Eigen::MatrixXd& unit);
  // nullopt when c does not lie in M's range as above, or M is empty or c zero.
  std::optional<double> variance(const Eigen::VectorXd& weights) const;

 private:
  // Where the Cholesky factor proves M's eigenvalues above the null line: L^-1, c' M^-1 c being
  // |L^-1 c|^2. Otherwise M's eigen-decomposition.
  std::optional<Eigen::MatrixXd> inverseFactor;
  Eigen::VectorXd eigenvalues;
  Eigen::MatrixXd eigenvectors;
};

}  // namespace kelvora::analysis
