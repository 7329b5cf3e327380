// The log when memory runs out while an entry is built or flushed: that entry may be lost, but
// the log never falls silent, and a findings file that lost an entry is reported as not saved.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "failing_allocator.h"
#include "log/plugin_log.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

namespace kelvora {
namespace {

using Lines = std::vector<std::string>;

class LogAllocationFailureTest : public ::testing::Test {
 protected:
  ~LogAllocationFailureTest() override { pluginLog.closeFile(); }

  // Longer than any entry before, so that the log's buffer has to grow for it.
  static std::string longText() {
    static int calls = 0;
    return std::string(std::size_t{1} << (20 + calls++), 'x');
  }
  std::string fileBytes(const std::string& path) const {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  testing::LogCapture log;
  testing::TempDir dir;
};

TEST_F(LogAllocationFailureTest, EntryThatCannotGrowIsDroppedAndLaterEntriesArrive) {
  const std::string text = longText();
  kelvoraFailAllocationsFrom(1, /*persistent=*/0);
  pluginLog << "Kelvora>  " << text << " and more" << std::flush;
  kelvoraStopCountingAllocations();
  ASSERT_EQ(kelvoraFailedAllocations(), 1u);

  logLine("after");
  pluginLog << "Kelvora>  Read " << 3 << " SDMs" << std::flush;
  EXPECT_EQ(log.lines(), (Lines{"after", "Kelvora>  Read 3 SDMs"}));
}

TEST_F(LogAllocationFailureTest, EntryLostWhileFlushingLeavesTheNextOneIntact) {
  pluginLog << longText() << std::flush;  // the buffer now holds a long entry without growing
  pluginLog << "an entry that is copied when flushed";
  kelvoraFailAllocationsFrom(1, /*persistent=*/1);
  pluginLog << std::flush;
  kelvoraStopCountingAllocations();
  ASSERT_GE(kelvoraFailedAllocations(), 1u);

  logLine("after");
  EXPECT_EQ(log.lines().back(), "after");
  EXPECT_EQ(log.lines().size(), 2u);
}

TEST_F(LogAllocationFailureTest, FindingsFileThatLostAnEntryIsReportedAsNotSaved) {
  const std::string path = dir.path("a_log.txt");
  pluginLog.attachFile(path);
  logLine("first");
  const std::string text = longText();
  kelvoraFailAllocationsFrom(1, /*persistent=*/0);
  pluginLog << text << std::flush;
  kelvoraStopCountingAllocations();
  logLine("last");

  EXPECT_FALSE(pluginLog.closeFile());
  EXPECT_EQ(log.lines(), (Lines{"first", "last"}));
  EXPECT_EQ(fileBytes(path), "first\nlast\n");
}

// The log is constructed while the library loads: an exception there would end the host's process.
TEST_F(LogAllocationFailureTest, LogWithoutMemoryForItsBufferStaysSilentInsteadOfThrowing) {
  std::optional<HVZRLog> loading;
  kelvoraFailAllocationsFrom(1, /*persistent=*/0);
  EXPECT_NO_THROW(loading.emplace());
  *loading << "lost" << 1 << std::flush;
  kelvoraStopCountingAllocations();
  EXPECT_EQ(kelvoraFailedAllocations(), 1u);
  loading.reset();
  EXPECT_EQ(log.lines(), Lines{"Destructor of HVZRLog never called"});
}

}  // namespace
}  // namespace kelvora
