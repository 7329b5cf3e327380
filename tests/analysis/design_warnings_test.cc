#include "analysis/design_warnings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <vector>

#include "analysis/cross_products.h"

namespace kelvora::analysis {
namespace {

// Two centred orthogonal patterns and a constant: the columns r e1 + sqrt(1 - r^2) e2 and e1
// correlate with exactly r, and with two predictors each VIF is 1 / (1 - r^2).
const std::vector<double> kFirst{1, -1, 1, -1, 1, -1, 1, -1};
const std::vector<double> kSecond{1, 1, -1, -1, 1, 1, -1, -1};

std::vector<float> correlated(double r) {
  std::vector<float> column;
  for (std::size_t t = 0; t < kFirst.size(); ++t) {
    column.push_back(static_cast<float>(3 + r * kFirst[t] + std::sqrt(1 - r * r) * kSecond[t]));
  }
  return column;
}

DesignWarnings warningsOf(const std::vector<std::vector<float>>& columns, std::int64_t interest,
                          bool allCorrelations = false) {
  SdmFile sdm;
  sdm.nrOfPredictors = static_cast<std::int32_t>(columns.size());
  sdm.nrOfDataPoints = static_cast<std::int32_t>(columns[0].size());
  sdm.values = columns;
  return warnDesign(crossProductsOf(sdm), interest, checkRank(sdm), allCorrelations);
}

std::vector<float> first() { return correlated(1.0); }

TEST(DesignWarningsTest, CorrelationLinesAtPointFourAndPointSeven) {
  EXPECT_TRUE(warningsOf({first(), correlated(0.39)}, 0, true).items().empty());
  for (const auto& [r, severity] :
       {std::pair{0.41, RecordSeverity::kNote}, std::pair{0.69, RecordSeverity::kNote},
        std::pair{0.71, RecordSeverity::kWarning}}) {
    const DesignWarnings found = warningsOf({first(), correlated(r)}, 0, true);
    ASSERT_EQ(found.items().size(), 1u) << r;
    EXPECT_EQ(found.items()[0].code, DesignWarningCode::kPredictorCorrelation);
    EXPECT_EQ(found.items()[0].severity, severity) << r;
    EXPECT_NEAR(found.items()[0].value, r, 1e-6);
  }
}

TEST(DesignWarningsTest, InflationLinesAtFiveAndTen) {
  const auto inflationOf = [](double rSquared) {
    const DesignWarnings found = warningsOf({first(), correlated(std::sqrt(rSquared))}, 2);
    std::vector<DesignWarning> inflated;
    for (const DesignWarning& w : found.items()) {
      if (w.code == DesignWarningCode::kHighVif) inflated.push_back(w);
    }
    return inflated;
  };
  EXPECT_TRUE(inflationOf(0.79).empty());  // 4.76
  const std::vector<DesignWarning> note = inflationOf(0.81);
  ASSERT_EQ(note.size(), 2u);
  EXPECT_NEAR(note[0].value, 1 / (1 - 0.81), 1e-4);
  EXPECT_EQ(note[0].severity, RecordSeverity::kNote);
  const std::vector<DesignWarning> warning = inflationOf(0.91);
  ASSERT_EQ(warning.size(), 2u);
  EXPECT_NEAR(warning[1].value, 1 / (1 - 0.91), 1e-4);
  EXPECT_EQ(warning[1].severity, RecordSeverity::kWarning);
}

TEST(DesignWarningsTest, ADependencyTheRankCheckFindsHasAnInfiniteInflation) {
  const std::vector<float> a = first(), b = correlated(0.0);
  std::vector<float> sum(a.size());
  for (std::size_t t = 0; t < a.size(); ++t) sum[t] = a[t] + b[t];
  const std::vector<float> constant(a.size(), 1.0f);
  const DesignWarnings found = warningsOf({a, b, sum, constant}, 3);
  int infinite = 0;
  for (const DesignWarning& w : found.items()) {
    if (w.code == DesignWarningCode::kHighVif && std::isinf(w.value)) ++infinite;
  }
  EXPECT_EQ(infinite, 3);
}

TEST(DesignWarningsTest, ConfoundPairsOnlyWhenAskedOrIdentical) {
  // `other` is orthogonal to both patterns, so only a and c correlate (r = 0.8).
  const std::vector<float> other{1, -1, -1, 1, 1, -1, -1, 1};
  const std::vector<float> a = first(), c = correlated(0.8);
  EXPECT_EQ(warningsOf({a, other, c}, 1).items().size(), 1u);  // a is of interest
  EXPECT_EQ(warningsOf({other, a, c}, 1).items().size(), 0u);  // two confounds
  EXPECT_EQ(warningsOf({other, a, c}, 1, true).items().size(), 1u);
  const DesignWarnings same = warningsOf({other, a, a}, 1);
  ASSERT_EQ(same.items().size(), 1u);
  EXPECT_NEAR(same.items()[0].value, 1.0, 1e-9);
}

// Columns whose spread is 1e-5 of their mean still vary: a pair at r = 0.51 is listed with its r,
// and a predictor that is another plus an offset has an infinite VIF whether or not the design
// holds a constant column (the VIF is of a regression with an intercept).
TEST(DesignWarningsTest, OffsetsCostTheCorrelationsAndInflationNoDigits) {
  std::vector<float> a, b;
  for (std::size_t t = 0; t < kFirst.size(); ++t) {
    a.push_back(static_cast<float>(1e4 + 0.1 * kFirst[t]));
    b.push_back(static_cast<float>(
        1e4 + 0.1 * (0.51 * kFirst[t] + std::sqrt(1 - 0.51 * 0.51) * kSecond[t])));
  }
  const DesignWarnings pair = warningsOf({a, b}, 2);
  // r of the values as floats hold them, in long double.
  long double meanA = 0, meanB = 0, ab = 0, aa = 0, bb = 0;
  for (std::size_t t = 0; t < a.size(); ++t) meanA += a[t], meanB += b[t];
  meanA /= a.size();
  meanB /= b.size();
  for (std::size_t t = 0; t < a.size(); ++t) {
    ab += (a[t] - meanA) * (b[t] - meanB);
    aa += (a[t] - meanA) * (a[t] - meanA);
    bb += (b[t] - meanB) * (b[t] - meanB);
  }
  ASSERT_FALSE(pair.items().empty());
  EXPECT_EQ(pair.items()[0].code, DesignWarningCode::kPredictorCorrelation);
  EXPECT_NEAR(pair.items()[0].value, static_cast<double>(ab / std::sqrt(aa * bb)), 1e-12);
  EXPECT_NEAR(pair.items()[0].value, 0.51, 0.01);

  const std::vector<float> plus = correlated(0.3);
  std::vector<float> shifted(plus);
  for (float& value : shifted) value += 2.0f;
  const DesignWarnings offset = warningsOf({shifted, plus}, 2);
  ASSERT_EQ(offset.items().size(), 3u);  // the pair at r = 1 and both VIF
  EXPECT_TRUE(std::isinf(offset.items()[1].value));
  EXPECT_TRUE(std::isinf(offset.items()[2].value));
}

TEST(DesignWarningsTest, ConditionGrades) {
  RankCheck rank;
  rank.rows = rank.columns = rank.rank = 3;
  for (const auto& [number, grade] :
       {std::pair{19.9, "low"}, std::pair{20.0, "moderate"}, std::pair{7999.0, "high"},
        std::pair{8000.0, "very high"}, std::pair{160000.0, "extreme"}}) {
    rank.conditionNumber = number;
    EXPECT_STREQ(conditionGrade(rank), grade) << number;
  }
  rank.rank = 2;
  EXPECT_STREQ(conditionGrade(rank), "extreme");
  EXPECT_EQ(shownConditionNumber(rank), std::nullopt);
  rank = RankCheck{};  // no column
  EXPECT_EQ(shownConditionNumber(rank), std::nullopt);
  EXPECT_EQ(shownConditionGrade(rank), nullptr);
}

}  // namespace
}  // namespace kelvora::analysis
