#include "mismatch_causes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kelvora::diagnostics {
namespace {

using Names = std::vector<std::string>;

// The cause codes found when the last of three runs has `odd` and the others `usual` (all names,
// the first `interest` of interest), by predictor number (0 for a count).
std::vector<std::pair<std::string, std::int64_t>> causesOf(const Names& usual, const Names& odd,
                                                           std::int64_t interest,
                                                           std::int64_t oddInterest) {
  std::vector<SdmSummary> runs(3);
  for (std::size_t i = 0; i < runs.size(); ++i) {
    runs[i].path = "run" + std::to_string(i);
    runs[i].read = true;
    runs[i].names = i == 2 ? odd : usual;
    runs[i].interestCount = i == 2 ? oddInterest : interest;
  }
  const std::vector<const SdmSummary*> sdms{&runs[0], &runs[1], &runs[2]};
  const auto causes =
      oddInterest == interest ? nameCauses(sdms, interest) : countCauses(sdms, interest);
  std::vector<std::pair<std::string, std::int64_t>> found;
  for (const MismatchCause& cause : causes) {
    found.emplace_back(causeCodeName(cause.code), cause.predictorNumber.value_or(0));
  }
  return found;
}

using Found = std::vector<std::pair<std::string, std::int64_t>>;

TEST(MismatchCausesTest, NameCausesAndNoGuess) {
  const Names usual{"Cue", "Faces", "Houses", "Scrambled", "Constant"};
  EXPECT_EQ(causesOf(usual, {"Car", "Faces", "Houses", "Scrambled", "Constant"}, 4, 4), Found{});
  EXPECT_EQ(causesOf(usual, {"Cue", "Face", "Houses", "Scrambled", "Constant"}, 4, 4),
            (Found{{"TYPO", 2}}));
  EXPECT_EQ(causesOf(usual, {"Cue", "Faces", " Houses", "Scrambled", "Constant"}, 4, 4),
            (Found{{"BLANKS_ONLY", 3}}));
  EXPECT_EQ(causesOf(usual, {"Cue", "Houses", "Faces", "Scrambled", "Constant"}, 4, 4),
            (Found{{"SWAPPED", 2}, {"SWAPPED", 3}}));
  EXPECT_EQ(causesOf(usual, {"Cue", "Houses", "Scrambled", "Error", "Constant"}, 4, 4),
            (Found{{"MISSING_PREDICTOR", 2}, {"MISSING_PREDICTOR", 3}, {"MISSING_PREDICTOR", 4}}));
}

TEST(MismatchCausesTest, CountCauses) {
  const Names usual{"Cue", "Faces", "Houses", "Rot Z", "Constant"};
  EXPECT_EQ(causesOf(usual, usual, 3, 2), (Found{{"CONFOUND_BOUNDARY", 0}}));
  EXPECT_EQ(causesOf(usual, usual, 3, 4), (Found{{"CONFOUND_BOUNDARY", 0}}));
  EXPECT_EQ(causesOf(usual, {"Cue", "Houses", "Rot Z", "Constant"}, 3, 2),
            (Found{{"MISSING_PREDICTOR", 0}}));
  EXPECT_EQ(causesOf(usual, {"Cue", "Faces", "Extra", "Houses", "Rot Z", "Constant"}, 3, 4),
            (Found{{"EXTRA_PREDICTOR", 0}}));
  EXPECT_EQ(causesOf(usual, {"A", "B", "Rot Z", "Constant"}, 3, 2), Found{});
}

TEST(MismatchCausesTest, EditDistanceStopsPastItsLimit) {
  EXPECT_EQ(editDistance("Faces", "Face", 2), 1u);
  EXPECT_EQ(editDistance("Neutral", "Netural", 2), 1u);
  EXPECT_EQ(editDistance("Neutral", "Nuetarl", 2), 2u);
  EXPECT_EQ(editDistance("Cue", "Houses", 2), 3u);
}

}  // namespace
}  // namespace kelvora::diagnostics
