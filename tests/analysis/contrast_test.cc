#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "analysis/contrast_study.h"
#include "analysis/contrast_subject.h"
#include "analysis/cross_products.h"
#include "analysis/design_rank.h"
#include "analysis/sdm_design_maker.h"

namespace kelvora::analysis {
namespace {

// Two centred orthogonal patterns, each of squared length 8, and a constant: with A and B as
// written, c (X'X)^-1 c' of A - B is 1/8 + 1/8.
const std::vector<float> kA{1, -1, 1, -1, 1, -1, 1, -1};
const std::vector<float> kB{1, 1, -1, -1, 1, 1, -1, -1};
const std::vector<float> kOne(8, 1.0f);
const std::vector<float> kZero(8, 0.0f);

std::vector<float> sum(const std::vector<float>& a, const std::vector<float>& b) {
  std::vector<float> column;
  for (std::size_t t = 0; t < a.size(); ++t) column.push_back(a[t] + b[t]);
  return column;
}

struct Column {
  std::string name;
  std::vector<float> values;
};

class ContrastTest : public ::testing::Test {
 protected:
  // Adds a run of `subject` with `columns`, the last of them the constant (a confound).
  void addRun(const std::string& subject, const std::vector<Column>& columns) {
    runs.push_back(columns);
    const std::size_t study = runs.size() - 1;
    if (groups.empty() || groups.back().id != subject) groups.push_back({subject, {}});
    groups.back().studies.push_back(study);
  }

  StudyContrasts evaluate(const std::vector<std::string>& expressions) {
    DesignQuestions questions;
    for (const std::string& expression : expressions) {
      std::string error;
      questions.contrasts.push_back(*parseContrastExpression(expression, error));
    }
    SdmDesignMaker maker(false, questions);
    information.clear();
    designs = StudyDesigns();
    for (std::size_t study = 0; study < runs.size(); ++study) {
      SdmFile sdm;
      sdm.fileVersion = 1;
      sdm.nrOfPredictors = static_cast<std::int32_t>(runs[study].size());
      sdm.nrOfDataPoints = 8;
      sdm.includesConstant = 1;
      sdm.firstConfoundPredictor = sdm.nrOfPredictors;
      for (const Column& column : runs[study]) {
        sdm.predictorNames.push_back(column.name);
        sdm.values.push_back(column.values);
      }
      maker.make(study, sdm);
    }
    for (std::size_t study = 0; study < runs.size(); ++study) {
      information.push_back(maker.takeContrastInformation(study));
    }
    designs.sdms = maker.takeDesigns(runs.size());
    for (std::size_t study = 0; study < runs.size(); ++study) {
      designs.mdm.sdmPaths.push_back("run-" + std::to_string(study + 1) + ".sdm");
    }
    for (std::size_t study = 0; study < runs.size(); ++study) {
      designs.sdms[study].path = designs.mdm.sdmPaths[study];
    }
    return evaluateContrasts(questions.contrasts, kLowEfficiencyFraction, designs, information,
                             groups);
  }

  std::vector<std::string> codes(const StudyContrasts& contrasts) const {
    std::vector<std::string> found;
    for (const ContrastFinding& finding : contrasts.findings) {
      found.push_back(std::string(contrastCodeName(finding.code)) + " " + finding.text);
    }
    return found;
  }

  std::vector<std::vector<Column>> runs;
  std::vector<SubjectGroup> groups;
  StudyDesigns designs;
  std::vector<SharedContrastInformation> information;
};

TEST(ContrastWeightsTest, ExpressionTermsSignsFactorsAndNamesWithBlanks) {
  std::string error;
  const auto contrast = parseContrastExpression("Faces + Rot-X - 2*Scrambled - 0.5 * Rot Y", error);
  ASSERT_TRUE(contrast) << error;
  const std::vector<std::pair<std::string_view, double>> expected{
      {"Faces", 1.0}, {"Rot-X", 1.0}, {"Scrambled", -2.0}, {"Rot Y", -0.5}};
  EXPECT_EQ(contrast->weights, expected);
  EXPECT_FALSE(parseContrastExpression("Faces - Faces", error));
  EXPECT_EQ(error, "contrast \"Faces - Faces\" weighs no predictor");
  EXPECT_FALSE(parseContrastExpression("Faces - ", error));
}

TEST(ContrastWeightsTest, TableWithEmptyCellsAndItsErrorsByLine) {
  std::string error;
  const auto table = parseContrastTable(
      "contrast\tFaces\tHouses\r\nFaces - Houses\t1\t-1\r\n\nFaces\t1\t\n", error);
  ASSERT_TRUE(table) << error;
  ASSERT_EQ(table->size(), 2u);
  EXPECT_EQ((*table)[1].weights,
            (std::vector<std::pair<std::string_view, double>>{{"Faces", 1.0}}));
  EXPECT_FALSE(parseContrastTable("name\tFaces\n", error));
  EXPECT_EQ(error,
            "line 1: the header does not begin with \"contrast\": a contrast table is "
            "tab-separated (\"contrast\", then each predictor name after a tab)");
  EXPECT_FALSE(parseContrastTable("contrast,Faces,Houses\nFaces - Houses,1,-1\n", error));
  EXPECT_EQ(error,
            "line 1: the header is separated by commas or semicolons, but a contrast table is "
            "tab-separated (\"contrast\", then each predictor name after a tab)");
  EXPECT_FALSE(parseContrastTable("contrast\tFaces\nx\tone\n", error));
  EXPECT_EQ(error, "line 2: \"one\" is not a number");
  EXPECT_FALSE(parseContrastTable("contrast\tFaces\nx\t1\t2\n", error));
  EXPECT_EQ(error, "line 2: more cells than the header");
}

// A table of a few hundred KiB may name tens of thousands of predictors or rows: each run and
// subject would keep a matrix of the names squared and a row per contrast.
TEST(ContrastWeightsTest, ACallAsksBoundedContrastsOfBoundedNames) {
  std::string error;
  std::string header = "contrast";
  std::string row = "all";
  for (std::size_t n = 0; n < kMostContrastedNames + 1; ++n) {
    header += "\tP" + std::to_string(n);
    row += "\t1";
  }
  const auto wide = parseContrastTable(header + "\n" + row + "\n", error);
  ASSERT_TRUE(wide) << error;
  EXPECT_EQ(contrastSetError(*wide),
            "the contrasts weigh 65 predictor names; at most 64 are taken "
            "at once");
  std::vector<Contrast> many;
  for (std::size_t c = 0; c < kMostContrasts; ++c) {
    many.push_back(*parseContrastExpression("P" + std::to_string(c % 8), error));
    many.back().name = "c" + std::to_string(c);
  }
  EXPECT_EQ(contrastSetError(many), std::nullopt);
  many.push_back(many.front());
  EXPECT_EQ(contrastSetError(many), "contrast \"c0\" is given twice");
  many.back().name = "one more";
  EXPECT_EQ(contrastSetError(many), "101 contrasts are asked; at most 100 are taken at once");
}

// A table of a long header name weighed in every row keeps one copy of it, and stops at the
// first contrast beyond the most a call takes rather than read the rest.
TEST(ContrastWeightsTest, TableRowsShareTheHeadersNamesAndTheTableStopsBeyondTheMost) {
  const std::string name(1000, 'N');
  std::string text = "contrast\t" + name + "\tB\n";
  for (std::size_t row = 0; row < kMostContrasts; ++row) {
    text += "c" + std::to_string(row) + "\t1\t-1\n";
  }
  std::string error;
  const auto table = parseContrastTable(text, error);
  ASSERT_TRUE(table) << error;
  ASSERT_EQ(table->size(), kMostContrasts);
  EXPECT_EQ(table->back().weights.front().first, name);
  EXPECT_EQ(table->back().weights.front().first.data(),
            table->front().weights.front().first.data());
  EXPECT_FALSE(parseContrastTable(text + "one more\t1\n" + "x\tnot read\n", error));
  EXPECT_EQ(error, "line 102: more than 100 contrasts; at most 100 are taken at once");
}

// Cells reach the library as they are: no quoting, blanks, tabs and line ends kept in names.
TEST(ContrastWeightsTest, CellsKeepTheirNamesAsTheyAre) {
  const double empty = std::nan("");
  std::string error;
  const auto contrasts = contrastsOfCells(
      {"Faces\t1", " Houses"}, {{"say \"hi\"", {1.0, -1.0}}, {"two\nlines", {empty, 2.0}}}, error);
  ASSERT_TRUE(contrasts) << error;
  EXPECT_EQ((*contrasts)[0].name, "say \"hi\"");
  EXPECT_EQ((*contrasts)[0].weights, (std::vector<std::pair<std::string_view, double>>{
                                         {"Faces\t1", 1.0}, {" Houses", -1.0}}));
  EXPECT_EQ((*contrasts)[1].name, "two\nlines");
  EXPECT_EQ((*contrasts)[1].weights.size(), 1u);
  EXPECT_FALSE(contrastsOfCells({"A"}, {{"x", {HUGE_VAL}}}, error));
  EXPECT_EQ(error, "row 1: the weight of predictor \"A\" is not finite");
  EXPECT_FALSE(contrastsOfCells({"A", "A"}, {{"x", {1.0, 1.0}}}, error));
  EXPECT_EQ(error, "header: predictor \"A\" is named twice");
  EXPECT_FALSE(contrastsOfCells({"A"}, {{"x", {1.0}}, {"x", {2.0}}}, error));
  EXPECT_EQ(error, "row 2: contrast \"x\" is named twice");
}

// The information of a design of full rank three ways: through the rank check's proof, through
// a Cholesky factor's own bound (no check at hand), and through the eigen-decomposition that a
// design without full rank needs; all three give M to rounding.
TEST(ContrastInformationTest, EveryRouteGivesTheSameInformation) {
  SdmFile sdm;
  sdm.nrOfPredictors = 4;
  sdm.nrOfDataPoints = 8;
  sdm.predictorNames = {"A", "B", "C", "Constant"};
  sdm.values = {kA, kB, sum(kA, std::vector<float>{0, 1, 0, 0, 2, 0, 0, 3}), kOne};
  const CrossProducts products = crossProductsOf(sdm);
  const std::vector<std::string> names{"A", "B"};
  const RankCheck proven = checkRank(sdm, &products);
  ASSERT_TRUE(proven.fullRank());
  RankCheck unknown;
  unknown.skipped = true;
  const ContrastInformation byProof = contrastInformationOf(products, sdm, names, proven);
  const ContrastInformation byBound = contrastInformationOf(products, sdm, names, unknown);
  EXPECT_TRUE(byProof.unit().isApprox(byBound.unit(), 1e-12));
  // The same two names beside a duplicated column: the duplicate drops out of B'B's inverse.
  sdm.nrOfPredictors = 5;
  sdm.predictorNames.push_back("C again");
  sdm.values.push_back(sdm.values[2]);
  const CrossProducts twice = crossProductsOf(sdm);
  const ContrastInformation byEigen =
      contrastInformationOf(twice, sdm, names, checkRank(sdm, &twice));
  EXPECT_TRUE(byProof.unit().isApprox(byEigen.unit(), 1e-9));
}

// With more predictors of interest than it keeps, an SDM keeps the K x K information of its
// contrasted names after all its other columns, ((X'X)^-1)_KK inverted on the design as the rank
// check takes it (beside the constant, every other column centred, then scaled to unit length),
// and its subject's information is not made.
TEST(ContrastInformationTest, AnSdmOfManyPredictorsOfInterestKeepsItsContrastedNamesOnly) {
  const auto interest = static_cast<Eigen::Index>(kMostKeptInterest + 1);
  const Eigen::Index rows = interest + 20;
  SdmFile sdm;
  sdm.nrOfPredictors = static_cast<std::int32_t>(interest + 1);
  sdm.firstConfoundPredictor = sdm.nrOfPredictors;
  Eigen::MatrixXd scaled(rows, interest + 1);
  for (Eigen::Index j = 0; j <= interest; ++j) {
    sdm.predictorNames.push_back("T" + std::to_string(j));
    std::vector<float> column;
    for (Eigen::Index t = 0; t < rows; ++t) {
      column.push_back(j == interest ? 1.0f
                                     : static_cast<float>((t * (j + 3)) % 7 + (t == j ? 9 : 0)));
      scaled(t, j) = column.back();
    }
    sdm.values.push_back(column);
    if (j != interest) scaled.col(j).array() -= scaled.col(j).mean();
    scaled.col(j).normalize();
  }
  const CrossProducts products = crossProductsOf(sdm);
  RankCheck unknown;
  unknown.skipped = true;
  const ContrastInformation information =
      contrastInformationOf(products, sdm, {"T4", "T1"}, unknown);
  EXPECT_FALSE(information.interestKept);
  EXPECT_EQ(information.packed.size(), 3u);
  const Eigen::MatrixXd inverse = (scaled.transpose() * scaled).inverse();
  const std::vector<Eigen::Index> named{4, 1};
  EXPECT_TRUE(information.unit().isApprox(inverse(named, named).inverse(), 1e-9));
  SdmDesign design;
  const SubjectInformation subject = subjectInformationOf(
      {0}, {std::make_shared<const ContrastInformation>(information)}, {design}, {"T4", "T1"});
  EXPECT_FALSE(subject.solver);
}

TEST_F(ContrastTest, ARunWithFewerRowsThanColumnsIsNullWhereItsWeighedPredictorIsZero) {
  addRun("s1", {{"Faces", {0, 0, 0}},
                {"Houses", {1, 0, 2}},
                {"Bodies", {0, 3, 1}},
                {"Constant", {1, 1, 1}}});
  const StudyContrasts found = evaluate({"Faces", "Houses"});
  EXPECT_TRUE(found.results[0].runs[0].estimate.null);
  EXPECT_FALSE(found.results[0].runs[0].estimate.estimable);  // not checked: too wide
  EXPECT_FALSE(found.results[1].runs[0].estimate.null);
  EXPECT_EQ(found.results[0].subjects[0].nullRuns, 1u);
  EXPECT_EQ(codes(found), (std::vector<std::string>{
                              "CONTRAST_NULL_IN_RUN run-1.sdm: contrast \"Faces\" is null in this "
                              "run: every predictor it weighs is absent or zero"}));
}

// The subject's efficiency is that of the multi-run model: the runs stacked, one beta per
// predictor of interest across them (S shared, T1 and T2 each in one run), a constant per run.
// Asking other contrasts beside it changes none of its bits when they add no name of one run
// only, and its value to rounding when they do.
TEST_F(ContrastTest, ASubjectIsTheMultiRunModelWhateverElseIsAsked) {
  const std::vector<float> s1{1, 2, 0, 1, 3, 0, 2, 1};
  const std::vector<float> t1{0, 1, 0, 0, 2, 0, 0, 3};
  const std::vector<float> a2{1, 0, 1, 0, 1, 2, 1, 0};
  const std::vector<float> s2{2, 1, 1, 0, 0, 1, 3, 1};
  const std::vector<float> t2{1, 0, 0, 2, 0, 1, 0, 0};
  addRun("s1", {{"A", kA}, {"B", kB}, {"S", s1}, {"T1", t1}, {"Constant", kOne}});
  addRun("s1", {{"B", kB}, {"A", a2}, {"S", s2}, {"T2", t2}, {"Constant", kOne}});
  // Columns A, B, S, T1, T2, constant 1, constant 2.
  Eigen::MatrixXd stacked = Eigen::MatrixXd::Zero(16, 7);
  for (Eigen::Index t = 0; t < 8; ++t) {
    stacked.row(t) << kA[t], kB[t], s1[t], t1[t], 0, 1, 0;
    stacked.row(8 + t) << a2[t], kB[t], s2[t], 0, t2[t], 0, 1;
  }
  Eigen::VectorXd c = Eigen::VectorXd::Zero(7);
  c(0) = 1;
  c(1) = -1;
  const double expected = 1.0 / c.dot((stacked.transpose() * stacked).inverse() * c);
  const double alone = evaluate({"A - B"}).results[0].subjects[0].estimate.efficiency;
  EXPECT_NEAR(alone, expected, 1e-9 * expected);
  EXPECT_EQ(evaluate({"S", "A - B", "B"}).results[1].subjects[0].estimate.efficiency, alone);
  EXPECT_NEAR(evaluate({"T1", "A - B"}).results[1].subjects[0].estimate.efficiency, alone,
              1e-12 * alone);
}

TEST_F(ContrastTest, EfficiencyOfAnOrthogonalDesignByHand) {
  addRun("s1", {{"A", kA}, {"B", kB}, {"Constant", kOne}});
  const StudyContrasts found = evaluate({"A - B"});
  const ContrastEstimate& run = found.results[0].runs[0].estimate;
  ASSERT_TRUE(run.estimable.value_or(false));
  EXPECT_NEAR(run.efficiency, 4.0, 1e-9);  // 1 / (1/8 + 1/8)
  EXPECT_NEAR(run.normalisedStd, 0.5, 1e-9);
  EXPECT_NEAR(run.unitEfficiency, 0.5, 1e-9);  // unit columns: 1 / (1 + 1)
  EXPECT_TRUE(found.findings.empty());
}

TEST_F(ContrastTest, ContrastInTheNullSpaceIsNotEstimableOneOrthogonalToItIs) {
  // C = A + B: the null space is (1, 1, -1); A - B is orthogonal to it, A + B - C is inside it.
  addRun("s1", {{"A", kA}, {"B", kB}, {"C", sum(kA, kB)}, {"Constant", kOne}});
  const StudyContrasts found = evaluate({"A - B", "A + B - C", "A"});
  EXPECT_NEAR(found.results[0].runs[0].estimate.efficiency, 4.0, 1e-6);
  EXPECT_FALSE(found.results[1].runs[0].estimate.estimable.value_or(true));
  EXPECT_FALSE(found.results[2].runs[0].estimate.estimable.value_or(true));
  ASSERT_EQ(found.findings.size(), 4u);
  EXPECT_EQ(found.findings[0].code, ContrastCode::kNotEstimable);
  EXPECT_EQ(found.findings[0].text,
            "run-1.sdm: contrast \"A + B - C\" cannot be estimated: its weights are not "
            "orthogonal to the design's null space");
  EXPECT_EQ(found.findings[1].code, ContrastCode::kNotEstimableForSubject);
}

TEST_F(ContrastTest, ReorderedRunsOfASubjectAddTheirInformationByName) {
  addRun("s1", {{"A", kA}, {"B", kB}, {"Constant", kOne}});
  addRun("s1", {{"B", kB}, {"A", kA}, {"Constant", kOne}});
  const StudyContrasts found = evaluate({"A - B"});
  EXPECT_NEAR(found.results[0].runs[1].estimate.efficiency, 4.0, 1e-9);
  const ContrastSubject& subject = found.results[0].subjects[0];
  EXPECT_EQ(subject.runs, 2u);
  EXPECT_NEAR(subject.estimate.efficiency, 8.0, 1e-9);  // 1 / (1/16 + 1/16)
  EXPECT_NEAR(*subject.estimate.relativeEfficiency, 1.0, 1e-12);
}

TEST_F(ContrastTest, ConditionAbsentOrZeroInARunAndASubjectLeftWithout) {
  addRun("s1", {{"A", kA}, {"B", kB}, {"Constant", kOne}});
  addRun("s1", {{"A", kA}, {"Constant", kOne}});
  addRun("s2", {{"A", kA}, {"B", kZero}, {"Constant", kOne}});
  const StudyContrasts found = evaluate({"A - B", "B"});
  // s1 estimates A - B from its first run and the A of both: 1 / (1/16 + 1/8).
  EXPECT_NEAR(found.results[0].subjects[0].estimate.efficiency, 1.0 / 0.1875, 1e-9);
  EXPECT_EQ(found.results[1].subjects[1].nullRuns, 1u);
  EXPECT_EQ(codes(found),
            (std::vector<std::string>{
                "CONTRAST_PREDICTOR_MISSING run-2.sdm: no predictor \"B\" for contrast \"A - B\" "
                "(likely a missing condition)",
                "CONTRAST_NOT_ESTIMABLE run-3.sdm: contrast \"A - B\" cannot be estimated: "
                "predictor 2 \"B\" is zero throughout",
                "CONTRAST_NOT_ESTIMABLE_FOR_SUBJECT subject \"s2\": contrast \"A - B\" cannot be "
                "estimated from its 1 run; it drops out of the contrast's group analysis (1 of 2 "
                "subjects remain)",
                "CONTRAST_NULL_IN_RUN run-2.sdm: contrast \"B\" is null in this run: every "
                "predictor it weighs is absent or zero",
                "CONTRAST_NULL_IN_RUN run-3.sdm: contrast \"B\" is null in this run: every "
                "predictor it weighs is absent or zero",
                "CONTRAST_NOT_ESTIMABLE_FOR_SUBJECT subject \"s2\": contrast \"B\" cannot be "
                "estimated from its 1 run; it drops out of the contrast's group analysis (1 of 2 "
                "subjects remain)"}));
}

// Listings of one content share its information, and their estimates and findings are each
// listing's own, as are those of a subject whose runs repeat another's.
TEST_F(ContrastTest, AnSdmListedAgainAndASubjectRepeatedAreEvaluatedAsTheFirst) {
  const std::vector<Column> both{{"A", kA}, {"B", kB}, {"Constant", kOne}};
  const std::vector<Column> withoutB{{"A", kA}, {"B", kZero}, {"Constant", kOne}};
  for (const char* subject : {"s1", "s2"}) {
    addRun(subject, both);
    addRun(subject, withoutB);
  }
  addRun("s3", withoutB);
  const StudyContrasts found = evaluate({"A - B"});
  EXPECT_EQ(information[2].get(), information[0].get());
  EXPECT_EQ(information[4].get(), information[1].get());
  const ContrastResult& result = found.results[0];
  ASSERT_EQ(result.runs.size(), 5u);
  EXPECT_EQ(result.runs[2].study, 2u);
  EXPECT_EQ(result.runs[2].estimate.efficiency, result.runs[0].estimate.efficiency);
  EXPECT_NEAR(result.runs[2].estimate.efficiency, 4.0, 1e-9);
  EXPECT_EQ(result.subjects[1].estimate.efficiency, result.subjects[0].estimate.efficiency);
  EXPECT_EQ(result.estimableSubjects, 2u);
  std::vector<std::string> notEstimable;
  for (const ContrastFinding& finding : found.findings) {
    if (finding.code == ContrastCode::kNotEstimable) notEstimable.push_back(finding.text);
  }
  EXPECT_EQ(notEstimable.size(), 3u);
  EXPECT_EQ(notEstimable.back().substr(0, 10), "run-5.sdm:");
}

TEST_F(ContrastTest, NameNoSdmHasOffersTheNearest) {
  addRun("s1", {{"Houses", kA}, {"Faces", kB}, {"Constant", kOne}});
  addRun("s1", {{"Houses", kA}, {"Face", kB}, {"Constant", kOne}});
  evaluate({"Faces"});
  std::string error;
  EXPECT_EQ(unknownContrastName({*parseContrastExpression("Faces - Housse", error)}, designs),
            "contrast \"Faces - Housse\": no SDM has a predictor \"Housse\"; did you mean "
            "\"Houses\"?");
  EXPECT_FALSE(unknownContrastName({*parseContrastExpression("Faces", error)}, designs));
  const StudyContrasts found = evaluate({"Faces"});
  ASSERT_EQ(found.findings.size(), 2u);  // then CONTRAST_NULL_IN_RUN of run 2
  EXPECT_EQ(found.findings[0].text,
            "run-2.sdm: no predictor \"Faces\" for contrast \"Faces\" (likely a typo: it has "
            "predictor 2 \"Face\")");
}

}  // namespace
}  // namespace kelvora::analysis
