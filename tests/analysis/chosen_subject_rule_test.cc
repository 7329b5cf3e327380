#include "analysis/chosen_subject_rule.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kelvora::analysis {
namespace {

// A study laid out as BIDS lays it out, one path spelled with '\', and a path no rule but the
// prefix can place.
const std::vector<std::string> kPaths = {
    "D:\\lab\\sub-01\\func\\sub-01_task-faces_run-1_bold.vtc",
    "/lab/sub-01/func/run-2_bold.vtc",
    "/lab/sub-02x/func/run-1_bold.vtc",
    "S09_run1.vtc",
};

std::vector<std::string> subjectsBy(const std::string& text, std::size_t* unplaced = nullptr) {
  std::string error;
  const std::optional<SubjectRule> rule = parseSubjectRule(text, error);
  EXPECT_TRUE(rule) << error;
  if (!rule) return {};
  ChosenSubjects chosen = chooseSubjects(*rule, kPaths, kPaths.size());
  if (unplaced != nullptr) *unplaced = chosen.unplaced;
  return chosen.ids;
}

TEST(ChosenSubjectRuleTest, EachRulePlacesTheSubjectWhereItLooks) {
  using Ids = std::vector<std::string>;
  EXPECT_EQ(subjectsBy("prefix"), (Ids{"sub-01", "run-2", "run-1", "S09"}));
  std::size_t unplaced = 0;
  EXPECT_EQ(subjectsBy("bids", &unplaced), (Ids{"sub-01", "sub-01", "sub-02x", "S09"}));
  EXPECT_EQ(unplaced, 1u);
  EXPECT_EQ(subjectsBy("folder:1"), (Ids{"func", "func", "func", "S09"}));
  EXPECT_EQ(subjectsBy("folder:2", &unplaced), (Ids{"sub-01", "sub-01", "sub-02x", "S09"}));
  EXPECT_EQ(subjectsBy("folder:4", &unplaced), (Ids{"D:", "run-2", "run-1", "S09"}));
  EXPECT_EQ(unplaced, 3u);  // the root of "/lab" has no name
  EXPECT_EQ(subjectsBy("folder:5", &unplaced), (Ids{"sub-01", "run-2", "run-1", "S09"}));
  EXPECT_EQ(unplaced, 4u);
  EXPECT_EQ(subjectsBy(R"(regex:[\\/]sub-(\d+)[\\/])"), (Ids{"01", "01", "run-1", "S09"}));
}

TEST(ChosenSubjectRuleTest, BidsEntityOnlyWhereAnEntityStarts) {
  const std::vector<std::string> paths = {"/a/nosub-01/x_sub-_y.vtc", "/a/sub-7/b/sub-08_r.vtc"};
  std::string error;
  const ChosenSubjects chosen = chooseSubjects(*parseSubjectRule("bids", error), paths, 3);
  EXPECT_EQ(chosen.ids, (std::vector<std::string>{"x", "sub-08", ""}));
  EXPECT_EQ(chosen.unplacedExample, paths[0]);
}

TEST(ChosenSubjectRuleTest, PathsTooLongForTheExpressionKeepTheirPrefix) {
  const std::string longPath = std::string(kMostRegexPathBytes, 'a') + "/sub-01/b_r.vtc";
  std::string error;
  const ChosenSubjects chosen =
      chooseSubjects(*parseSubjectRule("regex:(.*)/", error), {longPath, "x/y_r.vtc"}, 2);
  EXPECT_EQ(chosen.ids, (std::vector<std::string>{"b", "x"}));
  EXPECT_EQ(chosen.unplaced, 1u);
}

TEST(ChosenSubjectRuleTest, WhatIsNoRuleSaysWhy) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"folder:0", "whole number N from 1"},
      {"folder:x", "whole number"},
      {"folder:", "whole number"},
      {"folder:1234567890", "whole number"},
      {"regex:(a", "does not compile"},
      {"regex:a(b)(c)", "it has 2"},
      {"regex:abc", "it has 0"},
      {"Bids", "unknown rule \"Bids\""},
      {"", "unknown rule"},
  };
  for (const auto& [text, reason] : cases) {
    std::string error;
    EXPECT_FALSE(parseSubjectRule(text, error)) << text;
    EXPECT_NE(error.find(reason), std::string::npos) << text << ": " << error;
  }
}

}  // namespace
}  // namespace kelvora::analysis
