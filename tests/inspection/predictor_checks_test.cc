#include "inspection/predictor_checks.h"

#include <gtest/gtest.h>

#include <limits>

#include "check_test_support.h"

namespace kelvora {
namespace {

using testing::kept;
using testing::sdm;
using testing::textsOf;
using Lines = std::vector<std::string>;

std::vector<SdmFile> withCounts(std::vector<std::int32_t> counts) {
  std::vector<SdmFile> sdms;
  const char* files[] = {"a.sdm", "b.sdm", "c.sdm", "d.sdm"};
  for (std::size_t i = 0; i < counts.size(); ++i) {
    sdms.push_back(sdm(files[i], {"P1", "P2", "P3", "P4", "P5", "P6"}, counts[i]));
  }
  return sdms;
}

Lines countLines(const std::vector<SdmFile>& files) {
  const std::vector<CondensedSdm> sdms = kept(files);
  return textsOf(countReport(checkPredictorCounts(sdms), sdms));
}

Lines nameLines(const std::vector<SdmFile>& files, std::int64_t n) {
  const std::vector<CondensedSdm> sdms = kept(files);
  return textsOf(nameReport(checkPredictorNames(sdms, n), sdms));
}

const char kCountsDiffer[] =
    "Kelvora>  Not all SDMs have the same number of predictors of interest";
const char kNamesDiffer[] =
    "Kelvora>  Not all SDMs have the same names for the predictors of interest:";
const char kNamesMatch[] = "Kelvora>  The names for the predictors of interest all match";

TEST(CountCheckTest, ListsTheSdmsThatDifferFromThePrevailingCount) {
  EXPECT_EQ(countLines(withCounts({4, 4, 5})),
            (Lines{kCountsDiffer, "Kelvora>  Most SDMs have 4 predictors of interest, except:",
                   "!!!  5 in c.sdm"}));
  EXPECT_EQ(countLines(withCounts({5, 4, 4})),
            (Lines{kCountsDiffer, "Kelvora>  Most SDMs have 4 predictors of interest, except:",
                   "!!!  5 in a.sdm"}));
  EXPECT_EQ(countLines(withCounts({4, 5})),
            (Lines{kCountsDiffer, "Kelvora>  Most SDMs have 5 predictors of interest, except:",
                   "!!!  4 in a.sdm"}));
  EXPECT_EQ(countLines(withCounts({3, 3, 4, 5})),
            (Lines{kCountsDiffer, "Kelvora>  Most SDMs have 4 predictors of interest, except:",
                   "!!!  3 in a.sdm", "!!!  3 in b.sdm", "!!!  5 in d.sdm"}));
}

TEST(CountCheckTest, DeviationsAreFindingsWithBothCounts) {
  const auto sdms = kept(withCounts({4, 4, 5}));
  const Report report = countReport(checkPredictorCounts(sdms), sdms);
  ASSERT_TRUE(report.back().finding);
  const Finding& found = *report.back().finding;
  EXPECT_EQ(found.code, FindingCode::kPredictorCountMismatch);
  EXPECT_EQ(found.severity, Severity::kError);
  EXPECT_EQ(found.path, "D:/study/c.sdm");
  EXPECT_EQ(found.found, FindingValue{std::int64_t{5}});
  EXPECT_EQ(found.prevailing, FindingValue{std::int64_t{4}});
  EXPECT_EQ(found.line, "!!!  5 in c.sdm");
  EXPECT_FALSE(report.front().finding);
}

TEST(CountCheckTest, AgreementOnZeroOrAnOutOfRangeCount) {
  EXPECT_EQ(countLines(withCounts({0, 0})),
            Lines{"Kelvora>  All SDMs have 0 predictors of interest"});
  auto sdms = kept(withCounts({0, 0}));
  for (CondensedSdm& one : sdms) {
    one.firstConfoundPredictor = std::numeric_limits<std::int32_t>::min();
  }
  const CountCheck check = checkPredictorCounts(sdms);
  EXPECT_TRUE(check.agree);
  EXPECT_EQ(check.n, -2147483649LL);  // no 32-bit overflow
  EXPECT_EQ(textsOf(countReport(check, sdms)),
            Lines{"Kelvora>  All SDMs have -2147483649 predictors of interest"});
  // n below 0 compares nothing.
  EXPECT_EQ(textsOf(nameReport(checkPredictorNames(sdms, check.n), sdms)), Lines{kNamesMatch});
}

TEST(NameCheckTest, ListsTheSdmsThatDifferFromThePrevailingName) {
  EXPECT_EQ(nameLines({sdm("a.sdm", {"Faces"}, 1), sdm("b.sdm", {"Houses"}, 1)}, 1),
            (Lines{kNamesDiffer,
                   "Kelvora>  Predictor number 1 is mostly named \"Houses\", but it is named:",
                   "!!!  Faces in a.sdm"}));
  EXPECT_EQ(nameLines({sdm("a.sdm", {"X", "Faces"}, 2), sdm("b.sdm", {"X", "Houses"}, 2),
                       sdm("c.sdm", {"X", "Tools"}, 2)},
                      2),
            (Lines{kNamesDiffer,
                   "Kelvora>  Predictor number 2 is mostly named \"Houses\", but it is named:",
                   "!!!  Faces in a.sdm", "!!!  Tools in c.sdm"}));
}

TEST(NameCheckTest, CaseAndBlanksCountAndEveryDifferingPredictorIsListed) {
  const std::vector<CondensedSdm> sdms =
      kept({sdm("a.sdm", {"Face", "House", ""}, 3), sdm("b.sdm", {"face", "House ", ""}, 3),
            sdm("c.sdm", {"Face", "House", "Tool"}, 3)});
  const NameCheck check = checkPredictorNames(sdms, 3);
  EXPECT_EQ(textsOf(nameReport(check, sdms)),
            (Lines{kNamesDiffer,
                   "Kelvora>  Predictor number 1 is mostly named \"Face\", but it is named:",
                   "!!!  face in b.sdm",
                   "Kelvora>  Predictor number 2 is mostly named \"House\", but it is named:",
                   "!!!  House  in b.sdm",
                   "Kelvora>  Predictor number 3 is mostly named \"\", but it is named:",
                   "!!!  Tool in c.sdm"}));
  const Report report = nameReport(check, sdms);
  const Finding& found = *report.back().finding;
  EXPECT_EQ(found.code, FindingCode::kPredictorNameMismatch);
  EXPECT_EQ(found.predictorNumber, 3);
  EXPECT_EQ(found.found, FindingValue{std::string("Tool")});
  EXPECT_EQ(found.prevailing, FindingValue{std::string("")});
}

TEST(NameCheckTest, OnlyPredictorsOfInterestAreCompared) {
  EXPECT_EQ(
      nameLines({sdm("a.sdm", {"Faces", "Motion"}, 1), sdm("b.sdm", {"Faces", "Drift"}, 1)}, 1),
      Lines{kNamesMatch});
  EXPECT_EQ(nameLines({sdm("a.sdm", {"Faces"}, 1)}, 1), Lines{kNamesMatch});
}

TEST(NameCheckTest, SdmsSharingAListOfNamesCountEachAndTheDeviationsStopAtTheirMost) {
  std::vector<SdmFile> files;
  for (const char* name : {"Faces", "Houses", "Faces", "Houses", "Houses"}) {
    files.push_back(
        sdm(std::string(1, static_cast<char>('a' + files.size())) + ".sdm", {name, "Motion"}, 2));
  }
  const std::vector<CondensedSdm> sdms = kept(files);
  ASSERT_EQ(sdms[0].names.identity(), sdms[2].names.identity());
  const NameCheck all = checkPredictorNames(sdms, 1);
  ASSERT_EQ(all.mismatches.size(), 1u);
  EXPECT_EQ(all.mismatches[0].prevailing, "Houses");
  EXPECT_EQ(all.mismatches[0].deviatingStudies, (std::vector<std::size_t>{0, 2}));
  EXPECT_EQ(checkPredictorNames(sdms, 1, 1).mismatches[0].deviatingStudies,
            std::vector<std::size_t>{0});
}

TEST(NameCheckTest, AMissingNameIsNoNameAndNothingBeyondTheSdmsIsRead) {
  // b.sdm holds one name while n says two: its second name counts as "NoName".
  EXPECT_EQ(nameLines({sdm("a.sdm", {"Faces", "Houses"}, 2), sdm("b.sdm", {"Faces"}, 2)}, 2),
            (Lines{kNamesDiffer,
                   "Kelvora>  Predictor number 2 is mostly named \"NoName\", but it is named:",
                   "!!!  Houses in a.sdm"}));
  // Two billion predictors of interest among two names: nothing beyond the names is compared.
  const NameCheck huge = checkPredictorNames(
      kept({sdm("a.sdm", {"F", "G"}, 2), sdm("b.sdm", {"F", "G"}, 2)}), 2000000000);
  EXPECT_TRUE(huge.agree);
}

}  // namespace
}  // namespace kelvora
