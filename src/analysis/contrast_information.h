// What the contrasts need of one SDM, kept once its values are gone: the information matrix of its
// predictors of interest after its confounds (the Schur complement of the confounds in X'X). The
// group model gives each condition one beta across a subject's runs and each run its own confounds,
// so a subject's information is its runs' matrices of ALL their predictors of interest added by
// name (contrast_subject.h), and no number of a contrast depends on which other contrasts are
// asked. Made on the reading thread from the SDM's cross-products (cross_products.h), only when
// contrasts are asked.
//
// Method. Every column is taken and scaled to unit length as the rank check takes it
// (column_scales.h: centred beside a constant column that is not kept). For
// the kept columns A and the others B of the scaled design, M = A'A - A'B (B'B)^+ B'A, the
// pseudo-inverse dropping eigenvalues of B'B at most kRankTolerance^2 (the rank check's distance,
// squared as the cross-products are). A contrast c (0 on the others) can be estimated exactly when
// c lies in the range of M: when the share of c in M's null space (eigenvalues at most
// kRankTolerance^2) is at most kEstimableShare of c. Then c (X'X)^- c' = c' M^+ c.
//   On the design as written, the weights c of the betas as written become c_j / |x_j| on the
//   scaled betas; on the unit-scaled design, c is taken as it stands.
// Where a Cholesky factor proves a matrix's eigenvalues all above that distance (as in any design
// of full rank), its pseudo-inverse is its inverse, taken from the factor without eigenvectors.
//
// Bound. An SDM with at most kMostKeptInterest predictors of interest (finite, not zero
// throughout) keeps them all, with the contrasted names that are confounds in it: at most
// (64 + 64)^2 / 2 doubles, P (P + 1) / 2 for P kept columns (78 for 12 conditions). One with more
// (hundreds of single-trial regressors) keeps only the K x K matrix of its K contrasted names
// after all its other columns: what its own estimates need; its subject's estimates are then not
// made. So a study of 1,000 runs of 200 predictors of interest keeps at most 64^2 / 2 doubles per
// SDM content, never P^2.
// Cost, for p columns: O(p^3) time (a third of it with the Cholesky factor), p^2 doubles while
// made.
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

// The most predictors of interest whose information an SDM keeps for its subject.
inline constexpr std::size_t kMostKeptInterest = 64;

struct ContrastInformation {
  bool computed = false;  // false: the SDM was not read, or is beyond the rank check's budget
  // True: `columns` begins with every predictor of interest that is finite and not zero
  // throughout (`interest` of them, in column order), and the information serves the subject.
  // False: more than kMostKeptInterest of them; `columns` holds the contrasted names' only.
  bool interestKept = false;
  std::int32_t interest = 0;
  // The SDM's columns that the information covers, by place: after the predictors of interest
  // kept, the contrasted names' columns that are not among them (confounds), in column order.
  std::vector<std::int32_t> columns;
  // Per contrasted name (contrastedNames order): its place, or -1 when the SDM has no column of
  // that name, or only one that is zero throughout or not finite. A name held twice: its first.
  std::vector<std::int32_t> place;
  Eigen::VectorXd lengths;  // per place: the length the column is scaled by (column_scales.h)
  std::vector<double>
      packed;  // M of the unit-scaled design, by place: its lower triangle by column

  // M, unpacked. O(places^2).
  Eigen::MatrixXd unit() const;
};

// The information an SDM listed again with the same content shares with its first listing: one
// matrix per content, whatever the number of listings. Null: none made.
using SharedContrastInformation = std::shared_ptr<const ContrastInformation>;

// The information of the SDM whose cross-products are `products`, for the contrasted `names`, and
// whose rank check is `rank`. A check that found full rank with a condition number below 1,000
// proves every eigenvalue of the scaled X'X at least 1e-6 (the largest is at least 1), and so of
// B'B; the Cholesky factor of B'B then serves without a proof of its own. Never throws except
// std::bad_alloc.
struct RankCheck;  // design_rank.h
ContrastInformation contrastInformationOf(const CrossProducts& products, const SdmFile& sdm,
                                          const std::vector<std::string>& names,
                                          const RankCheck& rank);

// M_kk - M_kd M_dd^+ M_dk of a unit-scaled information matrix: `kept` = M_kk, `across` = M_dk,
// `among` = M_dd (the pseudo-inverse as above). `proven`: M_dd is known to be of full rank with
// every eigenvalue above the null line, so that its Cholesky factor serves without a proof.
// O(d^3 + d^2 k).
Eigen::MatrixXd informationAfter(const Eigen::MatrixXd& kept, const Eigen::MatrixXd& across,
                                 const Eigen::MatrixXd& among, bool proven = false);

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
