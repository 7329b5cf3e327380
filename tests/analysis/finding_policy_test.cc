#include "analysis/finding_policy.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "analysis/finding_policy_file.h"
#include "analysis/finding_record.h"

namespace kelvora::analysis {
namespace {

FindingPolicy parsed(const std::string& text) {
  FindingPolicy policy;
  std::string error;
  EXPECT_TRUE(addPolicyConfig(text, policy, error)) << error;
  return policy;
}

std::string refusal(const std::string& text) {
  FindingPolicy policy;
  std::string error;
  EXPECT_FALSE(addPolicyConfig(text, policy, error));
  EXPECT_TRUE(policy.empty());
  return error;
}

TEST(FindingPolicyTest, GlobsMatchFileNamesOrTrailingComponents) {
  EXPECT_TRUE(fileGlobMatches("sub-*_run-3.sdm", "/data/study/sub-01_run-3.sdm"));
  EXPECT_TRUE(fileGlobMatches("sub-0?_run-3.sdm", "C:\\study\\sub-01_run-3.sdm"));
  EXPECT_FALSE(fileGlobMatches("sub-*_run-3.sdm", "/data/sub-01_run-3.sdm.bak"));
  EXPECT_FALSE(fileGlobMatches("sub-*.sdm", "/data/sub-01/run.sdm"));
  EXPECT_TRUE(fileGlobMatches("sub-01/*.sdm", "/data/sub-01/run-1.sdm"));
  EXPECT_FALSE(fileGlobMatches("sub-01/*.sdm", "/data/xsub-01/run-1.sdm"));
  EXPECT_FALSE(fileGlobMatches("data/*.sdm", "/data/sub-01/run-1.sdm"));
  EXPECT_TRUE(fileGlobMatches("data/**.sdm", "/data/sub-01/run-1.sdm"));
  EXPECT_TRUE(fileGlobMatches("/data/**/run-1.sdm", "/data/a/b/run-1.sdm"));
  EXPECT_FALSE(fileGlobMatches("/a/run-1.sdm", "/data/a/run-1.sdm"));
  EXPECT_TRUE(fileGlobMatches("*", "run.sdm"));
  EXPECT_FALSE(fileGlobMatches("RUN.sdm", "run.sdm"));
}

TEST(FindingPolicyTest, StarsAndLongGlobsMatchAsTheyRead) {
  EXPECT_TRUE(fileGlobMatches("a/***/b.sdm", "/x/a/1/2/b.sdm"));  // a run of stars is its widest
  EXPECT_FALSE(fileGlobMatches("a/*/b.sdm", "/x/a/1/2/b.sdm"));
  EXPECT_TRUE(fileGlobMatches("a/*/b.sdm", "/x/a/1/b.sdm"));
  EXPECT_TRUE(fileGlobMatches("a\\*?*\\b.sdm", "/x/a/1/b.sdm"));
  EXPECT_FALSE(fileGlobMatches("a/*?*/b.sdm", "/x/a//b.sdm"));
  EXPECT_TRUE(fileGlobMatches("**", "/x/a/b.sdm"));
  // Globs of more than 64 steps carry their states across words.
  const std::string folder(100, 'f');
  EXPECT_TRUE(
      fileGlobMatches(folder + "/*" + folder + "*.sdm", "/d/" + folder + "/x" + folder + ".sdm"));
  EXPECT_FALSE(fileGlobMatches(folder + "/*" + folder + "*.sdm",
                               "/d/" + folder + "/x" + folder.substr(1) + ".sdm"));
  EXPECT_TRUE(fileGlobMatches("?" + folder + "?", "a" + folder + "b"));
  EXPECT_FALSE(fileGlobMatches("?" + folder + "?", "a" + folder));
}

TEST(FindingPolicyTest, IgnoreWinsOverErrorOverWarningOverNote) {
  const FindingPolicy policy = parsed(R"({
    "note": ["HIGH_VIF"],
    "warning": [{"code": "HIGH_VIF", "file": "*run-2.sdm"}],
    "error": [{"code": "HIGH_VIF", "file": "sub-01*"}],
    "ignore": [{"code": "HIGH_VIF", "file": "sub-01_run-2.sdm"}]})");
  EXPECT_EQ(policy.actionFor("HIGH_VIF", "/d/sub-01_run-2.sdm"), PolicyAction::kIgnore);
  EXPECT_EQ(policy.actionFor("HIGH_VIF", "/d/sub-01_run-1.sdm"), PolicyAction::kError);
  EXPECT_EQ(policy.actionFor("HIGH_VIF", "/d/sub-02_run-2.sdm"), PolicyAction::kWarning);
  EXPECT_EQ(policy.actionFor("HIGH_VIF", "/d/sub-02_run-1.sdm"), PolicyAction::kNote);
  EXPECT_EQ(policy.actionFor("HIGH_VIF", ""), PolicyAction::kNote);
  EXPECT_EQ(policy.actionFor("ZERO_CONFOUND", "/d/sub-01_run-2.sdm"), std::nullopt);
}

// A finding that names several predictors matches a selector only when all of them match it.
TEST(FindingPolicyTest, PredictorSelectorsMatchWhenEveryNamedPredictorDoes) {
  const FindingPolicy policy = parsed(R"({
    "note": [{"code": "NEAR_DEPENDENT_DESIGN", "role": "confound"}],
    "ignore": [{"code": "PREDICTOR_CORRELATION", "predictor": "Rot*/?", "role": "confound"}]})");
  const PolicyPredictor rotX{"Rot X", PredictorRole::kConfound};
  const PolicyPredictor rotSlash{"Rot a/b", PredictorRole::kConfound};
  const PolicyPredictor transY{"Trans Y", PredictorRole::kConfound};
  const PolicyPredictor faces{"Faces", PredictorRole::kInterest};
  const PolicyPredictor rotInterest{"Rot a/b", PredictorRole::kInterest};
  EXPECT_EQ(policy.actionFor("NEAR_DEPENDENT_DESIGN", "s.sdm", {rotX, transY}),
            PolicyAction::kNote);
  EXPECT_EQ(policy.actionFor("NEAR_DEPENDENT_DESIGN", "s.sdm", {rotX, faces}), std::nullopt);
  EXPECT_EQ(policy.actionFor("NEAR_DEPENDENT_DESIGN", "s.sdm", {}), std::nullopt);
  // In a name, '/' is a character like any other: '*' and '?' match it.
  EXPECT_EQ(policy.actionFor("PREDICTOR_CORRELATION", "s.sdm", {rotSlash}), PolicyAction::kIgnore);
  EXPECT_EQ(policy.actionFor("PREDICTOR_CORRELATION", "s.sdm", {rotSlash, transY}),
            std::nullopt);
  EXPECT_EQ(policy.actionFor("PREDICTOR_CORRELATION", "s.sdm", {rotInterest}), std::nullopt);
  EXPECT_TRUE(predictorGlobMatches("Rot ?", "Rot /"));
  EXPECT_FALSE(predictorGlobMatches("Rot", "Rot X"));
  EXPECT_EQ(refusal("{\"note\": [{\"code\": \"HIGH_VIF\",\n \"role\": \"nuisance\"}]}"),
            "line 2: unknown role \"nuisance\" (roles: interest, confound)");
  EXPECT_EQ(refusal("{\"note\": [{\"code\": \"HIGH_VIF\", \"predictor\": \"\"}]}"),
            "line 1: an empty \"predictor\" glob");
}

TEST(FindingPolicyTest, PrintedConfigReadsBackToTheSamePolicy) {
  FindingPolicy policy = parsed(R"({"ignore": [{"code": "HIGH_VIF", "file": "sub-*",
                                                "predictor": "F*", "role": "interest"}],
                                    "error": ["PREDICTOR_CORRELATION"]})");
  std::string error;
  ASSERT_TRUE(addIgnoredCode("ZERO_CONFOUND", policy, error));
  const std::string text = policyConfigText(policy);
  EXPECT_EQ(policyConfigText(parsed(text)), text);
  EXPECT_NE(text.find("\"file\": \"sub-*\""), std::string::npos);
  EXPECT_NE(text.find("\"role\": \"interest\""), std::string::npos);
  EXPECT_NE(text.find("\"note\": []"), std::string::npos);
}

TEST(FindingPolicyTest, RefusalsNameTheLineAndTheReason) {
  EXPECT_EQ(refusal("{\n  \"ignore\": [\n    \"HIGH_VIF\"\n    \"ZERO_CONFOUND\"]}").substr(0, 35),
            "line 4: syntax error while parsing ");
  EXPECT_EQ(refusal("{\"ignore\": [\n {\"code\": \"HIGH_VIFF\"}]}"),
            "line 2: unknown code \"HIGH_VIFF\"");
  EXPECT_EQ(refusal("{\n\"ignore\": [],\n\"warnings\": []}"),
            "line 3: unknown key \"warnings\" (keys: ignore, error, warning, note)");
  EXPECT_EQ(refusal("{\"error\": [\n{\"code\": \"HIGH_VIF\", \"files\": \"x\"}]}"),
            "line 2: unknown key \"files\" in a rule");
  EXPECT_EQ(refusal("{\"error\": [{\"file\": \"x\"}]}"), "line 1: a rule without \"code\"");
  EXPECT_EQ(refusal("{\"error\": \"HIGH_VIF\"}"), "line 1: \"error\" is not a list of rules");
  EXPECT_EQ(refusal("[]"),
            "line 1: the config is not an object of \"ignore\", \"error\", \"warning\", \"note\"");
  FindingPolicy policy;
  std::string error;
  EXPECT_FALSE(addIgnoredCode("NO_SUCH_CODE", policy, error));
  EXPECT_EQ(error, "unknown code \"NO_SUCH_CODE\"");
}

TEST(FindingPolicyTest, DeepOrLargeConfigsAreRefusedBeforeTheyAreParsed) {
  const std::string deep = "{\"ignore\":\n" + std::string(100000, '[');
  EXPECT_EQ(refusal(deep), "line 2: nested deeper than 32 levels");
  // Brackets inside strings, escaped quotes among them, are no levels.
  const std::string bracketsInAGlob = std::string(40, '[') + "\\\"" + std::string(40, '{');
  const FindingPolicy policy =
      parsed("{\"ignore\": [{\"code\": \"HIGH_VIF\", \"file\": \"" + bracketsInAGlob + "\"}]}");
  EXPECT_EQ(policy.of(PolicyAction::kIgnore).at(0).fileGlob,
            std::string(40, '[') + "\"" + std::string(40, '{'));
  EXPECT_EQ(refusal("{\"ignore\": [{\"code\": \"HIGH_VIF\", \"file\": \"" +
                    std::string(kMostGlobBytes + 1, 'x') + "\"}]}"),
            "line 1: a \"file\" glob longer than 1024 bytes");
  EXPECT_EQ(refusal(std::string(kMaxPolicyFileBytes + 1, ' ')),
            "line 1: the config is larger than 1048576 bytes");
}

TEST(FindingPolicyTest, EveryKindOfCodeIsKnown) {
  for (const char* code : {"ZERO_ACROSS_RUNS", "SDM_SHORT_MATRIX", "TYPO", "RANK_DEFICIENT_DESIGN",
                           "NEAR_DEPENDENT_DESIGN", "PREDICTOR_CORRELATION_MORE", "HIGH_VIF",
                           "RANK_CHECK_SKIPPED", "DESIGN_DEPENDENCIES_MORE", "SUBJECT_RULE_COUNT",
                           "MDM_NOT_SAVED", "CONTRAST_LOW_EFFICIENCY"}) {
    EXPECT_TRUE(isKnownFindingCode(code)) << code;
  }
  EXPECT_FALSE(isKnownFindingCode("UNKNOWN"));
  EXPECT_FALSE(isKnownFindingCode(""));
}

TEST(FindingPolicyTest, RecordLeavesIgnoredEntriesOutAndCarriesNewSeverities) {
  RunOutcome outcome;
  for (const char* path : {"a/S01.sdm", "a/S02.sdm", "a/S03.sdm"}) {
    Finding finding;
    finding.code = FindingCode::kZeroConfound;
    finding.severity = Severity::kWarning;
    finding.path = path;
    finding.line = std::string("!!!  ") + path;
    outcome.findings.push_back(finding);
  }
  const FindingPolicy policy = parsed(R"({"ignore": [{"code": "ZERO_CONFOUND", "file": "S01.sdm"}],
                                          "note": ["ZERO_CONFOUND"]})");
  const FindingRecord record(outcome, nullptr, &policy);
  std::vector<std::string> seen;
  record.forEach([&](std::size_t index, const RecordEntry& entry) {
    EXPECT_EQ(index, seen.size());
    EXPECT_EQ(entry.severity, RecordSeverity::kNote);
    EXPECT_EQ(entry.text, "!!!  " + entry.file);
    seen.push_back(entry.file);
  });
  EXPECT_EQ(seen, (std::vector<std::string>{"a/S02.sdm", "a/S03.sdm"}));
  EXPECT_EQ(record.worstSeverity(), RecordSeverity::kNote);
  EXPECT_EQ(FindingRecord(outcome, nullptr).worstSeverity(), RecordSeverity::kWarning);
}

}  // namespace
}  // namespace kelvora::analysis
