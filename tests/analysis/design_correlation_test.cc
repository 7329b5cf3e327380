#include "analysis/design_correlation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "report/design_picture.h"

namespace kelvora::analysis {
namespace {

SdmFile sdmOf(const std::vector<std::vector<float>>& columns) {
  SdmFile sdm;
  sdm.nrOfPredictors = static_cast<std::int32_t>(columns.size());
  sdm.nrOfDataPoints = columns.empty() ? 0 : static_cast<std::int32_t>(columns[0].size());
  sdm.values = columns;
  return sdm;
}

TEST(DesignCorrelationTest, CorrelationsAndInflationOfKnownDesigns) {
  const std::vector<float> a{1, 2, 3, 4, 5, 6}, b{2, -1, 0, 1, -2, 0}, c{1, 1, 1, 1, 1, 1};
  std::vector<float> sum(a.size()), opposite(a.size());
  for (std::size_t t = 0; t < a.size(); ++t) {
    sum[t] = a[t] + b[t];
    opposite[t] = -2 * a[t];
  }
  const DesignCorrelation free = correlateDesign(sdmOf({a, opposite, c}), 2);
  EXPECT_NEAR(free.r[1], -1.0, 1e-12);  // a against -2a
  EXPECT_TRUE(std::isnan(free.r[2]));   // the constant has no correlation
  EXPECT_TRUE(std::isinf(free.varianceInflation[0]));

  const DesignCorrelation dependent = correlateDesign(sdmOf({a, b, sum, c}), 3);
  ASSERT_EQ(dependent.varianceInflation.size(), 3u);
  for (const double vif : dependent.varianceInflation) EXPECT_TRUE(std::isinf(vif));
  const DesignCorrelation orthogonal = correlateDesign(sdmOf({{1, -1, 1, -1}, {1, 1, -1, -1}}), 2);
  EXPECT_NEAR(orthogonal.varianceInflation[0], 1.0, 1e-12);
  EXPECT_FALSE(report::heatmapPng(orthogonal).empty());
}

// a and e are centred, orthogonal and of equal length, so b = 0.6 a + 0.8 e has r(a, b) = 0.6,
// and VIF = 1 / (1 - r^2) for each of the two; o, orthogonal to both, has VIF 1.
TEST(DesignCorrelationTest, InflationFromTheInverseMatchesTheRegressionFormula) {
  const std::vector<float> a{1, -1, 1, -1, 1, -1, 1, -1}, e{1, 1, -1, -1, 1, 1, -1, -1},
      o{1, 1, 1, 1, -1, -1, -1, -1};
  std::vector<float> b(a.size());
  for (std::size_t t = 0; t < a.size(); ++t) b[t] = 0.6f * a[t] + 0.8f * e[t];
  const DesignCorrelation design = correlateDesign(sdmOf({a, b, o}), 3);
  const double expected = 1.0 / (1.0 - 0.36);
  ASSERT_EQ(design.varianceInflation.size(), 3u);
  EXPECT_NEAR(design.varianceInflation[0], expected, 1e-6);
  EXPECT_NEAR(design.varianceInflation[1], expected, 1e-6);
  EXPECT_NEAR(design.varianceInflation[2], 1.0, 1e-9);
  EXPECT_NEAR(design.r[1], 0.6, 1e-6);
}

TEST(DesignCorrelationTest, OnlyPredictorsOfAnExactDependencyHaveInfiniteInflation) {
  const std::vector<float> a{1, -1, 1, -1}, twice{2, -2, 2, -2}, e{1, 1, -1, -1};
  const DesignCorrelation design = correlateDesign(sdmOf({a, e, twice}), 3);
  EXPECT_TRUE(std::isinf(design.varianceInflation[0]));
  EXPECT_NEAR(design.varianceInflation[1], 1.0, 1e-9);
  EXPECT_TRUE(std::isinf(design.varianceInflation[2]));
}

TEST(DesignCorrelationTest, WideDesignHasABoundedHeatmapOfBlockMeansAndNoInflation) {
  const std::vector<float> a{1, 2, 4}, opposite{-1, -2, -4};
  std::vector<std::vector<float>> columns(2 * 2001, a);
  for (std::size_t j = 2001; j < columns.size(); ++j) columns[j] = opposite;
  const DesignCorrelation design = correlateDesign(sdmOf(columns), 2);
  EXPECT_EQ(design.side, kMostHeatmapCells);
  ASSERT_EQ(design.r.size(), static_cast<std::size_t>(kMostHeatmapCells * kMostHeatmapCells));
  EXPECT_NEAR(design.r[0], 1.0, 1e-9);                       // a block of a against itself
  EXPECT_NEAR(design.r[kMostHeatmapCells - 1], -1.0, 1e-9);  // against a block of -a
  EXPECT_TRUE(design.inflationSkipped);
  EXPECT_TRUE(design.varianceInflation.empty());
}

// No data point, no column, one data point, every column constant: nothing to correlate, and no
// sum of an empty column is taken.
TEST(DesignCorrelationTest, DegenerateShapesHaveNoCorrelationAndNoCrash) {
  const DesignCorrelation empty = correlateDesign(sdmOf({{}, {}, {}}), 2);
  EXPECT_TRUE(empty.inflationSkipped);  // fewer data points than columns
  EXPECT_EQ(empty.side, 0);
  const DesignCorrelation none = correlateDesign(sdmOf({}), 0);
  EXPECT_EQ(none.side, 0);
  EXPECT_TRUE(none.varianceInflation.empty());
  const DesignCorrelation single = correlateDesign(sdmOf({{2.0f}}), 1);
  ASSERT_EQ(single.varianceInflation.size(), 1u);
  EXPECT_TRUE(std::isnan(single.varianceInflation[0]));
  EXPECT_TRUE(std::isnan(single.r[0]));
  const DesignCorrelation constant = correlateDesign(sdmOf({{1, 1, 1}, {2, 2, 2}, {0, 0, 0}}), 3);
  ASSERT_EQ(constant.varianceInflation.size(), 3u);
  for (const double vif : constant.varianceInflation) EXPECT_TRUE(std::isnan(vif));
  for (const double r : constant.r) EXPECT_TRUE(std::isnan(r));
  EXPECT_FALSE(report::heatmapPng(constant).empty());
}

}  // namespace
}  // namespace kelvora::analysis
