#include "analysis/column_scales.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "analysis/contrast_information.h"
#include "analysis/cross_products.h"
#include "analysis/design_correlation.h"
#include "analysis/design_rank.h"

namespace kelvora::analysis {
namespace {

constexpr int kRows = 200;

// A varying signal the same on every machine: a sum of two slow waves and a ramp.
std::vector<double> signal(int which) {
  std::vector<double> values(kRows);
  for (int t = 0; t < kRows; ++t) {
    values[t] = std::sin(0.11 * (which + 1) * t) + 0.7 * std::cos(0.037 * t * (which + 2)) +
                0.002 * t * (which % 2 == 0 ? 1 : -1);
  }
  return values;
}

std::vector<float> asFloats(const std::vector<double>& values, double offset, double scale) {
  std::vector<float> column;
  for (const double value : values) column.push_back(static_cast<float>(offset + scale * value));
  return column;
}

SdmFile sdmOf(std::vector<std::vector<float>> columns, std::vector<std::string> names) {
  SdmFile sdm;
  sdm.fileVersion = 1;
  sdm.nrOfPredictors = static_cast<std::int32_t>(columns.size());
  sdm.nrOfDataPoints = kRows;
  sdm.values = std::move(columns);
  sdm.predictorNames = std::move(names);
  return sdm;
}

// A = 1000 + 0.05 s as floats beside a constant: an offset is the constant's part, not a
// dependency. The rank check, the VIF and a contrast's estimability all take A after the constant.
TEST(ColumnScalesTest, AnOffsetBesideTheConstantLeavesAPredictorEstimable) {
  const SdmFile sdm = sdmOf({asFloats(signal(0), 1000.0, 0.05), asFloats(signal(1), 0.0, 1.0),
                             std::vector<float>(kRows, 1.0f)},
                            {"A", "B", "Constant"});
  const CrossProducts products = crossProductsOf(sdm);
  const ColumnScales scales = columnScalesOf(products);
  EXPECT_TRUE(scales.spansConstant);
  EXPECT_EQ(scales.standingConstant, 2);
  EXPECT_EQ(scales.constant, (std::vector<bool>{false, false, true}));

  for (const RankCheck& check : {checkRank(sdm), checkRank(sdm, &products)}) {
    EXPECT_TRUE(check.fullRank());
    EXPECT_TRUE(check.dependencies.empty());
    EXPECT_LT(check.conditionNumber, 5.0);
  }
  const DesignCorrelation correlation = correlateDesign(sdm, 2);
  ASSERT_EQ(correlation.varianceInflation.size(), 2u);
  EXPECT_TRUE(std::isfinite(correlation.varianceInflation[0]));
  EXPECT_LT(correlation.varianceInflation[0], 5.0);

  const ContrastInformation information =
      contrastInformationOf(products, sdm, {"A"}, checkRank(sdm, &products));
  const InformationSolver solver(information.unit());
  EXPECT_TRUE(solver.variance(Eigen::VectorXd::Ones(1)).has_value());
}

// Without a constant column, the columns are taken as written: A = B + 2 is no dependency of the
// design (no intercept), while beside a constant it is one, naming the constant.
TEST(ColumnScalesTest, AnOffsetIsADependencyOnlyBesideTheConstant) {
  const std::vector<float> b = asFloats(signal(1), 0.0, 1.0), a = asFloats(signal(1), 2.0, 1.0);
  const SdmFile free = sdmOf({a, b}, {"A", "B"});
  EXPECT_FALSE(columnScalesOf(crossProductsOf(free)).spansConstant);
  EXPECT_TRUE(checkRank(free).fullRank());

  const SdmFile withConstant = sdmOf({a, b, std::vector<float>(kRows, 1.0f)}, {"A", "B", "C"});
  const RankCheck check = checkRank(withConstant);
  ASSERT_EQ(check.dependencies.size(), 1u);
  EXPECT_EQ(check.dependencies[0].predictors, (std::vector<std::int32_t>{0, 1, 2}));
  // A sum without an offset involves the two predictors alone.
  const SdmFile plain = sdmOf({b, b, std::vector<float>(kRows, 1.0f)}, {"A", "B", "C"});
  ASSERT_EQ(checkRank(plain).dependencies.size(), 1u);
  EXPECT_EQ(checkRank(plain).dependencies[0].predictors, (std::vector<std::int32_t>{0, 1}));
}

// A contrasted constant is not the others' centre: its variance is that of the design as written.
TEST(ColumnScalesTest, AConstantThatMayNotStandLeavesTheColumnsAsWritten) {
  const SdmFile sdm =
      sdmOf({asFloats(signal(0), 3.0, 1.0), std::vector<float>(kRows, 2.0f)}, {"A", "Constant"});
  const CrossProducts products = crossProductsOf(sdm);
  const std::vector<bool> standing{true, false};
  const ColumnScales scales = columnScalesOf(products, &standing);
  EXPECT_FALSE(scales.spansConstant);
  EXPECT_NEAR(scales.length(0), std::sqrt(products.gram(0, 0)), 1e-9);
  const Eigen::MatrixXd gram = scaledGram(products, scales, {0, 1}, {0, 1});
  EXPECT_NEAR(gram(0, 1),
              products.gram(0, 1) / std::sqrt(products.gram(0, 0) * products.gram(1, 1)), 1e-12);
}

}  // namespace
}  // namespace kelvora::analysis
