// Whole runs in process: a study written into a temporary folder, a scripted user, the log as the
// host would receive it and the findings file as it lies on disk.
#include "inspection/inspection_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <new>
#include <utility>

#include "designmatrix/mdm_file.h"
#include "log/plugin_log.h"
#include "support/fake_dialogs.h"
#include "support/log_capture.h"
#include "support/study_files.h"
#include "support/temp_dir.h"

namespace kelvora {
namespace {

using Lines = std::vector<std::string>;
using testing::filledColumns;
using testing::SdmShape;

#ifdef _WIN32
constexpr char kLineEnd[] = "\r\n";
#else
constexpr char kLineEnd[] = "\n";
#endif

class InspectionRunTest : public ::testing::Test {
 protected:
  ~InspectionRunTest() override { pluginLog.closeFile(); }

  // An SDM of `names`, the first `interest` of interest, 3 data points, zero where listed.
  std::string writeSdm(const std::string& name, Lines names, std::int32_t interest,
                       std::vector<std::size_t> zero = {}) {
    SdmShape shape;
    shape.columns = filledColumns(names.size(), 3, std::move(zero));
    shape.names = std::move(names);
    shape.firstConfoundPredictor = interest + 1;
    return dir.writeFile(name, testing::sdmText(shape));
  }
  std::string writeMdm(const std::vector<testing::StudyPaths>& studies) {
    return dir.writeFile("group.mdm", testing::mdmText(studies));
  }
  RunOutcome run(const std::string& mdmPath) {
    dialogs.chooseToOpen(mdmPath);
    return runInspection(dialogs);
  }

  std::string findingsBytes() const {
    std::ifstream in(dir.path("group_log.txt"), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  // The bytes of a findings file holding `lines`.
  static std::string fileOf(const Lines& lines) {
    std::string bytes;
    for (const std::string& line : lines) bytes += line + kLineEnd;
    return bytes;
  }
  static std::vector<FindingCode> codesOf(const RunOutcome& outcome) {
    std::vector<FindingCode> codes;
    for (const Finding& found : outcome.findings) codes.push_back(found.code);
    return codes;
  }

  testing::LogCapture log;
  testing::TempDir dir;
  testing::FakeDialogs dialogs;
  const Lines names{"Faces", "Houses", "Motion", "Constant"};
};

TEST_F(InspectionRunTest, CompleteRunReportsEveryCheckAndSavesItsLines) {
  const std::string mdm = writeMdm({{dir.path("S01_run1.vtc"), writeSdm("a.sdm", names, 2, {1})},
                                    {dir.path("S01_run2.vtc"), writeSdm("b.sdm", names, 2, {1})},
                                    {dir.path("S02_run1.vtc"), writeSdm("c.sdm", names, 2, {2})}});
  const RunOutcome outcome = run(mdm);

  const Lines inFile{
      "Kelvora>  Start inspecting " + mdm,
      "Kelvora>  Read 3 SDMs from the MDM file",
      "Kelvora>  All SDMs have 2 predictors of interest",
      "Kelvora>  The names for the predictors of interest all match",
      "Kelvora>  2 unique subjects detected",
      "!!!  S01, predictor number 2 named \"Houses\" contains only zeros across runs",
      "!!!  c.sdm predictor number 3 named \"Motion\" contains only zeros"};
  Lines logged = inFile;
  logged.push_back("Kelvora>  Saved findings to: " + dir.path("group_log.txt"));
  EXPECT_EQ(log.lines(), logged);
  EXPECT_EQ(findingsBytes(), fileOf(inFile));

  EXPECT_TRUE(outcome.complete);
  EXPECT_EQ(outcome.end, RunEnd::kComplete);
  EXPECT_EQ(outcome.mdmPath, mdm);
  EXPECT_EQ(outcome.findingsPath, dir.path("group_log.txt"));
  EXPECT_EQ(outcome.studyCount, 3u);
  EXPECT_EQ(outcome.subjectCount, 2u);
  EXPECT_EQ(codesOf(outcome),
            (std::vector<FindingCode>{FindingCode::kZeroAcrossRuns, FindingCode::kZeroConfound}));
  EXPECT_EQ(outcome.findings[1].line, inFile.back());
  EXPECT_FALSE(pluginLog.hasFile());
  EXPECT_EQ(dialogs.calls(),
            Lines{"open|Select an MDM file for testing||Multi-Subject Design Matrix (*.mdm)"});
}

TEST_F(InspectionRunTest, CountDisagreementEndsTheRunAfterItsReport) {
  const std::string mdm = writeMdm({{"S01_1.vtc", writeSdm("a.sdm", names, 2)},
                                    {"S01_2.vtc", writeSdm("b.sdm", names, 2)},
                                    {"S02_1.vtc", writeSdm("c.sdm", names, 3)}});
  const RunOutcome outcome = run(mdm);

  const Lines lines{
      "Kelvora>  Start inspecting " + mdm, "Kelvora>  Read 3 SDMs from the MDM file",
      "Kelvora>  Not all SDMs have the same number of predictors of interest",
      "Kelvora>  Most SDMs have 2 predictors of interest, except:", "!!!  3 in c.sdm"};
  EXPECT_EQ(log.lines(), lines);
  EXPECT_EQ(findingsBytes(), fileOf(lines));
  EXPECT_FALSE(outcome.complete);
  EXPECT_EQ(outcome.end, RunEnd::kPredictorCountMismatch);
  EXPECT_FALSE(outcome.fileUnreadable());
  EXPECT_EQ(codesOf(outcome), std::vector<FindingCode>{FindingCode::kPredictorCountMismatch});
  EXPECT_FALSE(pluginLog.hasFile());
}

TEST_F(InspectionRunTest, RepairLocatesTheFirstSdmRebasesTheStudiesAndSaves) {
  std::filesystem::create_directory(dir.path("study"));
  const std::string sdmA = writeSdm("study/a.sdm", names, 2);
  writeSdm("study/b.sdm", names, 2);
  const std::string mdm = writeMdm({{"Q:/old/study/S01_1.vtc", "Q:/old/study/a.sdm"},
                                    {"Q:/old/study/S02_1.vtc", "Q:/old/study/b.sdm"}});
  const std::string root = mdm.substr(0, mdm.size() - std::string("/group.mdm").size());
  dialogs.chooseToOpen(mdm).chooseToOpen(sdmA).answer(true).chooseToSave(dir.path("fixed.mdm"));
  const RunOutcome outcome = runInspection(dialogs);

  const Lines lines{"Kelvora>  Start inspecting " + mdm,
                    "!!!  Failed opening SDM for reading: Q:/old/study/a.sdm",
                    "Kelvora>  Asking user to select correct path",
                    "Kelvora>  Read 2 SDMs from the MDM file",
                    "Kelvora>  All SDMs have 2 predictors of interest",
                    "Kelvora>  The names for the predictors of interest all match",
                    "Kelvora>  2 unique subjects detected",
                    "Kelvora>  Did not find any predictors of interest with only zeros across runs",
                    "Kelvora>  Did not find any confound predictors with only zeros"};
  EXPECT_EQ(findingsBytes(), fileOf(lines));
  EXPECT_EQ(log.lines().back(), "Kelvora>  Saved findings to: " + dir.path("group_log.txt"));
  EXPECT_EQ(dialogs.calls(),
            (Lines{"open|Select an MDM file for testing||Multi-Subject Design Matrix (*.mdm)",
                   "message|The first SDM from the MDM file was not found.\nIf you select it "
                   "manually the plugin will try to correct the path!",
                   "open|SDM not found. Select a.sdm manually.|" + root +
                       "|Single Subject Desgin Matrix (a.sdm)",
                   "yesno|Would you like to Save the MDM file with corrected path information?",
                   "save|Select a filename for saving|" + root +
                       "|Multi Subject Design Matrix (*.mdm)"}));

  EXPECT_TRUE(outcome.complete);
  EXPECT_EQ(outcome.savedMdmPath, dir.path("fixed.mdm"));
  ASSERT_EQ(codesOf(outcome), std::vector<FindingCode>{FindingCode::kSdmUnreadable});
  EXPECT_EQ(outcome.findings[0].severity, Severity::kWarning);  // mended by the repair
  EXPECT_EQ(outcome.findings[0].line, lines[1]);

  const MdmFile saved(dir.path("fixed.mdm"));
  EXPECT_EQ(saved.sdmPaths, (Lines{sdmA, root + "/study/b.sdm"}));
  EXPECT_EQ(saved.functionalPaths, (Lines{root + "/study/S01_1.vtc", root + "/study/S02_1.vtc"}));
}

TEST_F(InspectionRunTest, OversizedSdmsEndTheRunWithAFinding) {
  const std::string big =
      dir.writeFile("big.sdm",
                    "FileVersion: 1\nNrOfPredictors: 5000\nNrOfDataPoints: 5000\n"
                    "IncludesConstant: 1\nFirstConfoundPredictor: 2\n");
  const std::string a = writeSdm("a.sdm", names, 2);

  const RunOutcome tooLarge = run(writeMdm({{"S01_1.vtc", a}, {"S01_2.vtc", big}}));
  EXPECT_EQ(log.lines().back(), "!!!  SDM too large to read: " + big);
  EXPECT_EQ(tooLarge.end, RunEnd::kSdmTooLarge);
}

// Reading ahead on several threads changes nothing that a run says or does, also when a study
// ends the run while later SDMs are being read; the visitor sees every SDM the run takes, with its
// values, and with one thread no other.
TEST_F(InspectionRunTest, ReadingAheadOnSeveralThreadsChangesNothingTheRunSaysOrDoes) {
  std::vector<testing::StudyPaths> studies;
  for (std::size_t i = 1; i <= 9; ++i) {
    const std::string subject = "S0" + std::to_string(i);
    studies.push_back({subject + "_1.vtc", writeSdm(subject + ".sdm", names, 2, {i % 4})});
  }
  const std::string complete = dir.writeFile("complete.mdm", testing::mdmText(studies));
  studies[3].sdm = dir.path("missing.sdm");
  const std::string ending = dir.writeFile("ending.mdm", testing::mdmText(studies));

  for (const auto& [mdm, taken] : {std::pair{complete, 9}, std::pair{ending, 4}}) {
    std::vector<Lines> said;  // per thread count: log lines, dialogs, findings, findings file
    for (const unsigned threads : {1u, 4u}) {
      const std::size_t logStart = log.lines().size();
      const std::size_t callStart = dialogs.calls().size();
      std::mutex visiting;
      std::vector<bool> visited(studies.size());
      RunSettings settings;
      settings.readThreads = threads;
      settings.visitSdm = [&](std::size_t study, const SdmFile& sdm) {
        const std::lock_guard<std::mutex> lock(visiting);
        visited[study] = sdm.unreadable() || sdm.values.size() == names.size();
      };
      dialogs.chooseToOpen(mdm);
      const RunOutcome outcome = runInspection(dialogs, settings);

      Lines record(log.lines().begin() + logStart, log.lines().end());
      record.insert(record.end(), dialogs.calls().begin() + callStart, dialogs.calls().end());
      for (const Finding& found : outcome.findings) record.push_back(found.line);
      record.push_back(findingsBytes());
      said.push_back(record);
      const auto visitedCount = std::count(visited.begin(), visited.end(), true);
      EXPECT_TRUE(std::all_of(visited.begin(), visited.begin() + taken, [](bool v) { return v; }));
      if (threads == 1) {
        EXPECT_EQ(visitedCount, taken);
      }
    }
    EXPECT_EQ(said[0], said[1]) << mdm;
  }
}

TEST_F(InspectionRunTest, AnMdmWithoutStudiesEndsTheRun) {
  const std::string mdm = writeMdm({});
  const RunOutcome outcome = run(mdm);
  const Lines lines{"Kelvora>  Start inspecting " + mdm, "Kelvora>  Read 0 SDMs from the MDM file",
                    "!!!  The MDM file lists no studies"};
  EXPECT_EQ(log.lines(), lines);
  EXPECT_EQ(findingsBytes(), fileOf(lines));
  EXPECT_EQ(outcome.end, RunEnd::kNoStudies);
  EXPECT_EQ(outcome.studyCount, 0u);
  EXPECT_EQ(codesOf(outcome), std::vector<FindingCode>{FindingCode::kNoStudies});
}

TEST_F(InspectionRunTest, AFindingsFileThatCannotBeCreatedIsReportedLast) {
  std::filesystem::create_directory(dir.path("group_log.txt"));  // a folder takes its name
  const RunOutcome outcome = run(writeMdm({{"S01_1.vtc", writeSdm("a.sdm", names, 2)}}));
  EXPECT_EQ(log.lines().back(), "!!!  Could not save findings to: " + dir.path("group_log.txt"));
  EXPECT_TRUE(outcome.complete);
  EXPECT_EQ(outcome.findings.back().code, FindingCode::kFindingsNotSaved);
  EXPECT_FALSE(pluginLog.hasFile());
}

// A user whose message box runs out of memory, as the host's could.
class ThrowingDialogs : public testing::FakeDialogs {
 public:
  void showMessage(const std::string&) override { throw std::bad_alloc(); }
};

TEST_F(InspectionRunTest, AnExceptionPassesThroughWithTheFindingsFileClosed) {
  const std::string mdm = writeMdm({{"S01_1.vtc", dir.path("missing.sdm")}});
  ThrowingDialogs throwing;
  throwing.chooseToOpen(mdm);
  EXPECT_THROW(runInspection(throwing), std::bad_alloc);
  EXPECT_FALSE(pluginLog.hasFile());
  logLine("after the run");
  EXPECT_EQ(findingsBytes(),
            fileOf({"Kelvora>  Start inspecting " + mdm,
                    "!!!  Failed opening SDM for reading: " + dir.path("missing.sdm"),
                    "Kelvora>  Asking user to select correct path"}));
}

}  // namespace
}  // namespace kelvora
