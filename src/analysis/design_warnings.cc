#include "analysis/design_warnings.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <queue>
#include <utility>

#include "analysis/cross_products.h"
#include "analysis/design_correlation.h"

namespace kelvora::analysis {
namespace {

void addCorrelations(const Eigen::MatrixXd& r, const std::vector<bool>& varies,
                     std::int64_t interest, bool allCorrelations,
                     std::vector<DesignWarning>& warnings) {
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
      const double value = r(i, j);
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
                  std::vector<DesignWarning>& warnings) {
  const std::vector<double> inflation = varianceInflationOf(r, varies, interest);
  for (std::size_t j = 0; j < inflation.size(); ++j) {
    if (!(inflation[j] > kInflationNote)) continue;  // NaN: no variance
    warnings.push_back(
        {DesignWarningCode::kHighVif,
         inflation[j] > kInflationWarning ? RecordSeverity::kWarning : RecordSeverity::kNote,
         static_cast<std::int32_t>(j), -1, inflation[j]});
  }
}

}  // namespace

std::vector<std::int32_t> warningPredictors(const DesignWarning& warning) {
  std::vector<std::int32_t> columns;
  for (const std::int32_t column : {warning.first, warning.second}) {
    if (column >= 0) columns.push_back(column);
  }
  return columns;
}

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

std::optional<double> shownConditionNumber(const RankCheck& rank) {
  if (!rank.fullRank() || rank.columns == 0) return std::nullopt;
  return rank.conditionNumber;
}

const char* shownConditionGrade(const RankCheck& rank) {
  return rank.skipped || rank.columns == 0 ? nullptr : conditionGrade(rank);
}

RecordSeverity dependencySeverity(const Dependency& dependency, std::int64_t interest) {
  const bool confoundsAlone =
      !dependency.predictors.empty() && dependency.predictors.front() >= interest;
  return dependency.kind == DependencyKind::kNearDependent && confoundsAlone
             ? RecordSeverity::kNote
             : RecordSeverity::kWarning;
}

std::optional<double> shownInterestConditionNumber(const RankCheck& rank) {
  const double number = rank.interestConditionNumber;
  if (rank.skipped || number == 0.0 || std::isinf(number)) return std::nullopt;
  return number;
}

const char* shownInterestConditionGrade(const RankCheck& rank) {
  const double number = rank.interestConditionNumber;
  if (rank.skipped || number == 0.0) return nullptr;
  if (number < 3.0) return "low";
  if (number < 10.0) return "moderate";
  if (number < 30.0) return "high";
  if (number < kNearDependencyCondition) return "very high";
  return "extreme";
}

DesignWarnings warnDesign(const CrossProducts& products, std::int64_t interest,
                          const RankCheck& rank, bool allCorrelations) {
  if (rank.skipped || products.rows < 2) return {};
  std::vector<bool> varies;
  const Eigen::MatrixXd r = correlationsOf(products, varies);
  std::vector<DesignWarning> warnings;
  addCorrelations(r, varies, interest, allCorrelations, warnings);
  addInflation(r, varies, interest, warnings);
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
