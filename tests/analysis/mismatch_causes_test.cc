#include "analysis/mismatch_causes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace kelvora::analysis {
namespace {

using Names = std::vector<std::string>;

// The summaries view their paths.
constexpr const char* kRunPaths[] = {"run0", "run1", "run2"};

// The cause codes found when the last of three runs has `odd` and the others `usual` (all names,
// the first `interest` of interest), by predictor number (0 for a count).
std::vector<std::pair<std::string, std::int64_t>> causesOf(const Names& usual, const Names& odd,
                                                           std::int64_t interest,
                                                           std::int64_t oddInterest) {
  std::vector<SdmSummary> runs(3);
  for (std::size_t i = 0; i < runs.size(); ++i) {
    runs[i].path = kRunPaths[i];
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

// FirstConfoundPredictor - 1 as a hostile header may state it, far beyond any SDM's columns.
constexpr std::int64_t kFarInterest = 2147483646;

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

TEST(MismatchCausesTest, SdmsSharingAListAreToldItsCausesEachByItsOwnName) {
  std::vector<SdmSummary> runs(5);
  const char* paths[] = {"D:/a/run0.sdm", "D:/a/run1.sdm", "D:/a/run2.sdm", "D:/b/odd.sdm",
                         "D:/b/odd again.sdm"};
  for (std::size_t i = 0; i < runs.size(); ++i) {
    runs[i].path = paths[i];
    runs[i].read = true;
    runs[i].interestCount = 2;
  }
  runs[0].names = Names{"Faces", "Houses"};
  runs[1].names = runs[2].names = runs[0].names;
  runs[3].names = Names{"Face", "Houses"};
  runs[4].names = runs[3].names;  // one list, shared
  const std::vector<const SdmSummary*> sdms{&runs[0], &runs[1], &runs[2], &runs[3], &runs[4]};
  const std::vector<MismatchCause> causes = nameCauses(sdms, 2);
  ASSERT_EQ(causes.size(), 2u);
  EXPECT_EQ(causes[0].text, "odd.sdm: \"Face\" for \"Faces\" (predictor 1) is probably a typo");
  EXPECT_EQ(causes[1].path, "D:/b/odd again.sdm");
  EXPECT_EQ(causes[1].text, "odd again.sdm" + causes[0].text.substr(7));
  EXPECT_EQ(nameCauses(sdms, 2, 1).size(), 1u);
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
  EXPECT_EQ(causesOf(usual, usual, kFarInterest, kFarInterest - 1),
            (Found{{"CONFOUND_BOUNDARY", 0}}));
}

TEST(MismatchCausesTest, InterestCountBeyondTheColumnsGivesTheCausesOfAllColumns) {
  const Names usual{"Cue", "Faces", "Houses", "Scrambled", "Constant"};
  for (const Names& odd : {Names{"Cue", "Houses", "Faces", "Scrambled", "Constant"},
                           Names{"Cue", "Houses", "Scrambled", "Constant", "Drift"},
                           Names{"Cue", "Face", "Houses", "scrambled", "Constant"}}) {
    const Found clamped = causesOf(usual, odd, 5, 5);
    EXPECT_FALSE(clamped.empty());
    EXPECT_EQ(causesOf(usual, odd, kFarInterest, kFarInterest), clamped);
  }
}

TEST(MismatchCausesTest, SwappedNamesPairWithTheirFirstPartner) {
  std::vector<SdmSummary> runs(3);
  for (std::size_t i = 0; i < runs.size(); ++i) {
    runs[i].path = kRunPaths[i];
    runs[i].names = i == 2 ? Names{"Red", "Green", "Blue", "Red", "Green"}
                           : Names{"Green", "Red", "Blue", "Green", "Red"};
  }
  std::vector<std::string> texts;
  for (const MismatchCause& cause : nameCauses({&runs[0], &runs[1], &runs[2]}, 5)) {
    texts.push_back(cause.text.substr(0, cause.text.find(':', 6)));
  }
  EXPECT_EQ(texts, (std::vector<std::string>{"run2: probably predictors 1 and 2 are swapped",
                                             "run2: probably predictors 1 and 2 are swapped",
                                             "run2: probably predictors 2 and 4 are swapped",
                                             "run2: probably predictors 1 and 5 are swapped"}));
}

TEST(MismatchCausesTest, NamesBeyondTheCapGetNoCauseOfTheirOwnButCanBeSwapped) {
  const std::string atCap(kMostNameBytesExamined, 'a');
  const std::string pastCap = atCap + "a";
  const auto endingIn = [](std::string name, char last) {
    name.back() = last;
    return name;
  };
  EXPECT_EQ(causesOf({"Cue", atCap}, {"Cue", endingIn(atCap, 'A')}, 2, 2),
            (Found{{"CASE_ONLY", 2}}));
  EXPECT_EQ(causesOf({"Cue", atCap}, {"Cue", endingIn(atCap, 'b')}, 2, 2), (Found{{"TYPO", 2}}));
  EXPECT_EQ(causesOf({"Cue", pastCap}, {"Cue", endingIn(pastCap, 'A')}, 2, 2), Found{});
  EXPECT_EQ(causesOf({"Cue", pastCap}, {"Cue", endingIn(pastCap, 'b')}, 2, 2), Found{});
  EXPECT_EQ(causesOf({pastCap, "Cue", "Faces"}, {"Cue", pastCap, "Faces"}, 3, 3),
            (Found{{"SWAPPED", 1}, {"SWAPPED", 2}}));
}

TEST(MismatchCausesTest, EditDistanceStopsPastItsLimit) {
  EXPECT_EQ(editDistance("Faces", "Face", 2), 1u);
  EXPECT_EQ(editDistance("Neutral", "Netural", 2), 1u);
  EXPECT_EQ(editDistance("Neutral", "Nuetarl", 2), 2u);
  EXPECT_EQ(editDistance("Cue", "Houses", 2), 3u);
}

// The whole table, rows of every length: what the band must agree with.
std::size_t fullEditDistance(const std::string& a, const std::string& b) {
  std::vector<std::vector<std::size_t>> d(a.size() + 1, std::vector<std::size_t>(b.size() + 1));
  for (std::size_t i = 0; i <= a.size(); ++i) {
    for (std::size_t j = 0; j <= b.size(); ++j) {
      if (i == 0 || j == 0) {
        d[i][j] = i + j;
        continue;
      }
      d[i][j] = std::min(
          {d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
      }
    }
  }
  return d[a.size()][b.size()];
}

TEST(MismatchCausesTest, BandedEditDistanceAgreesWithTheWholeTableAtTheBandsEdge) {
  std::mt19937 draw(20240607);  // its raw output is the same on every platform
  const auto word = [&draw] {
    std::string text(draw() % 9, 'a');
    for (char& c : text) c = static_cast<char>('a' + draw() % 3);
    return text;
  };
  for (int pair = 0; pair < 2000; ++pair) {
    const std::string a = word(), b = word();
    const std::size_t distance = fullEditDistance(a, b);
    for (std::size_t limit = 0; limit <= 4; ++limit) {
      EXPECT_EQ(editDistance(a, b, limit), std::min(distance, limit + 1))
          << '"' << a << "\" \"" << b << "\" limit " << limit;
    }
  }
  // Far from the start of long names, and a limit beyond any distance.
  const std::string name(5000, 'x');
  EXPECT_EQ(editDistance(name + "ab", name + "ba", 2), 1u);
  EXPECT_EQ(editDistance("a" + name + "bc", "b" + name + "cb", 2), 2u);
  EXPECT_EQ(editDistance("a" + name + "bcd", "b" + name + "cbe", 2), 3u);
  EXPECT_EQ(editDistance(name, name + "abc", 2), 3u);
  EXPECT_EQ(editDistance("abc", "", 1000), 3u);
}

}  // namespace
}  // namespace kelvora::analysis
