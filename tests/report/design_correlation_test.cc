#include "design_correlation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace kelvora::report {
namespace {

SdmFile sdmOf(const std::vector<std::vector<float>>& columns) {
  SdmFile sdm;
  sdm.nrOfPredictors = static_cast<std::int32_t>(columns.size());
  sdm.nrOfDataPoints = static_cast<std::int32_t>(columns[0].size());
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
  EXPECT_FALSE(heatmapPng(orthogonal).empty());
}

}  // namespace
}  // namespace kelvora::report
