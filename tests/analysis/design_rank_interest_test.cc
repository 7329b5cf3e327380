// The conditions' own condition number and the severity of a confound-only dependency, on designs
// of orthogonal sign patterns whose answers are known in closed form.
#include "analysis/design_rank_interest.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <vector>

#include "analysis/design_rank.h"
#include "analysis/design_warnings.h"

namespace kelvora::analysis {
namespace {

constexpr std::size_t kRows = 16;

// The centred, mutually orthogonal sign pattern k (1..4) over 16 rows: the sign of bit k - 1.
std::vector<double> pattern(int k) {
  std::vector<double> signs;
  for (std::size_t t = 0; t < kRows; ++t) signs.push_back((t >> (k - 1)) & 1u ? -1.0 : 1.0);
  return signs;
}

// offset + sum of weights[k] * pattern(k + 1).
std::vector<float> column(double offset, const std::vector<double>& weights) {
  std::vector<float> values(kRows, static_cast<float>(offset));
  for (std::size_t k = 0; k < weights.size(); ++k) {
    const std::vector<double> signs = pattern(static_cast<int>(k) + 1);
    for (std::size_t t = 0; t < kRows; ++t) {
      values[t] = static_cast<float>(values[t] + weights[k] * signs[t]);
    }
  }
  return values;
}

RankCheck checked(const std::vector<std::vector<float>>& columns, std::int32_t interest) {
  SdmFile sdm;
  sdm.nrOfPredictors = static_cast<std::int32_t>(columns.size());
  sdm.nrOfDataPoints = static_cast<std::int32_t>(kRows);
  sdm.firstConfoundPredictor = interest + 1;
  sdm.values = columns;
  return checkRank(sdm);
}

// Two conditions correlating at r, then two motion columns nearly the same (with offsets, as a
// realignment writes them) and the constant.
RankCheck conditionsAt(double r) {
  return checked({column(0, {1}), column(0, {r, std::sqrt(1 - r * r)}), column(5, {0, 0, 1}),
                  column(2, {0, 0, 1, 0.004}), column(1, {})},
                 2);
}

TEST(InterestConditionTest, TheConditionsAloneTellACloseCorrelationApart) {
  const RankCheck ordinary = conditionsAt(0.0);
  const RankCheck close = conditionsAt(0.99);
  // The motion pair drives the design's own number past the near-dependency line in both.
  EXPECT_GT(ordinary.conditionNumber, kNearDependencyCondition);
  EXPECT_GT(close.conditionNumber, kNearDependencyCondition);
  // The remains of two conditions at r: sqrt((1 + r) / (1 - r)).
  EXPECT_NEAR(*shownInterestConditionNumber(ordinary), 1.0, 1e-6);
  EXPECT_NEAR(*shownInterestConditionNumber(close), std::sqrt(1.99 / 0.01), 1e-3);
  EXPECT_STREQ(shownInterestConditionGrade(ordinary), "low");
  EXPECT_STREQ(shownInterestConditionGrade(close), "high");
  // The motion pair's near-dependency takes in no condition: a note, not a warning.
  ASSERT_EQ(close.dependencies.size(), 1u);
  EXPECT_EQ(close.dependencies[0].kind, DependencyKind::kNearDependent);
  EXPECT_EQ(dependencySeverity(close.dependencies[0], 2), RecordSeverity::kNote);
  EXPECT_EQ(dependencySeverity(close.dependencies[0], 3), RecordSeverity::kWarning);
}

TEST(InterestConditionTest, ConfoundsThatExplainAConditionRaiseItsNumber) {
  // Condition 2 is mostly motion: only 0.1 of its unit length remains after the confounds.
  const RankCheck explained = checked(
      {column(0, {1}), column(0, {0, 0.1, std::sqrt(0.99)}), column(3, {0, 0, 1}), column(1, {})},
      2);
  EXPECT_NEAR(*shownInterestConditionNumber(explained), 10.0, 1e-3);
  EXPECT_STREQ(shownInterestConditionGrade(explained), "high");
}

TEST(InterestConditionTest, OnlyADependencyTakingInAConditionMakesItInfinite) {
  // Motion columns exactly proportional: rank deficient, a warning, but the conditions stand.
  const RankCheck confounds =
      checked({column(0, {1}), column(0, {0, 1}), column(0, {0, 0, 1}), column(0, {0, 0, 2}),
               column(1, {})},
              2);
  ASSERT_FALSE(confounds.fullRank());
  EXPECT_EQ(dependencySeverity(confounds.dependencies[0], 2), RecordSeverity::kWarning);
  EXPECT_NEAR(*shownInterestConditionNumber(confounds), 1.0, 1e-6);

  const RankCheck absent =
      checked({column(0, {1}), std::vector<float>(kRows, 0.0f), column(1, {})}, 2);
  EXPECT_TRUE(std::isinf(absent.interestConditionNumber));
  EXPECT_EQ(shownInterestConditionNumber(absent), std::nullopt);
  EXPECT_STREQ(shownInterestConditionGrade(absent), "extreme");

  const RankCheck noInterest = checked({column(0, {1}), column(1, {})}, 0);
  EXPECT_EQ(shownInterestConditionGrade(noInterest), nullptr);
}

TEST(InterestConditionTest, GradeLines) {
  RankCheck rank;
  for (const auto& [number, grade] :
       {std::pair{2.99, "low"}, std::pair{3.0, "moderate"}, std::pair{10.0, "high"},
        std::pair{30.0, "very high"}, std::pair{100.0, "extreme"}}) {
    rank.interestConditionNumber = number;
    EXPECT_STREQ(shownInterestConditionGrade(rank), grade) << number;
  }
}

}  // namespace
}  // namespace kelvora::analysis
