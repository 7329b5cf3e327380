#include "analysis/design_rank.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "analysis/cross_products.h"
#include "analysis/singular_spectrum.h"

namespace kelvora::analysis {
namespace {

using Columns = std::vector<std::vector<float>>;

constexpr int kPoints = 120;
constexpr double kPi = 3.14159265358979323846;

// Smooth, clearly independent columns: a slow cosine, a faster sine, a ramp and a box-car.
std::vector<float> wave(int which) {
  std::vector<float> column(kPoints);
  for (int t = 0; t < kPoints; ++t) {
    const double x = static_cast<double>(t) / kPoints;
    switch (which) {
      case 0:
        column[t] = static_cast<float>(std::cos(2 * kPi * x));
        break;
      case 1:
        column[t] = static_cast<float>(std::sin(6 * kPi * x));
        break;
      case 2:
        column[t] = static_cast<float>(x - 0.5);
        break;
      default:
        column[t] = (t / 10) % 2 == 0 ? 1.0f : 0.0f;
        break;
    }
  }
  return column;
}

std::vector<float> constant(float value) { return std::vector<float>(kPoints, value); }

std::vector<float> sum(const std::vector<float>& a, const std::vector<float>& b, double wa = 1.0,
                       double wb = 1.0) {
  std::vector<float> column(a.size());
  for (std::size_t t = 0; t < a.size(); ++t) {
    column[t] = static_cast<float>(wa * a[t] + wb * b[t]);
  }
  return column;
}

SdmFile sdmOf(const Columns& columns) {
  SdmFile sdm;
  sdm.fileVersion = 1;
  sdm.nrOfPredictors = static_cast<std::int32_t>(columns.size());
  sdm.nrOfDataPoints = columns.empty() ? 0 : static_cast<std::int32_t>(columns[0].size());
  sdm.values = columns;
  for (std::size_t p = 0; p < columns.size(); ++p)
    sdm.predictorNames.push_back("P" + std::to_string(p + 1));
  return sdm;
}

std::vector<std::vector<std::int32_t>> exactGroups(const RankCheck& check) {
  std::vector<std::vector<std::int32_t>> groups;
  for (const Dependency& d : check.dependencies) {
    if (d.kind == DependencyKind::kRankDeficient) groups.push_back(d.predictors);
  }
  return groups;
}

std::vector<Dependency> nearOnes(const RankCheck& check) {
  std::vector<Dependency> found;
  for (const Dependency& d : check.dependencies) {
    if (d.kind == DependencyKind::kNearDependent) found.push_back(d);
  }
  return found;
}

using Groups = std::vector<std::vector<std::int32_t>>;

TEST(DesignRankTest, IndependentPredictorsAndConstantAreFullRank) {
  const RankCheck check = checkRank(sdmOf({wave(0), wave(1), wave(2), wave(3), constant(1)}));
  EXPECT_EQ(check.columns, 5);
  EXPECT_EQ(check.rank, 5);
  EXPECT_TRUE(check.fullRank());
  EXPECT_TRUE(check.dependencies.empty());
  EXPECT_GT(check.conditionNumber, 1.0);
  EXPECT_LT(check.conditionNumber, kNearDependencyCondition);
}

TEST(DesignRankTest, PredictorThatIsTheSumOfTwoOthersFormsOneDependencyWithThem) {
  // Rounded to 32-bit floats, as an SDM holds it: still found within the tolerance.
  const RankCheck check =
      checkRank(sdmOf({wave(0), wave(1), wave(2), sum(wave(0), wave(2), 0.3, 2.5), constant(1)}));
  EXPECT_EQ(check.rank, 4);
  EXPECT_FALSE(check.fullRank());
  EXPECT_EQ(exactGroups(check), (Groups{{0, 2, 3}}));
  EXPECT_TRUE(nearOnes(check).empty());
}

TEST(DesignRankTest, DuplicatedColumnNamesTheLaterCopyAsDependent) {
  const RankCheck check = checkRank(sdmOf({wave(1), wave(0), wave(3), wave(0)}));
  EXPECT_EQ(check.rank, 3);
  ASSERT_EQ(exactGroups(check), (Groups{{1, 3}}));
  EXPECT_EQ(check.dependencies[0].dependent, 3);
}

TEST(DesignRankTest, ConstantPredictorBesideTheConstantIsDependent) {
  const RankCheck check = checkRank(sdmOf({wave(0), constant(2.5f), wave(1), constant(1)}));
  EXPECT_EQ(check.rank, 3);
  EXPECT_EQ(exactGroups(check), (Groups{{1, 3}}));
}

TEST(DesignRankTest, AllZeroColumnIsADependencyOfItsOwn) {
  const RankCheck check = checkRank(sdmOf({wave(0), constant(0), wave(1), constant(1)}));
  EXPECT_EQ(check.rank, 3);
  ASSERT_EQ(exactGroups(check), (Groups{{1}}));
  EXPECT_EQ(check.dependencies[0].dependent, 1);
  // The other columns are examined as usual.
  EXPECT_LT(check.conditionNumber, kNearDependencyCondition);
}

TEST(DesignRankTest, SeveralDependenciesAreReportedByDependentColumn) {
  const RankCheck check =
      checkRank(sdmOf({wave(0), wave(1), wave(0), constant(0), sum(wave(1), wave(3)), wave(3)}));
  EXPECT_EQ(check.rank, 3);
  EXPECT_EQ(exactGroups(check), (Groups{{0, 2}, {3}, {1, 4, 5}}));
}

TEST(DesignRankTest, MoreColumnsThanDataPointsCannotBeFullRank) {
  SdmFile sdm = sdmOf({{1, 0}, {0, 1}, {1, 1}});
  const RankCheck check = checkRank(sdm);
  EXPECT_EQ(check.rank, 2);
  EXPECT_EQ(exactGroups(check), (Groups{{0, 1, 2}}));
}

// Two unit-length columns at cosine c have condition number sqrt((1 + c) / (1 - c)); a third,
// orthogonal column lies between the two singular values and changes nothing.
Columns designWithCondition(double kappa) {
  const double c = (kappa * kappa - 1) / (kappa * kappa + 1);
  const double s = std::sqrt(1 - c * c);
  const std::vector<float> a = wave(0);  // cos and sin of the same frequency: orthogonal
  std::vector<float> b(kPoints);
  std::vector<float> third(kPoints);
  for (int t = 0; t < kPoints; ++t) {
    b[t] = static_cast<float>(std::sin(2 * kPi * t / kPoints));
    third[t] = static_cast<float>(std::cos(4 * kPi * t / kPoints));
  }
  return {a, sum(a, b, c, s), third};
}

TEST(DesignRankTest, NearDependencyJustAboveTheThresholdIsReportedWithItsPredictors) {
  const RankCheck check = checkRank(sdmOf(designWithCondition(kNearDependencyCondition * 1.02)));
  EXPECT_TRUE(check.fullRank());
  EXPECT_NEAR(check.conditionNumber, kNearDependencyCondition * 1.02, 0.5);
  const std::vector<Dependency> near = nearOnes(check);
  ASSERT_EQ(near.size(), 1u);
  EXPECT_EQ(near[0].predictors, (std::vector<std::int32_t>{0, 1}));
  EXPECT_EQ(near[0].dependent, -1);
  EXPECT_GT(near[0].conditionIndex, kNearDependencyCondition);
}

// From the cross-products, a design they prove of full rank is checked without the QR, and
// every other one falls back to it: either way the check is the QR's, to rounding.
TEST(DesignRankTest, CheckFromTheCrossProductsAgreesWithTheQr) {
  for (const Columns& columns :
       {designWithCondition(kNearDependencyCondition * 1.02), designWithCondition(900.0),
        designWithCondition(5000.0), Columns{wave(0), wave(1), wave(0), constant(0), wave(3)}}) {
    const SdmFile sdm = sdmOf(columns);
    const CrossProducts products = crossProductsOf(sdm);
    const RankCheck fromQr = checkRank(sdm);
    const RankCheck fromProducts = checkRank(sdm, &products);
    EXPECT_EQ(fromProducts.rank, fromQr.rank);
    EXPECT_NEAR(fromProducts.conditionNumber, fromQr.conditionNumber,
                1e-7 * fromQr.conditionNumber);
    ASSERT_EQ(fromProducts.dependencies.size(), fromQr.dependencies.size());
    for (std::size_t i = 0; i < fromQr.dependencies.size(); ++i) {
      EXPECT_EQ(fromProducts.dependencies[i].predictors, fromQr.dependencies[i].predictors);
      EXPECT_NEAR(fromProducts.dependencies[i].conditionIndex,
                  fromQr.dependencies[i].conditionIndex, 1e-7 * fromQr.conditionNumber);
    }
  }
}

TEST(DesignRankTest, TwoNearDependenciesOfEqualStrengthAreReportedEachWithItsOwnPair) {
  // The pair above again in frequencies orthogonal to it: its singular values twice over.
  const Columns pair = designWithCondition(kNearDependencyCondition * 3);
  std::vector<float> faster(kPoints);
  std::vector<float> fasterShifted(kPoints);
  for (int t = 0; t < kPoints; ++t) {
    faster[t] = static_cast<float>(std::cos(8 * kPi * t / kPoints));
    fasterShifted[t] = static_cast<float>(std::sin(8 * kPi * t / kPoints));
  }
  const double c = pair[1][0];  // the second column's cosine with the first
  const std::vector<Dependency> near = nearOnes(checkRank(
      sdmOf({pair[0], pair[1], faster, sum(faster, fasterShifted, c, std::sqrt(1 - c * c))})));
  ASSERT_EQ(near.size(), 2u);
  Groups pairs = {near[0].predictors, near[1].predictors};
  std::sort(pairs.begin(), pairs.end());
  EXPECT_EQ(pairs, (Groups{{0, 1}, {2, 3}}));
}

TEST(DesignRankTest, RepeatedSmallSingularValueGivesTwoOrthogonalVectors) {
  const Eigen::MatrixXd r = Eigen::Vector4d(1.0, 1.0, 1e-3, 1e-3).asDiagonal();
  const SingularSpectrum spectrum = singularSpectrum(r, kNearDependencyCondition);
  ASSERT_EQ(spectrum.nearlyVanishing.size(), 2u);
  const Eigen::VectorXd& first = spectrum.nearlyVanishing[0].vector;
  const Eigen::VectorXd& second = spectrum.nearlyVanishing[1].vector;
  EXPECT_NEAR(first.dot(second), 0.0, 1e-9);
  EXPECT_NEAR(first.head(2).norm() + second.head(2).norm(), 0.0, 1e-9);
  EXPECT_NEAR(spectrum.conditionNumber, 1000.0, 1e-6);
}

TEST(DesignRankTest, NearDependencyJustBelowTheThresholdIsNotReported) {
  const RankCheck check = checkRank(sdmOf(designWithCondition(kNearDependencyCondition * 0.98)));
  EXPECT_TRUE(check.fullRank());
  EXPECT_NEAR(check.conditionNumber, kNearDependencyCondition * 0.98, 0.5);
  EXPECT_TRUE(check.dependencies.empty());
}

TEST(DesignRankTest, ScaleOfAPredictorDoesNotMatter) {
  // Millimetres or metres: the same design after scaling each column to unit length.
  std::vector<float> tiny = wave(1);
  for (float& v : tiny) v *= 1e-4f;
  const RankCheck scaled = checkRank(sdmOf({wave(0), tiny, constant(1)}));
  const RankCheck plain = checkRank(sdmOf({wave(0), wave(1), constant(1)}));
  EXPECT_TRUE(scaled.fullRank());
  EXPECT_NEAR(scaled.conditionNumber, plain.conditionNumber, 1e-3);
}

TEST(DesignRankTest, NonFiniteColumnIsLeftOutAndEmptyDesignHasNothingToReport) {
  std::vector<float> broken = wave(1);
  broken[5] = std::nanf("");
  const RankCheck check = checkRank(sdmOf({wave(0), broken, constant(1)}));
  EXPECT_EQ(check.columns, 2);
  EXPECT_EQ(check.rank, 2);
  EXPECT_TRUE(check.dependencies.empty());

  const RankCheck empty = checkRank(sdmOf({}));
  EXPECT_EQ(empty.columns, 0);
  EXPECT_TRUE(empty.dependencies.empty());
}

// The work n p^2 bounds the check, not only the width: 2000 columns of 1001 data points are
// beyond the budget and skipped at once, saying how large the design was.
TEST(DesignRankTest, DesignBeyondTheWorkBudgetIsSkippedWithItsSize) {
  EXPECT_TRUE(withinRankCheckBudget(1000, 2000));
  EXPECT_FALSE(withinRankCheckBudget(1001, 2000));
  EXPECT_FALSE(withinRankCheckBudget(1, kRankCheckMaxColumns + 1));
  const RankCheck check = checkRank(sdmOf(Columns(2000, std::vector<float>(1001, 1.0f))));
  EXPECT_TRUE(check.skipped);
  EXPECT_FALSE(check.fullRank());
  EXPECT_EQ(check.rows, 1001);
  EXPECT_EQ(check.columns, 2000);
  EXPECT_TRUE(check.dependencies.empty());
}

// Packed, a dependency reads back exactly: columns far apart (several bytes each), columns close
// together (held as a bitmap), a dependent column, and a condition index that no decimal rendering
// would keep; a copy holds its own bytes.
TEST(DesignRankTest, PackedDependenciesReadBackExactly) {
  const std::vector<Dependency> made = {{DependencyKind::kRankDeficient, 200, {0, 200, 70000}, 0.0},
                                        {DependencyKind::kNearDependent, -1, {3, 4}, 140.1 / 3},
                                        {DependencyKind::kRankDeficient, 0, {0}, 0.0},
                                        {DependencyKind::kNearDependent,
                                         -1,
                                         {9, 10, 11, 13, 17, 18, 19, 20, 21, 22, 23, 24, 25, 31},
                                         1e3 / 7}};
  DependencyList original(made);
  const DependencyList list = original;
  original = DependencyList();
  ASSERT_EQ(list.size(), 4u);
  std::size_t i = 0;
  for (const Dependency& read : list) {
    EXPECT_EQ(read.kind, made[i].kind);
    EXPECT_EQ(read.dependent, made[i].dependent);
    EXPECT_EQ(read.predictors, made[i].predictors);
    EXPECT_EQ(read.conditionIndex, made[i].conditionIndex);
    ++i;
  }
  EXPECT_EQ(i, 4u);
  EXPECT_EQ(list[2].predictors, std::vector<std::int32_t>{0});
}

}  // namespace
}  // namespace kelvora::analysis
