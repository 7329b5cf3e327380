// What bounds a run's memory: SDMs with the same names share one list, the SDMs read ahead stay
// within the budget, and what the run keeps ends it at its ceiling.
#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "inspection/inspection_run.h"
#include "inspection/name_list_table.h"
#include "inspection/sdm_predictors.h"
#include "inspection/sdm_read_ahead.h"
#include "support/fake_dialogs.h"
#include "support/log_capture.h"
#include "support/study_files.h"
#include "support/temp_dir.h"

namespace kelvora {
namespace {

using Names = std::vector<std::string>;

SdmFile sdmNamed(const Names& names) {
  testing::SdmShape shape;
  shape.names = names;
  shape.columns = testing::filledColumns(names.size(), 2);
  return testing::sdmOf(shape);
}

TEST(NameListTableTest, SdmsWithTheSameNamesShareOneListAndOthersDoNot) {
  NameListTable table;
  SdmFile a = sdmNamed({"Faces", "Houses", "Constant"});
  SdmFile b = sdmNamed({"Faces", "Houses", "Constant"});
  SdmFile c = sdmNamed({"Faces", "House", "Constant"});
  SdmFile d = sdmNamed({"FacesHouse", "s", "Constant"});  // the same bytes, cut elsewhere
  for (SdmFile* sdm : {&a, &b, &c, &d}) shareNames(*sdm, table);

  EXPECT_TRUE(a.sharedNames.sharesBufferWith(b.sharedNames));
  EXPECT_FALSE(a.sharedNames.sharesBufferWith(c.sharedNames));
  EXPECT_FALSE(a.sharedNames.sharesBufferWith(d.sharedNames));
  EXPECT_TRUE(a.predictorNames.empty());
  EXPECT_EQ(nameCountOf(a), 3u);
  EXPECT_EQ(predictorNameAt(c, 1), "House");
  EXPECT_EQ(predictorNameAt(d, 0), "FacesHouse");
  EXPECT_EQ(predictorNameAt(d, 3), kUnreadPredictorName);
  EXPECT_EQ(std::vector<std::string_view>(a.sharedNames.begin(), a.sharedNames.end()),
            (std::vector<std::string_view>{"Faces", "Houses", "Constant"}));
}

SdmFile sdmWithZeroColumns(std::vector<std::size_t> zero) {
  testing::SdmShape shape;
  shape.names = {"Faces", "Houses", "Motion"};
  shape.columns = testing::filledColumns(3, 2, std::move(zero));
  return testing::sdmOf(shape, "D:/study/r.sdm");
}

TEST(CondensedSdmTest, SdmsWithTheSameZeroColumnsShareOneSetAndAnswerAsRead) {
  NameListTable names;
  ZeroColumnTable zeros;
  const SdmFile a = sdmWithZeroColumns({1});
  const SdmFile b = sdmWithZeroColumns({1});
  const SdmFile c = sdmWithZeroColumns({2});
  const CondensedSdm keptA = condense(a, names, zeros);
  const CondensedSdm keptB = condense(b, names, zeros);
  const CondensedSdm keptC = condense(c, names, zeros);

  EXPECT_EQ(keptA.zeroColumns.identity(), keptB.zeroColumns.identity());
  EXPECT_NE(keptA.zeroColumns.identity(), keptC.zeroColumns.identity());
  EXPECT_TRUE(keptA.names.sharesBufferWith(keptC.names));
  for (std::int64_t column = -1; column <= 3; ++column) {
    EXPECT_EQ(isAllZeroColumn(keptA, column), isAllZeroColumn(a, column)) << column;
    EXPECT_EQ(isAllZeroColumn(keptC, column), isAllZeroColumn(c, column)) << column;
    EXPECT_EQ(predictorNameAt(keptA, column), predictorNameAt(a, column)) << column;
  }
  EXPECT_EQ(columnCountOf(keptA), 3);
  EXPECT_EQ(keptA.path, "D:/study/r.sdm");
}

class RunMemoryTest : public ::testing::Test {
 protected:
  ~RunMemoryTest() override { pluginLog.closeFile(); }

  // `count` SDMs of 200 predictors whose names are long; each SDM's own when `distinct`.
  std::vector<testing::StudyPaths> study(std::size_t count, bool distinct) {
    std::vector<testing::StudyPaths> studies;
    for (std::size_t i = 0; i < count; ++i) {
      testing::SdmShape shape;
      for (std::size_t p = 0; p < 200; ++p) {
        shape.names.push_back(std::string(100, 'n') + std::to_string(distinct ? i : 0) + "_" +
                              std::to_string(p));
      }
      shape.firstConfoundPredictor = 2;
      shape.columns = testing::filledColumns(shape.names.size(), 2);
      const std::string name = "S" + std::to_string(i) + "_1";
      studies.push_back({name + ".vtc", dir.writeFile(name + ".sdm", testing::sdmText(shape))});
    }
    return studies;
  }
  RunOutcome run(const std::vector<testing::StudyPaths>& studies, RunSettings settings) {
    dialogs.chooseToOpen(dir.writeFile("group.mdm", testing::mdmText(studies)));
    return runInspection(dialogs, settings);
  }

  testing::LogCapture log;
  testing::TempDir dir;
  testing::FakeDialogs dialogs;
};

// 200 names of about 105 bytes are over 5,000 slots a list: three lists pass a ceiling of 12,000
// slots, one list shared by three SDMs does not.
TEST_F(RunMemoryTest, NamesCountOncePerListAndTheSdmPastTheCeilingEndsTheRun) {
  for (const unsigned threads : {1u, 4u}) {
    RunSettings settings;
    settings.readThreads = threads;
    settings.maxSlotsKept = 12000;
    EXPECT_EQ(run(study(3, false), settings).end, RunEnd::kComplete);

    const std::vector<testing::StudyPaths> distinct = study(3, true);
    const std::size_t logStart = log.lines().size();
    const RunOutcome outcome = run(distinct, settings);
    EXPECT_EQ(outcome.end, RunEnd::kRunTooLarge);
    EXPECT_TRUE(outcome.fileUnreadable());
    ASSERT_EQ(outcome.findings.size(), 1u);
    EXPECT_EQ(outcome.findings[0].code, FindingCode::kRunTooLarge);
    EXPECT_EQ(codeName(outcome.findings[0].code), std::string("RUN_TOO_LARGE"));
    const std::string stop =
        "!!!  SDMs too large to read together (more than 12000 values), "
        "stopped at: " +
        distinct[2].sdm;
    EXPECT_EQ(outcome.findings[0].line, stop);
    EXPECT_EQ(
        std::vector<std::string>(log.lines().begin() + logStart, log.lines().end()),
        (std::vector<std::string>{"Kelvora>  Start inspecting " + dir.path("group.mdm"), stop}));
  }
}

// Three subjects of one run each, with predictors of interest 1 and 2 and confounds 3 and 4;
// `zero` are all-zero in every run: each is one finding per run.
std::vector<testing::StudyPaths> zeroStudy(testing::TempDir& dir, std::vector<std::size_t> zero) {
  std::vector<testing::StudyPaths> studies;
  for (const std::string subject : {"S1", "S2", "S3"}) {
    testing::SdmShape shape;
    shape.names = {"Faces", "Houses", "Motion", "Drift"};
    shape.firstConfoundPredictor = 3;
    shape.columns = testing::filledColumns(4, 2, zero);
    studies.push_back(
        {subject + "_1.vtc", dir.writeFile(subject + ".sdm", testing::sdmText(shape))});
  }
  return studies;
}

TEST_F(RunMemoryTest, TheFindingPastTheRunsMostEndsTheRunInItsPlace) {
  RunSettings settings;
  settings.maxFindings = 6;
  const std::vector<testing::StudyPaths> confounds = zeroStudy(dir, {2, 3});
  EXPECT_EQ(run(confounds, settings).end, RunEnd::kComplete);

  settings.maxFindings = 5;
  const std::size_t logStart = log.lines().size();
  RunOutcome outcome = run(confounds, settings);
  EXPECT_EQ(outcome.end, RunEnd::kRunTooLarge);
  ASSERT_EQ(outcome.findings.size(), 6u);
  EXPECT_EQ(outcome.findings[4].line,
            "!!!  S3.sdm predictor number 3 named \"Motion\" contains only zeros");
  EXPECT_EQ(outcome.findings[5].code, FindingCode::kRunTooLarge);
  const std::string stop =
      "!!!  Too many findings to report (more than 5), stopped at: " + confounds[2].sdm;
  EXPECT_EQ(outcome.findings[5].line, stop);
  EXPECT_EQ(log.lines().back(), stop);  // neither the next finding nor a "Saved findings" line
  EXPECT_EQ(log.lines().size() - logStart, 4u + 1u + 5u + 1u + 1u);

  // A subject's finding has no SDM of its own: the line names the subject.
  settings.maxFindings = 1;
  outcome = run(zeroStudy(dir, {1}), settings);
  EXPECT_EQ(outcome.end, RunEnd::kRunTooLarge);
  EXPECT_EQ(outcome.findings.back().line,
            "!!!  Too many findings to report (more than 1), stopped at: S2");
}

// With a budget smaller than any SDM, the threads read one SDM at a time, and every SDM still
// arrives at its turn.
TEST(SdmReadAheadTest, SdmsLargerThanTheBudgetAreReadOneAtATimeAndTakenInOrder) {
  testing::TempDir dir;
  PathList paths;
  for (std::size_t i = 0; i < 12; ++i) {
    testing::SdmShape shape;
    shape.names = {"P" + std::to_string(i), "Constant"};
    shape.columns = testing::filledColumns(2, 3);
    paths.push_back(dir.writeFile("S" + std::to_string(i) + ".sdm", testing::sdmText(shape)));
  }
  std::mutex mutex;
  std::size_t reading = 0;
  std::size_t mostReading = 0;
  const SdmValuesVisitor visit = [&](std::size_t, const SdmFile&) {
    {
      const std::lock_guard<std::mutex> lock(mutex);
      mostReading = std::max(mostReading, ++reading);
    }
    std::this_thread::yield();  // room for another thread to start, were it allowed to
    const std::lock_guard<std::mutex> lock(mutex);
    --reading;
  };
  NameListTable names;
  ZeroColumnTable zeros;
  {
    SdmReadAhead readAhead(paths, 1, 4, visit, names, zeros, /*budget=*/1);
    for (std::size_t study = 1; study < paths.size(); ++study) {
      const CondensedSdm sdm = readAhead.take(study);
      EXPECT_EQ(sdm.path, paths[study]);
      EXPECT_EQ(predictorNameAt(sdm, 0), "P" + std::to_string(study));
    }
  }
  EXPECT_EQ(mostReading, 1u);
}

}  // namespace
}  // namespace kelvora
