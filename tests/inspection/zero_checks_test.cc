#include "inspection/zero_checks.h"

#include <gtest/gtest.h>

#include "check_test_support.h"

namespace kelvora {
namespace {

using testing::kept;
using testing::sdm;
using testing::textsOf;
using Lines = std::vector<std::string>;

const char kNoZeroInterest[] =
    "Kelvora>  Did not find any predictors of interest with only zeros across runs";
const char kNoZeroConfound[] = "Kelvora>  Did not find any confound predictors with only zeros";

Lines subjectLines(const std::vector<SdmFile>& files, const std::vector<std::string>& ids,
                   std::int64_t n) {
  const std::vector<CondensedSdm> sdms = kept(files);
  const auto groups = groupSubjects(ids);
  return textsOf(subjectReport(groups, findZeroAcrossRuns(sdms, groups, n), sdms));
}

Lines confoundLines(const std::vector<SdmFile>& files, std::int64_t n) {
  const std::vector<CondensedSdm> sdms = kept(files);
  return textsOf(confoundReport(findZeroConfounds(sdms, n), sdms));
}

TEST(ZeroAcrossRunsTest, ReportsAPredictorOnlyWhenZeroInEveryRunOfTheSubject) {
  const std::vector<SdmFile> sdms{sdm("1.sdm", {"A", "B", "C"}, 3, {1}),
                                  sdm("2.sdm", {"A", "B", "C"}, 3, {1, 2}),
                                  sdm("3.sdm", {"A", "B", "C"}, 3, {1})};
  EXPECT_EQ(subjectLines(sdms, {"S01", "S02", "S01"}, 3),
            (Lines{"Kelvora>  2 unique subjects detected",
                   "!!!  S01, predictor number 2 named \"B\" contains only zeros across runs",
                   "!!!  S02, predictor number 2 named \"B\" contains only zeros across runs",
                   "!!!  S02, predictor number 3 named \"C\" contains only zeros across runs"}));
  // Zero in one of S01's two runs only: nothing for S01.
  EXPECT_EQ(subjectLines({sdm("1.sdm", {"A"}, 1, {0}), sdm("2.sdm", {"A"}, 1)}, {"S01", "S01"}, 1),
            (Lines{"Kelvora>  1 unique subjects detected", kNoZeroInterest}));
}

TEST(ZeroAcrossRunsTest, SubjectsComeInTheOrderOfTheirFirstStudyAndCaseMatters) {
  const std::vector<SdmFile> sdms{
      sdm("1.sdm", {"A", "B", "C"}, 3, {2}), sdm("2.sdm", {"A", "B", "C"}, 3, {0}),
      sdm("3.sdm", {"A", "B", "C"}, 3, {0}), sdm("4.sdm", {"A", "B", "C"}, 3, {2})};
  EXPECT_EQ(subjectLines(sdms, {"S02", "S01", "s01", "S02"}, 3),
            (Lines{"Kelvora>  3 unique subjects detected",
                   "!!!  S02, predictor number 3 named \"C\" contains only zeros across runs",
                   "!!!  S01, predictor number 1 named \"A\" contains only zeros across runs",
                   "!!!  s01, predictor number 1 named \"A\" contains only zeros across runs"}));
}

TEST(ZeroAcrossRunsTest, FindingCarriesSubjectAndPredictor) {
  const std::vector<CondensedSdm> sdms = kept({sdm("1.sdm", {"A", "B"}, 2, {1})});
  const auto groups = groupSubjects({"S07"});
  const Report report = subjectReport(groups, findZeroAcrossRuns(sdms, groups, 2), sdms);
  ASSERT_EQ(report.size(), 2u);
  const Finding& found = *report[1].finding;
  EXPECT_EQ(found.code, FindingCode::kZeroAcrossRuns);
  EXPECT_EQ(found.severity, Severity::kWarning);
  EXPECT_EQ(found.subject, "S07");
  EXPECT_EQ(found.predictorNumber, 2);
  EXPECT_EQ(found.predictorName, "B");
  EXPECT_EQ(found.line, report[1].text);
}

TEST(ZeroAcrossRunsTest, NegativeZeroIsZeroButTheSmallestValuesAreNot) {
  SdmFile one = sdm("1.sdm", {"A", "B", "C"}, 3);
  one.values[0] = {-0.0f, 0.0f, -0.0f};
  one.values[1] = {0.0f, 1e-30f, 0.0f};
  one.values[2] = {0.0f, 0.0f, 1e-45f};  // the smallest denormal
  EXPECT_EQ(subjectLines({one}, {"S01"}, 3),
            (Lines{"Kelvora>  1 unique subjects detected",
                   "!!!  S01, predictor number 1 named \"A\" contains only zeros across runs"}));
}

TEST(ZeroAcrossRunsTest, ColumnsWithoutValuesOrMissingColumnsAreZero) {
  // No data points: every column is zero.
  EXPECT_EQ(subjectLines({sdm("1.sdm", {"A"}, 1, {}, 0)}, {"S01"}, 1).size(), 2u);
  // 2.sdm lacks predictor 2 of the three of interest; its subject alone gets a line for it,
  // named after the first SDM. Nothing beyond the widest SDM is examined, however large n is.
  const std::vector<SdmFile> sdms{sdm("1.sdm", {"A", "B"}, 2), sdm("2.sdm", {"A"}, 2)};
  EXPECT_EQ(subjectLines(sdms, {"S01", "S02"}, 2000000000),
            (Lines{"Kelvora>  2 unique subjects detected",
                   "!!!  S02, predictor number 2 named \"B\" contains only zeros across runs"}));
}

TEST(ZeroConfoundTest, ReportsEachRunByFileNameWithItsOwnNames) {
  const std::vector<SdmFile> sdms{sdm("r1.sdm", {"A", "Motion", "Drift"}, 1, {1}),
                                  sdm("r2.sdm", {"A", "Move", "Drift", "Constant"}, 1, {1, 3}),
                                  sdm("r1.sdm", {"A", "Motion", "Drift"}, 1, {1})};
  EXPECT_EQ(confoundLines(sdms, 1),
            (Lines{"!!!  r1.sdm predictor number 2 named \"Motion\" contains only zeros",
                   "!!!  r2.sdm predictor number 2 named \"Move\" contains only zeros",
                   "!!!  r2.sdm predictor number 4 named \"Constant\" contains only zeros",
                   "!!!  r1.sdm predictor number 2 named \"Motion\" contains only zeros"}));
  const std::vector<CondensedSdm> condensed = kept(sdms);
  const Report report = confoundReport(findZeroConfounds(condensed, 1), condensed);
  const Finding& found = *report[1].finding;
  EXPECT_EQ(found.code, FindingCode::kZeroConfound);
  EXPECT_EQ(found.path, "D:/study/r2.sdm");
  EXPECT_EQ(found.predictorNumber, 2);
  EXPECT_EQ(found.predictorName, "Move");
}

TEST(ZeroConfoundTest, TheRangeOfConfoundsFollowsN) {
  // n = 0: every predictor is a confound, and no predictor is of interest.
  const std::vector<SdmFile> zeroFirst{sdm("r.sdm", {"A", "B"}, 0, {0})};
  EXPECT_EQ(confoundLines(zeroFirst, 0),
            Lines{"!!!  r.sdm predictor number 1 named \"A\" contains only zeros"});
  EXPECT_EQ(subjectLines(zeroFirst, {"S01"}, 0),
            (Lines{"Kelvora>  1 unique subjects detected", kNoZeroInterest}));
  // n below 0 starts the confounds at column 0 too.
  EXPECT_EQ(confoundLines(zeroFirst, -5), confoundLines(zeroFirst, 0));
  // No confound columns at all.
  EXPECT_EQ(confoundLines({sdm("r.sdm", {"A", "B"}, 2, {0, 1})}, 2), Lines{kNoZeroConfound});
}

}  // namespace
}  // namespace kelvora
