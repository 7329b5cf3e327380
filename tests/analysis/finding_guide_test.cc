#include "analysis/finding_guide.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "analysis/finding_policy.h"

namespace kelvora::analysis {
namespace {

// The guide and the codes findings carry are one set: a new code without an entry, or an entry
// whose code no finding carries, fails here.
TEST(FindingGuideTest, EveryCodeAFindingCarriesHasOneEntryAndNoEntryMore) {
  std::set<std::string> guide;
  for (const GuideEntry& entry : guideEntries()) {
    EXPECT_TRUE(guide.insert(std::string(entry.code)).second) << entry.code;
    // A researcher reads each entry in the same three steps.
    for (const char* step : {"\n\nFound: ", "\n\nWhy it matters: ", "\n\nWhat to do: "}) {
      EXPECT_NE(entry.text.find(step), std::string_view::npos) << entry.code << step;
    }
  }
  const std::vector<std::string>& known = knownFindingCodes();
  EXPECT_EQ(guide, std::set<std::string>(known.begin(), known.end()));
}

TEST(FindingGuideTest, EntriesAreFoundByTheirExactCodeOnly) {
  ASSERT_NE(guideEntryOf("ZERO_CONFOUND"), nullptr);
  EXPECT_EQ(guideEntryOf("ZERO_CONFOUND")->summary,
            "A confound predictor is zero throughout a run.");
  EXPECT_EQ(guideEntryOf("zero_confound"), nullptr);
  EXPECT_EQ(guideEntryOf(""), nullptr);
}

TEST(FindingGuideTest, AnUnknownCodeIsRefusedWithTheNearestCodes) {
  EXPECT_EQ(unknownCodeSentence("zero_acros"),
            "no finding has the code \"zero_acros\"; did you mean ZERO_ACROSS_RUNS?");
  EXPECT_EQ(unknownCodeSentence("HIGH_VIFF"),
            "no finding has the code \"HIGH_VIFF\"; did you mean HIGH_VIF?");
  // Held in longer codes, nearest first in the guide's order, at most three.
  const std::vector<std::string_view> contrast = nearestGuideCodes("CONTRAST");
  ASSERT_EQ(contrast.size(), 3u);
  EXPECT_EQ(contrast[0], "CONTRAST_PREDICTOR_MISSING");
  EXPECT_EQ(unknownCodeSentence("XYZ"),
            "no finding has the code \"XYZ\" (doc/findings.md lists every code)");
}

}  // namespace
}  // namespace kelvora::analysis
