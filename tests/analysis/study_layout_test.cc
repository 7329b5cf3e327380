// The study-wide findings told from where the SDMs are and how long they are: STUDY_MOVED and
// RUN_LENGTH.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "analysis/moved_study.h"
#include "analysis/run_length.h"

namespace kelvora::analysis {
namespace {

class StudyLayoutTest : public ::testing::Test {
 protected:
  // Adds an SDM at `path`: read with `dataPoints` rows, or (dataPoints < 0) not opened.
  void add(const std::string& path, std::int32_t dataPoints) {
    paths.push_back(path);
    SdmSummary& sdm = sdms[paths.size() - 1];
    sdm.openFailed = dataPoints < 0;
    sdm.read = dataPoints >= 0;
    sdm.dataPoints = std::max(dataPoints, 0);
  }
  StudyInput study() {
    StudyInput input;
    input.mdmPath = "/data/group.mdm";
    for (std::size_t i = 0; i < paths.size(); ++i) {
      sdms[i].path = paths[i];
      input.sdms.push_back(&sdms[i]);
    }
    return input;
  }
  std::vector<std::string> lengths(const std::vector<SubjectGroup>& subjects = {}) {
    std::vector<FurtherFinding> findings;
    addRunLengthFindings(study(), subjects, findings);
    std::vector<std::string> texts;
    for (const FurtherFinding& f : findings) {
      EXPECT_EQ(f.severity, RecordSeverity::kNote);
      texts.push_back(f.text + (f.subject.empty() ? "" : " [" + f.subject + "]"));
    }
    return texts;
  }

  std::vector<std::string> paths;
  SdmSummary sdms[8];
};

TEST_F(StudyLayoutTest, MostSdmsFailingFromOneFolderWithTheFirstSayTheStudyMoved) {
  add("D:/old/s1_r1.sdm", -1);
  add("D:/old/s1_r2.sdm", -1);
  add("D:/old/s2_r1.sdm", 240);
  const auto moved = movedStudyFinding(study());
  ASSERT_TRUE(moved);
  EXPECT_EQ(moved->code, FurtherCode::kStudyMoved);
  EXPECT_EQ(moved->text,
            "group.mdm: 2 of 3 SDMs cannot be opened from \"D:/old\": the study seems to have "
            "moved; kelvora --locate FIRST_SDM --save-mdm NEW.mdm group.mdm (FIRST_SDM: where "
            "\"s1_r1.sdm\" is now) moves every path with it and saves the corrected MDM");
}

TEST_F(StudyLayoutTest, HalfTheSdmsOrOthersThanTheFirstFailingIsNoMove) {
  add("D:/old/s1_r1.sdm", -1);
  add("D:/old/s1_r2.sdm", -1);
  add("D:/new/s2_r1.sdm", -1);  // another folder
  add("D:/old/s2_r2.sdm", 240);
  EXPECT_FALSE(movedStudyFinding(study()));
  paths.clear();
  add("D:/old/s1_r1.sdm", 240);
  add("D:/old/s1_r2.sdm", -1);
  add("D:/old/s2_r1.sdm", -1);
  EXPECT_FALSE(movedStudyFinding(study()));
}

TEST_F(StudyLayoutTest, ARunShorterThanMostOfTheStudyIsNoted) {
  add("s1_r1.sdm", 240);
  add("s1_r2.sdm", 180);
  add("s2_r1.sdm", 240);
  add("s2_r2.sdm", -1);  // not read: takes no part
  add("s3_r1.sdm", 0);   // no data points: the reader's findings tell it
  EXPECT_EQ(lengths(),
            std::vector<std::string>{"s1_r2.sdm: 180 data points, where most runs of the study "
                                     "have 240"});
}

TEST_F(StudyLayoutTest, RunsThatDifferByDesignAreComparedWithinTheirSubject) {
  add("s1_r1.sdm", 240);
  add("s1_r2.sdm", 240);
  add("s1_r3.sdm", 180);
  add("s2_r1.sdm", 300);
  add("s2_r2.sdm", 300);
  add("s3_r1.sdm", 200);
  add("s3_r2.sdm", 260);  // no length holds most of s3's runs: nothing to compare with
  const std::vector<SubjectGroup> subjects = {{"s1", {0, 1, 2}}, {"s2", {3, 4}}, {"s3", {5, 6}}};
  EXPECT_EQ(lengths(subjects),
            (std::vector<std::string>{
                "s1_r3.sdm: 180 data points, where most runs of subject \"s1\" have 240 [s1]"}));
}

}  // namespace
}  // namespace kelvora::analysis
