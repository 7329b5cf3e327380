#include "analysis/singular_spectrum.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace kelvora::analysis {
namespace {

// Below this ratio of the smallest to the largest eigenvalue of the Gram matrix, its smallest
// eigenvalues carry too few exact digits (a condition number of 1e6 squared).
constexpr double kGramResolution = 1e-12;
// Inverse iteration from a shift that is an eigenvalue converges in one or two steps.
constexpr int kInverseIterations = 4;
// Squaring leaves the condition indices of interest exact to about 1e-4; candidates are taken
// from this far below the line and kept if their recomputed index passes it.
constexpr double kCandidateMargin = 1e-2;
// Eigenvalues closer than this, relative to the largest, count as one repeated eigenvalue.
constexpr double kEqualEigenvalues = 1e-10;

// (T - shift I) for the symmetric tridiagonal T, factored once by Gaussian elimination with
// partial pivoting (the band then holds up to two superdiagonals), and solved for many right
// sides. A zero pivot, expected when the shift is an eigenvalue, becomes `tiny`.
class ShiftedTridiagonal {
 public:
  ShiftedTridiagonal(const Eigen::VectorXd& diagonal, const Eigen::VectorXd& offDiagonal,
                     double shift, double tiny)
      : pivot(diagonal.array() - shift),
        upper(Eigen::VectorXd::Zero(diagonal.size())),
        upper2(Eigen::VectorXd::Zero(diagonal.size())),
        factor(Eigen::VectorXd::Zero(diagonal.size())),
        swapped(diagonal.size(), false),
        tiny(tiny) {
    const Eigen::Index n = pivot.size();
    for (Eigen::Index i = 0; i + 1 < n; ++i) upper(i) = offDiagonal(i);
    for (Eigen::Index i = 0; i + 1 < n; ++i) {
      const double below = offDiagonal(i);
      if (std::abs(pivot(i)) >= std::abs(below)) {
        if (pivot(i) == 0.0) pivot(i) = tiny;
        factor(i) = below / pivot(i);
        pivot(i + 1) -= factor(i) * upper(i);
      } else {
        swapped[static_cast<std::size_t>(i)] = true;
        factor(i) = pivot(i) / below;
        pivot(i) = below;
        const double next = pivot(i + 1);
        pivot(i + 1) = upper(i) - factor(i) * next;
        if (i + 2 < n) {
          upper2(i) = upper(i + 1);
          upper(i + 1) = -factor(i) * upper2(i);
        }
        upper(i) = next;
      }
    }
    if (pivot(n - 1) == 0.0) pivot(n - 1) = tiny;
  }

  Eigen::VectorXd solve(Eigen::VectorXd b) const {
    const Eigen::Index n = pivot.size();
    for (Eigen::Index i = 0; i + 1 < n; ++i) {
      if (swapped[static_cast<std::size_t>(i)]) {
        const double first = b(i);
        b(i) = b(i + 1);
        b(i + 1) = first - factor(i) * b(i + 1);
      } else {
        b(i + 1) -= factor(i) * b(i);
      }
    }
    for (Eigen::Index i = n - 1; i >= 0; --i) {
      double sum = b(i);
      if (i + 1 < n) sum -= upper(i) * b(i + 1);
      if (i + 2 < n) sum -= upper2(i) * b(i + 2);
      b(i) = sum / pivot(i);
    }
    return b;
  }

 private:
  Eigen::VectorXd pivot;
  Eigen::VectorXd upper;
  Eigen::VectorXd upper2;
  Eigen::VectorXd factor;
  std::vector<bool> swapped;
  double tiny;
};

// The eigenvector of the tridiagonal matrix for its eigenvalue `lambda`. Its neighbours are
// apart by far more than the rounding of the eigenvalues, so that inverse iteration finds each
// vector on its own; only against the vectors `found` of eigenvalues equal to it within rounding
// (which would give the same vector twice) is it kept orthogonal.
Eigen::VectorXd tridiagonalEigenvector(const Eigen::VectorXd& diagonal,
                                       const Eigen::VectorXd& offDiagonal, double lambda,
                                       double largest, const std::vector<Eigen::VectorXd>& found) {
  const ShiftedTridiagonal shifted(diagonal, offDiagonal, lambda,
                                   largest * std::numeric_limits<double>::epsilon());
  // A start that no eigenvector is orthogonal to in practice, the same on every machine.
  Eigen::VectorXd y(diagonal.size());
  for (Eigen::Index i = 0; i < y.size(); ++i) y(i) = 1.0 + 0.1 * static_cast<double>(i % 7);
  for (int step = 0; step < kInverseIterations; ++step) {
    y = shifted.solve(y);
    for (const Eigen::VectorXd& other : found) y -= other.dot(y) * other;
    y /= y.norm();
  }
  return y;
}

Eigen::MatrixXd gramOf(const Eigen::MatrixXd& r) {
  const Eigen::Index n = r.cols();
  Eigen::MatrixXd gram = Eigen::MatrixXd::Zero(n, n);
  gram.selfadjointView<Eigen::Lower>().rankUpdate(r.transpose());
  gram.triangularView<Eigen::StrictlyUpper>() = gram.transpose();
  return gram;
}

std::optional<SingularSpectrum> spectrumOfGram(const Eigen::MatrixXd& r, double indexLine,
                                               const Eigen::MatrixXd& gram) {
  const Eigen::Index n = r.cols();
  const Eigen::Tridiagonalization<Eigen::MatrixXd> reduced(gram);
  const Eigen::VectorXd diagonal = reduced.diagonal();
  const Eigen::VectorXd offDiagonal = reduced.subDiagonal();
  Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> solver;
  solver.computeFromTridiagonal(diagonal, offDiagonal, Eigen::EigenvaluesOnly);
  if (solver.info() != Eigen::Success) return std::nullopt;
  const Eigen::VectorXd& eigenvalues = solver.eigenvalues();  // increasing
  const double largest = eigenvalues(n - 1);
  if (!(eigenvalues(0) > largest * kGramResolution)) return std::nullopt;

  // The candidates are taken with a margin, since their values are exact only once recomputed;
  // from the smallest eigenvalue up.
  const double sigmaMax = std::sqrt(largest);
  Eigen::Index candidates = 0;
  while (candidates + 1 < n &&
         sigmaMax / std::sqrt(eigenvalues(candidates)) > indexLine * (1.0 - kCandidateMargin)) {
    ++candidates;
  }
  SingularSpectrum spectrum;
  spectrum.conditionNumber = sigmaMax / std::sqrt(eigenvalues(0));
  if (candidates == 0) return spectrum;

  Eigen::MatrixXd vectors(n, candidates);
  std::vector<Eigen::VectorXd> equal;  // the vectors of the eigenvalue being repeated
  for (Eigen::Index c = 0; c < candidates; ++c) {
    if (c == 0 || eigenvalues(c) - eigenvalues(c - 1) > largest * kEqualEigenvalues) equal.clear();
    equal.push_back(tridiagonalEigenvector(diagonal, offDiagonal, eigenvalues(c), largest, equal));
    vectors.col(c) = equal.back();
  }
  vectors.applyOnTheLeft(reduced.matrixQ());
  const Eigen::VectorXd lengths =
      (r.triangularView<Eigen::Upper>() * vectors).colwise().norm().transpose();
  spectrum.conditionNumber = sigmaMax / lengths(0);
  for (Eigen::Index c = candidates - 1; c >= 0; --c) {  // by increasing condition index
    const double index = sigmaMax / lengths(c);
    if (index > indexLine) spectrum.nearlyVanishing.push_back({index, vectors.col(c)});
  }
  return spectrum;
}

SingularSpectrum spectrumOfSvd(const Eigen::MatrixXd& r, double indexLine) {
  const Eigen::BDCSVD<Eigen::MatrixXd> svd(r, Eigen::ComputeFullV);
  const Eigen::VectorXd& sigma = svd.singularValues();  // decreasing
  SingularSpectrum spectrum;
  spectrum.conditionNumber = sigma(0) / sigma(r.cols() - 1);
  for (Eigen::Index k = 1; k < r.cols(); ++k) {
    if (sigma(0) / sigma(k) > indexLine) {
      spectrum.nearlyVanishing.push_back({sigma(0) / sigma(k), svd.matrixV().col(k)});
    }
  }
  return spectrum;
}

}  // namespace

SingularSpectrum singularSpectrum(const Eigen::MatrixXd& r, double indexLine,
                                  const Eigen::MatrixXd* gram) {
  const Eigen::MatrixXd formed = gram ? Eigen::MatrixXd() : gramOf(r);
  if (std::optional<SingularSpectrum> fromGram =
          spectrumOfGram(r, indexLine, gram ? *gram : formed)) {
    return *fromGram;
  }
  return spectrumOfSvd(r, indexLine);
}

}  // namespace kelvora::analysis
