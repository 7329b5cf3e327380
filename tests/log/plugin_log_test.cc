#include "log/plugin_log.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <locale>
#include <string>
#include <thread>
#include <vector>

#include "support/log_capture.h"
#include "support/temp_dir.h"

namespace kelvora {
namespace {

class PluginLogTest : public ::testing::Test {
 protected:
  ~PluginLogTest() override { pluginLog.closeFile(); }

  std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  testing::LogCapture log;
  testing::TempDir dir;
};

// A text file line as the platform writes it.
#ifdef _WIN32
constexpr char kLineEnd[] = "\r\n";
#else
constexpr char kLineEnd[] = "\n";
#endif

TEST_F(PluginLogTest, OneFlushIsOneEntryWithAllInsertedPieces) {
  pluginLog << "Kelvora"
            << ">  Read " << std::size_t{3} << " SDMs" << std::flush;
  pluginLog << -2147483647 - 1 << std::flush;
  EXPECT_EQ(log.lines(), (std::vector<std::string>{"Kelvora>  Read 3 SDMs", "-2147483648"}));
}

TEST_F(PluginLogTest, EmptyFlushGivesEmptyEntryAndEmptyLine) {
  const std::string path = dir.path("a_log.txt");
  pluginLog.attachFile(path);
  pluginLog << std::flush;
  EXPECT_TRUE(pluginLog.closeFile());
  EXPECT_EQ(log.lines(), std::vector<std::string>{""});
  EXPECT_EQ(fileBytes(path), kLineEnd);
}

TEST_F(PluginLogTest, FileGetsOneLinePerEntryWithLineBreaksTranslated) {
  const std::string path = dir.path("a_log.txt");
  pluginLog.attachFile(path);
  logLine("first");
  logLine("\nKelvora>  Plugin finished!\n");
  EXPECT_TRUE(pluginLog.closeFile());
  logLine("host only");
  EXPECT_EQ(fileBytes(path), std::string("first") + kLineEnd + kLineEnd +
                                 "Kelvora>  Plugin finished!" + kLineEnd + kLineEnd);
  EXPECT_EQ(log.lines().back(), "host only");
}

TEST_F(PluginLogTest, EachLineIsInTheFileAsSoonAsItIsFlushed) {
  const std::string path = dir.path("a_log.txt");
  pluginLog.attachFile(path);
  logLine("visible during a dialog");
  EXPECT_EQ(fileBytes(path), std::string("visible during a dialog") + kLineEnd);
}

TEST_F(PluginLogTest, UnflushedTextWaitsForTheNextFlush) {
  pluginLog << "pending";
  EXPECT_TRUE(log.lines().empty());
  const std::string path = dir.path("late_log.txt");
  pluginLog.attachFile(path);
  pluginLog << " now" << std::flush;
  pluginLog.closeFile();
  EXPECT_EQ(log.lines(), std::vector<std::string>{"pending now"});
  EXPECT_EQ(fileBytes(path), std::string("pending now") + kLineEnd);
}

TEST_F(PluginLogTest, AttachingAgainClosesTheFirstFile) {
  const std::string first = dir.path("first_log.txt");
  const std::string second = dir.path("second_log.txt");
  pluginLog.attachFile(first);
  logLine("one");
  pluginLog.attachFile(second);
  logLine("two");
  pluginLog.closeFile();
  EXPECT_EQ(fileBytes(first), std::string("one") + kLineEnd);
  EXPECT_EQ(fileBytes(second), std::string("two") + kLineEnd);
}

TEST_F(PluginLogTest, AttachingEmptiesAnExistingFile) {
  const std::string path = dir.path("old_log.txt");
  std::ofstream(path) << "stale findings\n";
  pluginLog.attachFile(path);
  EXPECT_TRUE(pluginLog.closeFile());
  EXPECT_EQ(fileBytes(path), "");
}

TEST_F(PluginLogTest, FileThatCannotBeCreatedIsReportedAtCloseButHostGetsEverything) {
  pluginLog.attachFile(dir.path("missing-folder/x_log.txt"));
  logLine("still shown");
  EXPECT_FALSE(pluginLog.closeFile());
  pluginLog.attachFile(dir.path(std::string("nul\0byte", 8)));
  EXPECT_FALSE(pluginLog.closeFile());
  EXPECT_EQ(log.lines(), std::vector<std::string>{"still shown"});
  logLine("later");
  EXPECT_EQ(log.lines().back(), "later");
}

TEST_F(PluginLogTest, ClosingWithoutFileSucceedsAndDoesNotFlush) {
  pluginLog << "kept";
  EXPECT_TRUE(pluginLog.closeFile());
  EXPECT_TRUE(log.lines().empty());
  pluginLog << std::flush;
  EXPECT_EQ(log.lines(), std::vector<std::string>{"kept"});
}

TEST_F(PluginLogTest, NumbersIgnoreTheGlobalLocale) {
  struct Grouping : std::numpunct<char> {
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
  };
  const std::locale previous =
      std::locale::global(std::locale(std::locale::classic(), new Grouping));
  pluginLog << 1234567 << ' ' << std::size_t{9876543210u} << std::flush;
  std::locale::global(previous);
  EXPECT_EQ(log.lines(), std::vector<std::string>{"1234567 9876543210"});
}

TEST_F(PluginLogTest, WithoutSinkTextsAreDroppedAndLaterEntriesStillArrive) {
  setLogTextSink(nullptr);
  logLine("dropped");
  testing::LogCapture again;
  logLine("arrives");
  EXPECT_EQ(again.lines(), std::vector<std::string>{"arrives"});
}

TEST_F(PluginLogTest, AThreadSinkTakesItsThreadsEntriesAndItsThreadsOnly) {
  std::vector<std::string> own;
  {
    const ThreadLogSink sink([&own](const char* text) { own.push_back(text); });
    logLine("the inspection's");
    std::thread([] { logLine("another thread's"); }).join();
  }
  logLine("after");
  EXPECT_EQ(own, std::vector<std::string>{"the inspection's"});
  EXPECT_EQ(log.lines(), (std::vector<std::string>{"another thread's", "after"}));
}

TEST_F(PluginLogTest, TheFindingsFileTakesTheEntriesOfTheThreadThatAttachedIt) {
  const std::string path = dir.path("a_log.txt");
  const ThreadLogSink sink([](const char*) {});
  pluginLog.attachFile(path);
  std::thread([] { logLine("another thread's"); }).join();
  logLine("the run's");
  EXPECT_TRUE(pluginLog.closeFile());
  EXPECT_EQ(fileBytes(path), std::string("the run's") + kLineEnd);
}

TEST_F(PluginLogTest, EntriesOfThreadsLoggingAtOnceStayWholeAndApart) {
  constexpr int kEntries = 2000;
  std::vector<std::string> received[2];
  const auto logMany = [&received](int thread) {
    const ThreadLogSink sink([&, thread](const char* text) { received[thread].push_back(text); });
    for (int i = 0; i < kEntries; ++i) logLine("thread " + std::to_string(thread) + " entry");
  };
  std::thread first(logMany, 0);
  logMany(1);
  first.join();
  for (int thread : {0, 1}) {
    EXPECT_EQ(received[thread],
              std::vector<std::string>(kEntries, "thread " + std::to_string(thread) + " entry"));
  }
}

}  // namespace
}  // namespace kelvora
