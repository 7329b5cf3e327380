#include "analysis/sdm_design_maker.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "analysis/design_rank.h"
#include "analysis/sdm_summary.h"

namespace kelvora::analysis {
namespace {

constexpr int kPoints = 40;

// Two predictors read whole; `zeroSecond`: the second is zero throughout (rank 1, not 2).
SdmFile sdmOf(const std::string& path, bool zeroSecond) {
  SdmFile sdm;
  sdm.fileVersion = 1;
  sdm.path = path;
  sdm.nrOfPredictors = 2;
  sdm.nrOfDataPoints = kPoints;
  sdm.firstConfoundPredictor = 2;
  sdm.predictorNames = {"Faces", "Houses"};
  sdm.values.assign(2, std::vector<float>(kPoints, 0.0f));
  for (int t = 0; t < kPoints; ++t) {
    sdm.values[0][t] = static_cast<float>(t % 7);
    if (!zeroSecond) sdm.values[1][t] = static_cast<float>((t * t) % 5);
  }
  sdm.notes.namesFound = 2;
  sdm.notes.valuesRead = 2 * kPoints;
  return sdm;
}

TEST(SdmDesignMaker, DesignsMadeInAnyOrderAreTakenInStudyOrderAndEachOnlyOnce) {
  SdmDesignMaker maker(false);
  maker.make(2, sdmOf("c.sdm", true));
  maker.make(0, sdmOf("a.sdm", false));
  EXPECT_FALSE(maker.made(1));
  EXPECT_THROW(maker.takeDesigns(3), std::logic_error);
  maker.make(1, sdmOf("b.sdm", false));
  const std::vector<SdmDesign> designs = maker.takeDesigns(3);
  ASSERT_EQ(designs.size(), 3u);
  EXPECT_EQ(designs[0].rank.rank, 2);
  EXPECT_EQ(designs[2].rank.rank, 1);
  EXPECT_FALSE(maker.made(0));
}

TEST(SdmDesignMaker, ARankCheckIsReusedOnlyForTheContentItWasMadeOf) {
  SdmDesignMaker maker(false);
  maker.make(0, sdmOf("run.sdm", false));
  maker.make(0, sdmOf("run.sdm", true));  // replaced: its first content's check is forgotten
  maker.make(1, sdmOf("run.sdm", false));
  maker.make(2, sdmOf("run.sdm", true));
  const std::vector<SdmDesign> designs = maker.takeDesigns(3);
  EXPECT_EQ(designs[0].rank.rank, 1);
  EXPECT_EQ(designs[1].rank.rank, 2);
  EXPECT_EQ(designs[2].rank.rank, 1);
}

TEST(SdmSummary, HoldsOnlyNotesThatSayMoreThanTheNamesAndDataPoints) {
  SdmSummary summary;
  summary.read = true;
  summary.names = std::vector<std::string>{"Faces", "Houses"};
  summary.dataPoints = kPoints;
  SdmReadNotes noticed;
  noticed.namesFound = 2;
  noticed.valuesRead = 2 * kPoints;
  summary.setNotes(noticed);
  EXPECT_EQ(summary.notes().valuesRead, 2 * kPoints);
  EXPECT_FALSE(readIncompletely(summary));

  noticed.valuesRead = 2 * kPoints - 3;
  noticed.unreadIndex = noticed.valuesRead;
  noticed.unreadText = "1,5";
  summary.setNotes(noticed);
  EXPECT_EQ(summary.notes().unreadText, "1,5");
  EXPECT_EQ(summary.notes().unreadIndex, 2 * kPoints - 3);
  EXPECT_TRUE(readIncompletely(summary));
}

// 40 predictors of 3 data points: rank 3, so 37 columns are combinations of others. Listed
// thousands of times, such an SDM would print every one of them each time.
TEST(SdmDesignMaker, AWideDesignListsSixteenDependenciesAndCountsTheRest) {
  SdmFile wide;
  wide.path = "wide.sdm";
  wide.nrOfPredictors = 40;
  wide.nrOfDataPoints = 3;
  wide.firstConfoundPredictor = 41;
  for (int p = 0; p < 40; ++p) {
    wide.predictorNames.push_back("P" + std::to_string(p));
    wide.values.push_back({static_cast<float>(p % 7), static_cast<float>(p * p % 11), 1.0f});
  }
  wide.notes.namesFound = 40;
  wide.notes.valuesRead = 120;
  SdmDesignMaker maker(false);
  maker.make(0, wide);
  maker.make(1, wide);  // the same content again: its check is taken over, listed the same
  const std::vector<SdmDesign> designs = maker.takeDesigns(2);
  for (const SdmDesign& design : designs) {
    EXPECT_EQ(design.rank.rank, 3);
    EXPECT_EQ(design.rank.dependencies.size(), kMostListedDependencies);
    EXPECT_EQ(design.rank.unlisted, 37 - static_cast<int>(kMostListedDependencies));
    EXPECT_TRUE(design.warnings.items().empty());  // wider than long: the rank check alone
  }
}

}  // namespace
}  // namespace kelvora::analysis
