#include "analysis/linear_regex.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

namespace kelvora::analysis {
namespace {

// What the expression's group 1 takes in `text`, or "<none>".
std::string groupOf(const std::string& pattern, const std::string& text) {
  std::string error;
  const std::optional<LinearRegex> regex = LinearRegex::compile(pattern, error);
  EXPECT_TRUE(regex) << pattern << ": " << error;
  if (!regex) return "<not compiled>";
  const std::optional<std::string_view> group = regex->searchGroup(text, 1);
  return group ? std::string(*group) : "<none>";
}

// The same by a backtracking ECMAScript engine, on inputs too small for its backtracking to hurt.
std::string backtrackingGroupOf(const std::string& pattern, const std::string& text) {
  std::smatch match;
  const std::regex regex(pattern, std::regex::ECMAScript);
  if (!std::regex_search(text, match, regex) || !match[1].matched) return "<none>";
  return match[1].str();
}

TEST(LinearRegexTest, FindsTheGroupAnEcmaScriptSearchFinds) {
  const std::vector<std::string> patterns = {R"([\\/]sub-(\d+)[\\/])",
                                             R"(^(sub-0[12]|sub-03)/)",
                                             R"(run-(\d))",
                                             R"((sub-0[12])_)",
                                             R"((.*)/)",
                                             R"((.*?)/)",
                                             R"(^([^/]+))",
                                             R"((\w+)_run)",
                                             R"((a|ab)(?:c|bcd))",
                                             R"((a*?)a)",
                                             R"((a{2,3}))",
                                             R"((a{2,}?))",
                                             R"(x(a{0,2})x)",
                                             R"((\bsub\b))",
                                             R"(\B(ub))",
                                             R"(([a-c-]+))",
                                             R"(([^\s\d]+)$)",
                                             R"(\x2f(\S+?)\u005f)",
                                             R"((\.vtc)$)",
                                             R"((?:(a)|b)+)",
                                             R"(^(?:(a)|(?:b))*$)",
                                             R"(([\w.]+)\.sdm)",
                                             R"(([]a]))",
                                             R"((\d+|\D+))",
                                             R"(S(\d\d)(?:_|$))",
                                             R"(([\]\\-]+))"};
  const std::vector<std::string> texts = {
      "/lab/sub-01/func/sub-01_task-faces_run-1_bold.vtc",
      "D:\\lab\\sub-02\\run-2.vtc",
      "sub-03/x_run.vtc",
      "aabcd/ab_aaa.sub",
      "S09_run1.vtc",
      "",
      "ba",
      "]]\\-x",
  };
  for (const std::string& pattern : patterns) {
    for (const std::string& text : texts) {
      EXPECT_EQ(groupOf(pattern, text), backtrackingGroupOf(pattern, text))
          << "pattern " << pattern << " on " << text;
    }
  }
}

TEST(LinearRegexTest, ARepeatStopsWhereAnIterationWouldMatchNothing) {
  // As ECMAScript says; the backtracking engine above takes an empty last iteration here.
  EXPECT_EQ(groupOf("(a*)*", "b"), "<none>");
  EXPECT_EQ(groupOf("(a*)*", "aab"), "aa");
  EXPECT_EQ(groupOf("(|a)+", "aab"), "a");
}

TEST(LinearRegexTest, NestedRepeatsTakeTimeLinearInTheText) {
  // A backtracking engine tries some 2^28 ways before it fails here, and recurses once per byte
  // on the second; ctest's timeout guards against a hang.
  EXPECT_EQ(groupOf(R"(^(?:a+)+(b))", std::string(28, 'a') + "!_run-1.vtc"), "<none>");
  EXPECT_EQ(groupOf(R"((.*)*x)", std::string(100000, 'a')), "<none>");
  EXPECT_EQ(groupOf(R"((.*)*x)", std::string(100000, 'a') + "x"), std::string(100000, 'a'));
}

TEST(LinearRegexTest, RefusesWhatItCannotMatchInLinearTimeSayingWhat) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {R"((a)\1)", "backreferences (\\1) are not supported"},
      {R"((?<n>a)\k<n>)", "named groups"},
      {R"((?=a)(b))", "lookahead and lookbehind"},
      {R"((?<!a)(b))", "lookahead and lookbehind"},
      {R"(([[:alpha:]]))", "POSIX classes"},
      {R"((a)", "a '(' without its ')'"},
      {R"(a))", "a ')' without its '('"},
      {R"([a)", "a '[' without its ']'"},
      {R"((z-a)[z-a])", "end comes before its start"},
      {R"(a{1001})", "with m <= n <= 1000"},
      {R"(a{3,2})", "with m <= n <= 1000"},
      {R"(a{2)", "with m <= n <= 1000"},
      {R"(*a)", "nothing to repeat"},
      {R"(a**)", "a repeat of a repeat"},
      {R"(^*)", "a repeat of an anchor"},
      {R"(\q)", "an unknown escape \\q"},
      {R"(\u0100)", "beyond \\u00FF"},
      {R"([\d-z])", "from or to a class escape"},
      {R"(((a{1000}){1000}))", "larger than 4096 steps"},
      {std::string(kMostRegexPatternBytes + 1, 'a'), "longer than 512 bytes"},
      {std::string(65, '(') + std::string(65, ')'), "nested deeper than 64"},
  };
  for (const auto& [pattern, reason] : cases) {
    std::string error;
    EXPECT_FALSE(LinearRegex::compile(pattern, error)) << pattern;
    EXPECT_NE(error.find(reason), std::string::npos) << pattern << ": " << error;
  }
}

TEST(LinearRegexTest, CountsCapturingGroupsOnly) {
  std::string error;
  EXPECT_EQ(LinearRegex::compile(R"((?:a)(b)(?:(c)|d))", error)->groupCount(), 2u);
  EXPECT_EQ(LinearRegex::compile(R"(\(x\))", error)->groupCount(), 0u);
}

}  // namespace
}  // namespace kelvora::analysis
