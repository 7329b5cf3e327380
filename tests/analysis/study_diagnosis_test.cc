#include "analysis/study_diagnosis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace kelvora::analysis {
namespace {

// Two runs of subject S1 and one of S2, two columns each; S1's first run has its second column
// all zero, the third SDM may name it otherwise.
class StudyDiagnosisTest : public ::testing::Test {
 protected:
  // The findings (code and text) and the causes (code and predictor) when every SDM states
  // `interest` predictors of interest, the third `oddInterest`, after a run that ended in `end`.
  std::vector<std::string> diagnosed(RunEnd end, std::int64_t interest, std::int64_t oddInterest,
                                     const std::string& oddName = "Houses") {
    std::vector<SdmSummary> sdms(3);
    StudyInput study;
    study.mdmPath = "group.mdm";
    for (std::size_t i = 0; i < sdms.size(); ++i) {
      const std::string stem = i < 2 ? "S1_run" + std::to_string(i + 1) : "S2_run1";
      sdms[i].read = true;
      sdms[i].names = std::vector<std::string>{"Faces", i == 2 ? oddName : "Houses"};
      sdms[i].zeroColumns = {false, i == 0};
      sdms[i].interestCount = i == 2 ? oddInterest : interest;
      study.sdmPaths.push_back(stem + ".sdm");
      study.functionalPaths.push_back(stem + ".vtc");
      study.sdms.push_back(&sdms[i]);
    }
    for (std::size_t i = 0; i < sdms.size(); ++i) sdms[i].path = study.sdmPaths[i];
    RunOutcome outcome;
    outcome.end = end;
    outcome.complete = end == RunEnd::kComplete;
    const StudyDiagnosis diagnosis = diagnoseStudy(outcome, study);
    std::vector<std::string> described;
    for (const FurtherFinding& finding : diagnosis.findings) {
      described.push_back(std::string(furtherCodeName(finding.code)) + " " + finding.text);
    }
    for (const MismatchCause& cause : diagnosis.causes) {
      described.push_back(std::string(causeCodeName(cause.code)) + " " +
                          std::to_string(cause.predictorNumber.value_or(0)));
    }
    return described;
  }

  static bool has(const std::vector<std::string>& described, const std::string& start) {
    for (const std::string& line : described) {
      if (line.rfind(start, 0) == 0) return true;
    }
    return false;
  }
};

// FirstConfoundPredictor - 1 as a hostile header may state it, far beyond the two columns.
constexpr std::int64_t kFar = 2147483646;

TEST_F(StudyDiagnosisTest, InterestCountBeyondTheColumnsDiagnosesAsTheColumnsHeld) {
  const auto complete = diagnosed(RunEnd::kComplete, 2, 2);
  EXPECT_TRUE(has(complete, "ZERO_IN_SOME_RUNS"));
  EXPECT_EQ(diagnosed(RunEnd::kComplete, kFar, kFar), complete);

  const auto names = diagnosed(RunEnd::kPredictorNameMismatch, 2, 2, "Huoses");
  EXPECT_TRUE(has(names, "TYPO 2"));
  EXPECT_TRUE(has(names, "ZERO_IN_SOME_RUNS over the 2 SDMs that agree"));
  EXPECT_EQ(diagnosed(RunEnd::kPredictorNameMismatch, kFar, kFar, "Huoses"), names);

  const auto counts = diagnosed(RunEnd::kPredictorCountMismatch, 2, 1);
  EXPECT_TRUE(has(counts, "CONFOUND_BOUNDARY"));
  EXPECT_EQ(diagnosed(RunEnd::kPredictorCountMismatch, kFar, kFar - 1), counts);
}

// Four subjects of 13 runs of 65,536 predictors of interest, 12 runs all zero: 262,144 notes, of
// which the diagnosis lists 250,000 and then says that it stopped; each note names ten runs.
TEST(StudyDiagnosisBoundTest, TheChecksBeyondTheLogStopAtTheirMostAndANoteNamesTenRuns) {
  constexpr std::size_t kColumns = 65536;
  std::vector<SdmSummary> runs(13);
  StudyInput study;
  study.mdmPath = "D:/study/group.mdm";
  const std::vector<std::string> paths = {"r0.sdm",  "r1.sdm",  "r2.sdm", "r3.sdm", "r4.sdm",
                                          "r5.sdm",  "r6.sdm",  "r7.sdm", "r8.sdm", "r9.sdm",
                                          "r10.sdm", "r11.sdm", "r12.sdm"};
  for (std::size_t run = 0; run < runs.size(); ++run) {
    runs[run].read = true;
    runs[run].path = paths[run];
    runs[run].zeroColumns = std::vector<bool>(kColumns, run > 0);
    runs[run].interestCount = kColumns;
  }
  for (const std::string subject : {"S1", "S2", "S3", "S4"}) {
    for (std::size_t run = 0; run < runs.size(); ++run) {
      study.functionalPaths.push_back(subject + "_" + std::to_string(run) + ".vtc");
      study.sdmPaths.push_back(paths[run]);
      study.sdms.push_back(&runs[run]);
    }
  }
  RunOutcome outcome;
  outcome.end = RunEnd::kComplete;
  outcome.complete = true;
  const std::vector<FurtherFinding> findings = diagnoseStudy(outcome, study).findings;
  const auto note = std::find_if(findings.begin(), findings.end(), [](const FurtherFinding& f) {
    return f.code == FurtherCode::kZeroInSomeRuns;
  });
  ASSERT_NE(note, findings.end());
  EXPECT_EQ(note->text,
            "subject \"S1\", predictor number 1 named \"NoName\" is zero in 12 of its 13 runs "
            "(r1.sdm, r2.sdm, r3.sdm, r4.sdm, r5.sdm, r6.sdm, r7.sdm, r8.sdm, r9.sdm, r10.sdm and "
            "2 more)");
  ASSERT_EQ(findings.size(), 250001u);
  EXPECT_EQ(findings[249999].code, FurtherCode::kZeroInSomeRuns);
  EXPECT_EQ(findings.back().code, FurtherCode::kFindingsCut);
  EXPECT_EQ(findings.back().text,
            "group.mdm: more than 250000 findings beyond the log: the checks after the log list "
            "these and stop");
}

// sub-03's two runs in one folder, each its own subject by file-name prefix; its second predictor
// zero in both runs, which the log cannot see across its one-run subjects.
std::vector<std::string> diagnosedFolderStudy(const std::string& ruleText) {
  std::vector<SdmSummary> sdms(2);
  StudyInput study;
  study.mdmPath = "group.mdm";
  for (std::size_t i = 0; i < sdms.size(); ++i) {
    sdms[i].read = true;
    sdms[i].names = std::vector<std::string>{"Faces", "Houses"};
    sdms[i].zeroColumns = {false, true};
    sdms[i].interestCount = 2;
    study.sdmPaths.push_back("run-" + std::to_string(i + 1) + ".sdm");
    study.functionalPaths.push_back("sub-03/func/run-" + std::to_string(i + 1) + "_bold.vtc");
    study.sdms.push_back(&sdms[i]);
  }
  for (std::size_t i = 0; i < sdms.size(); ++i) sdms[i].path = study.sdmPaths[i];
  RunOutcome outcome;
  outcome.complete = true;
  std::string error;
  const StudyDiagnosis diagnosis =
      diagnoseStudy(outcome, study, *parseSubjectRule(ruleText, error));
  std::vector<std::string> described;
  for (const FurtherFinding& finding : diagnosis.findings) {
    described.push_back(std::string(furtherCodeName(finding.code)) + " " +
                        recordSeverityName(finding.severity) + " " + finding.text);
  }
  return described;
}

TEST(StudyDiagnosisSubjectsTest, OneRunSubjectsOfOneFolderWarnUntilARuleFindsTheSubject) {
  EXPECT_EQ(diagnosedFolderStudy("prefix"),
            (std::vector<std::string>{
                "SUBJECT_PER_STUDY warning group.mdm: every one of the 2 studies is its own "
                "subject, so no predictor is checked across a subject's runs",
                "SUBJECT_SPLIT_FOLDER warning group.mdm: the 2 runs in the folder \"sub-03/func\" "
                "are 2 subjects of one run each (\"run-1\", \"run-2\"): the subject is probably "
                "elsewhere in the path (--subject-rule bids, folder:N or regex:EXPR takes it from "
                "there)"}));
  EXPECT_EQ(diagnosedFolderStudy("bids"),
            (std::vector<std::string>{
                "SUBJECT_RULE_COUNT note group.mdm: the log counts 2 subjects by file-name prefix; "
                "--subject-rule bids finds 1",
                "ZERO_ACROSS_RUNS error by --subject-rule bids, subject \"sub-03\", predictor "
                "number 2 named \"Houses\" is zero in all its 2 runs"}));
  // One run a subject again: as the log groups them, so the log's check said it already.
  const auto regex = diagnosedFolderStudy(R"(regex:run-(\d))");
  ASSERT_EQ(regex.size(), 2u);
  EXPECT_EQ(regex[1].rfind("SUBJECT_SPLIT_FOLDER warning group.mdm: by --subject-rule regex:", 0),
            0u);
}

}  // namespace
}  // namespace kelvora::analysis
