#include "design_correlation.h"

#include <algorithm>
#include <cmath>
#include <eigen3/Eigen/Dense>
#include <limits>

#include "design_picture.h"

namespace kelvora::report {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// R_j^2 below this from 1 counts as an exact combination: VIF beyond 1e10.
constexpr double kExactFit = 1e-10;

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

double inflationOf(const Eigen::MatrixXd& r, Eigen::Index j) {
  const Eigen::Index n = r.cols();
  if (n < 2) return 1.0;
  Eigen::MatrixXd others(n - 1, n - 1);
  Eigen::VectorXd target(n - 1);
  for (Eigen::Index a = 0, row = 0; a < n; ++a) {
    if (a == j) continue;
    target(row) = r(a, j);
    for (Eigen::Index b = 0, col = 0; b < n; ++b) {
      if (b != j) others(row, col++) = r(a, b);
    }
    ++row;
  }
  const Eigen::VectorXd weights = others.colPivHouseholderQr().solve(target);
  const double unexplained = 1.0 - target.dot(weights);
  return unexplained < kExactFit ? std::numeric_limits<double>::infinity() : 1.0 / unexplained;
}

}  // namespace

DesignCorrelation correlateDesign(const SdmFile& sdm, std::int64_t interest) {
  DesignCorrelation result;
  result.columns = static_cast<std::int64_t>(sdm.values.size());
  const auto size = static_cast<std::size_t>(result.columns);
  result.r.assign(size * size, kNaN);
  std::vector<std::int64_t> original;
  const Eigen::MatrixXd x = standardized(sdm, original);
  const Eigen::MatrixXd r = x.transpose() * x;
  std::vector<Eigen::Index> position(size, -1);
  for (std::size_t k = 0; k < original.size(); ++k) {
    position[static_cast<std::size_t>(original[k])] = static_cast<Eigen::Index>(k);
    for (std::size_t l = 0; l < original.size(); ++l) {
      const double value =
          std::clamp(r(static_cast<Eigen::Index>(k), static_cast<Eigen::Index>(l)), -1.0, 1.0);
      result
          .r[static_cast<std::size_t>(original[k]) * size + static_cast<std::size_t>(original[l])] =
          value;
    }
  }
  const std::int64_t counted = std::clamp<std::int64_t>(interest, 0, result.columns);
  for (std::int64_t j = 0; j < counted; ++j) {
    const Eigen::Index at = position[static_cast<std::size_t>(j)];
    result.varianceInflation.push_back(at < 0 ? kNaN : inflationOf(r, at));
  }
  return result;
}

std::string heatmapPng(const DesignCorrelation& correlation) {
  if (correlation.columns <= 0) return {};
  const int side = static_cast<int>(correlation.columns);
  RgbPicture picture{side, side, {}};
  for (const double value : correlation.r) {
    std::uint8_t red = 200, green = 200, blue = 200;  // no correlation
    if (!std::isnan(value)) {
      const auto fade = static_cast<std::uint8_t>(std::lround((1.0 - std::abs(value)) * 255.0));
      red = value < 0 ? fade : 255;
      blue = value > 0 ? fade : 255;
      green = fade;
    }
    picture.pixels.insert(picture.pixels.end(), {red, green, blue});
  }
  return encodePng(picture);
}

}  // namespace kelvora::report
