// The singular values of the triangular factor R of a scaled design's independent columns, and
// the right singular vectors of the smallest ones, as the rank check needs them: the condition
// number, and the predictors that form each near-dependency.
//
// Method. The squares of the singular values are the eigenvalues of the Gram matrix R'R, and the
// right singular vectors its eigenvectors. The Gram matrix is reduced to a tridiagonal one (Eigen's
// Tridiagonalization), whose eigenvalues come cheaply; only the few vectors asked for are found,
// by inverse iteration on the tridiagonal matrix, and carried back. On 1,500 columns this takes
// a third of the time of a singular value decomposition that computes every vector. Squaring
// costs the small singular values some of their exact digits; each one asked for is therefore
// computed again from its vector v as |R v|, which is exact to rounding. Below about 1e-6 of the
// largest, too few digits are left to find the vectors by, so a factor that ill-conditioned is
// decomposed by a singular value decomposition (Eigen's BDCSVD) instead.
#pragma once

#include <eigen3/Eigen/Dense>
#include <vector>

namespace kelvora::analysis {

// A singular value sigma_k given by its condition index sigma_max / sigma_k, and its right
// singular vector (unit length, sign arbitrary).
struct SingularDirection {
  double conditionIndex = 0.0;
  Eigen::VectorXd vector;
};

struct SingularSpectrum {
  double conditionNumber = 1.0;  // sigma_max / sigma_min
  // Every direction whose condition index exceeds the line asked for, by increasing index.
  std::vector<SingularDirection> nearlyVanishing;
};

// The spectrum of the upper triangular `r` (square, at least 1 x 1, zero below its diagonal).
// `gram`, when given, is R'R to rounding (the matrix that `r` is the Cholesky factor of), which
// then is not formed again.
SingularSpectrum singularSpectrum(const Eigen::MatrixXd& r, double indexLine,
                                  const Eigen::MatrixXd* gram = nullptr);

}  // namespace kelvora::analysis
