#include "analysis/design_warnings.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <queue>
#include <utility>

#include "analysis/cross_products.h"

namespace kelvora::analysis {
namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

// The correlation matrix of the centred columns; `varies` tells which columns have one.
Eigen::MatrixXd correlationsOf(const CrossProducts& products, std::vector<bool>& varies) {
  const Eigen::Index columns = products.gram.cols();
  const double rows = static_cast<double>(products.rows);
  Eigen::MatrixXd centred = products.gram;
  if (rows > 0) centred -= products.sums * products.sums.transpose() / rows;
  varies.assign(static_cast<std::size_t>(columns), false);
  Eigen::VectorXd scale = Eigen::VectorXd::Zero(columns);
  for (Eigen::Index j = 0; j < columns; ++j) {
    const double spread = centred(j, j);
    if (products.usable[static_cast<std::size_t>(j)] && spread > 0.0 &&
        spread > kConstantShare * products.gram(j, j)) {
      varies[static_cast<std::size_t>(j)] = true;
      scale(j) = 1.0 / std::sqrt(spread);
    }
  }
  return scale.asDiagonal() * centred * scale.asDiagonal();
}

void addCorrelations(const Eigen::MatrixXd& r, const std::vector<bool>& varies,
                     std::int64_t interest, bool allCorrelations, std::vector<DesignWarning>& warnings) {
  using Pair = DesignWarning;
  const auto weaker = [](const Pair& a, const Pair& b) {
    return std::abs(a.value) > std::abs(b.value);
  };
  std::priority_queue<Pair, std::vector<Pair>, decltype(weaker)> strongest(weaker);
  std::int64_t leftOut = 0;
  for (Eigen::Index i = 0; i < r.cols(); ++i) {
    if (!varies[static_cast<std::size_t>(i)]) continue;
    for (Eigen::Index j = i + 1; j < r.cols(); ++j) {
      if (!varies[static_cast<std::size_t>(j)]) continue;
      const double value = std::clamp(r(i, j), -1.0, 1.0);
      const double size = std::abs(value);
      if (size < kCorrelationNote) continue;
      const bool confounds = i >= interest && j >= interest;
      if (confounds && !allCorrelations && size < kIdenticalCorrelation) continue;
      strongest.push(
          {DesignWarningCode::kPredictorCorrelation,
           size >= kCorrelationWarning ? RecordSeverity::kWarning : RecordSeverity::kNote,
           static_cast<std::int32_t>(i), static_cast<std::int32_t>(j), value});
      if (strongest.size() > kMostCorrelationPairs) {
        strongest.pop();
        ++leftOut;
      }
    }
  }
  const std::size_t first = warnings.size();
  for (; !strongest.empty(); strongest.pop()) warnings.push_back(strongest.top());
  std::reverse(warnings.begin() + static_cast<std::ptrdiff_t>(first), warnings.end());
  if (leftOut > 0) {
    warnings.push_back({DesignWarningCode::kMoreCorrelations, RecordSeverity::kNote, -1, -1,
                              static_cast<double>(leftOut)});
  }
}

void addInflation(const Eigen::MatrixXd& r, const std::vector<bool>& varies, std::int64_t interest,
                  const RankCheck& rank, std::vector<DesignWarning>& warnings) {
  std::vector<bool> dependent(varies.size(), false);
  for (const Dependency& dependency : rank.dependencies) {
    if (dependency.kind != DependencyKind::kRankDeficient) continue;
    for (const std::int32_t column : dependency.predictors) {
      dependent[static_cast<std::size_t>(column)] = true;
    }
  }
  std::vector<Eigen::Index> kept;
  for (std::size_t j = 0; j < varies.size(); ++j) {
    if (varies[j] && !dependent[j]) kept.push_back(static_cast<Eigen::Index>(j));
  }
  Eigen::MatrixXd inverse;
  if (!kept.empty()) {
    const Eigen::MatrixXd part = r(kept, kept);
    inverse = part.ldlt().solve(Eigen::MatrixXd::Identity(part.rows(), part.cols()));
  }
  std::size_t position = 0;
  for (std::int64_t j = 0; j < interest && j < static_cast<std::int64_t>(varies.size()); ++j) {
    const auto column = static_cast<std::size_t>(j);
    if (!varies[column]) continue;
    double inflation = kInfinity;
    if (!dependent[column]) {
      while (kept[position] < j) ++position;
      const double diagonal =
          inverse(static_cast<Eigen::Index>(position), static_cast<Eigen::Index>(position));
      if (std::isfinite(diagonal) && diagonal > 0.0) inflation = std::max(diagonal, 1.0);
    }
    if (inflation <= kInflationNote) continue;
    warnings.push_back(
        {DesignWarningCode::kHighVif,
         inflation > kInflationWarning ? RecordSeverity::kWarning : RecordSeverity::kNote,
         static_cast<std::int32_t>(j), -1, inflation});
  }
}

}  // namespace

const char* designWarningCodeName(DesignWarningCode code) {
  switch (code) {
    case DesignWarningCode::kPredictorCorrelation:
      return "PREDICTOR_CORRELATION";
    case DesignWarningCode::kMoreCorrelations:
      return "PREDICTOR_CORRELATION_MORE";
    case DesignWarningCode::kHighVif:
      return "HIGH_VIF";
  }
  return "";
}

const char* conditionGrade(const RankCheck& rank) {
  if (!rank.fullRank()) return "extreme";
  const double number = rank.conditionNumber;
  if (number < 20.0) return "low";
  if (number < 400.0) return "moderate";
  if (number < 8000.0) return "high";
  if (number < 160000.0) return "very high";
  return "extreme";
}

DesignWarnings warnDesign(const CrossProducts& products, std::int64_t interest,
                          const RankCheck& rank, bool allCorrelations) {
  if (rank.skipped || products.rows < 2) return {};
  std::vector<bool> varies;
  const Eigen::MatrixXd r = correlationsOf(products, varies);
  std::vector<DesignWarning> warnings;
  addCorrelations(r, varies, interest, allCorrelations, warnings);
  addInflation(r, varies, interest, rank, warnings);
  return DesignWarnings(std::move(warnings));
}

DesignWarnings::DesignWarnings(std::vector<DesignWarning> made) {
  if (made.empty()) return;
  made.shrink_to_fit();  // held for the rest of the run
  shared = std::make_shared<const std::vector<DesignWarning>>(std::move(made));
}

const std::vector<DesignWarning>& DesignWarnings::items() const {
  static const std::vector<DesignWarning> none;
  return shared ? *shared : none;
}

}  // namespace kelvora::analysis
