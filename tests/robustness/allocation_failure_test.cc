// The plug-in when memory runs out: a whole lifecycle (load, createPlugin, initPlugin, execute,
// delete, unload) on a study that takes every step of a run (the path repair with a saved MDM, all
// checks, both kinds of finding) is repeated with the N-th allocation failing, for every N that the
// lifecycle makes, once failing that allocation alone and once failing it and all after it.
//
// For every N: the process survives and nothing escapes the boundary; execute returns false,
// unless the run came to its end having lost only log entries (then its findings file says so, or
// the lost entry was the last line); no file descriptor stays open; the MDM is byte-for-byte what
// it was; the saved MDM is either whole or absent, and no temporary file is left; the findings
// file holds only lines that the host received, in order; a run that one failed allocation ended
// early says why in its last line (the bridge's out-of-memory line, or a reader's failure line
// where a reader turned the failure into a file it could not read). And the library is whole
// afterwards: a run with memory to spare gives exactly the lines, files and heap use of the
// first one.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "failing_allocator.h"
#include "inprocess_host.h"
#include "plugin/plugin_interface.h"
#include "support/study_files.h"
#include "support/temp_dir.h"

namespace kelvora {
namespace {

using Lines = std::vector<std::string>;
using testing::AllocationsUnchecked;
using testing::hostScript;

constexpr char kGreeting[] = "\nKelvora>  Running...\n";
constexpr char kClosing[] = "\nKelvora>  Plugin finished!\n";
// What the library's log hands over when it is unloaded.
constexpr char kUnloadLastText[] = "";
constexpr char kUnloadLine[] = "Destructor of HVZRLog never called";
constexpr char kOutOfMemoryLine[] = "!!!  Not enough memory: the inspection ended";
constexpr char kSavedPrefix[] = "Kelvora>  Saved findings to: ";
constexpr char kNotSavedPrefix[] = "!!!  Could not save findings to: ";

bool startsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

// True when `part` appears in `whole` in the same order, not necessarily side by side.
bool isSubsequence(const Lines& part, const Lines& whole) {
  auto from = whole.begin();
  for (const std::string& line : part) {
    from = std::find(from, whole.end(), line);
    if (from == whole.end()) return false;
    ++from;
  }
  return true;
}

// What one lifecycle left behind.
struct Lifecycle {
  bool loaded = false;
  bool created = false;
  bool initialised = false;
  bool executed = false;
  Lines log;
};

class AllocationFailureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Three studies of two subjects; the MDM still names the folder they were moved from.
    testing::SdmShape shape;
    shape.names = {"Faces", "Houses", "Motion", "Constant"};
    shape.firstConfoundPredictor = 3;
    shape.columns = testing::filledColumns(4, 5, {1});
    const std::string first = dir.writeFile("S01_run1.sdm", testing::sdmText(shape));
    dir.writeFile("S01_run2.sdm", testing::sdmText(shape));
    shape.columns = testing::filledColumns(4, 5, {2});
    dir.writeFile("S02_run1.sdm", testing::sdmText(shape));
    mdmPath = dir.writeFile("group.mdm",
                            testing::mdmText({{"D:/old/S01_run1.vtc", "D:/old/S01_run1.sdm"},
                                              {"D:/old/S01_run2.vtc", "D:/old/S01_run2.sdm"},
                                              {"D:/old/S02_run1.vtc", "D:/old/S02_run1.sdm"}}));
    locatedPath = first;
    originalMdm = bytesOf(mdmPath);
  }

  std::string bytesOf(const std::string& path) const {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  static Lines linesOf(const std::string& bytes) {
    Lines lines;
    std::size_t start = 0;
    for (std::size_t end; (end = bytes.find('\n', start)) != std::string::npos; start = end + 1) {
      lines.push_back(bytes.substr(start, end - start));
    }
    return lines;
  }
  std::string findingsPath() const { return dir.path("group_log.txt"); }
  std::string savedPath() const { return dir.path("saved.mdm"); }

  // Removes what a run writes, and queues the user's answers for one lifecycle.
  void prepare() {
    AllocationsUnchecked unchecked;
    std::remove(findingsPath().c_str());
    std::remove(savedPath().c_str());
    testing::HostScript& script = hostScript();
    script = testing::HostScript();
    script.opens = {mdmPath, locatedPath};
    script.answers = {true};
    script.saves = {savedPath()};
  }

  // Load, createPlugin, initPlugin, execute, delete, unload: with allocations counted and failed
  // as armed by the caller, who stops counting afterwards. Loading anew each time makes the
  // library start from nothing, as in a host that has just started.
  Lifecycle live() {
    Lifecycle result;
    {
      const testing::PluginLibrary library(pluginPath);
      result.loaded = library.loaded();
      HVZRPluginInterface* plugin = library.loaded() ? library.createPlugin() : nullptr;
      result.created = plugin != nullptr;
      if (plugin != nullptr) {
        result.initialised = plugin->initPlugin();
        if (result.initialised) result.executed = plugin->execute();
        delete plugin;
      }
    }
    AllocationsUnchecked unchecked;
    result.log = hostScript().log;
    return result;
  }

  Lifecycle liveWithoutFailures() {
    prepare();
    return live();
  }

  // The lines of the run itself: what the log got, less the lifecycle's own texts.
  static Lines runLinesOf(const Lifecycle& lifecycle) {
    Lines run;
    std::copy_if(lifecycle.log.begin(), lifecycle.log.end(), std::back_inserter(run),
                 [](const std::string& line) {
                   return line != kGreeting && line != kClosing && line != kUnloadLastText &&
                          line != kUnloadLine;
                 });
    return run;
  }

  // The checks that hold whatever N was; `failed` is the lifecycle that ran with failures.
  void checkAfterFailure(const Lifecycle& failed, bool persistent, int descriptorsBefore) {
    EXPECT_EQ(testing::openFileDescriptors(), descriptorsBefore) << "a file stayed open";
    EXPECT_EQ(bytesOf(mdmPath), originalMdm) << "the MDM changed";
    for (const auto& entry : std::filesystem::directory_iterator(dir.path(""))) {
      EXPECT_NE(entry.path().extension(), ".tmp") << "left behind: " << entry.path();
    }
    if (std::filesystem::exists(savedPath())) {
      EXPECT_EQ(bytesOf(savedPath()), savedMdm) << "the saved MDM is not whole";
    }
    const Lines inFile = linesOf(bytesOf(findingsPath()));
    EXPECT_TRUE(isSubsequence(inFile, failed.log))
        << "the findings file holds lines the host never got";

    const Lines run = runLinesOf(failed);
    if (failed.initialised && !failed.executed && !persistent) {
      // One allocation failed and the run ended early: its last line says why.
      ASSERT_FALSE(run.empty());
      EXPECT_TRUE(startsWith(run.back(), "!!!  ") ||
                  startsWith(run.back(), "Kelvora>  Error Reading "))
          << run.back();
    }
    if (failed.loaded && failed.log == Lines{kUnloadLine}) {
      // The log's buffer could not be had at load: the log stayed silent throughout.
      EXPECT_TRUE(inFile.empty());
      ++silentLogs;
    } else if (failed.executed) {
      // The run came to its end, so it can only have lost log entries on the way. Its own lines
      // lie between the greeting and the closing line.
      ASSERT_FALSE(run.empty());
      const std::string& last = run.back();
      if (startsWith(last, kSavedPrefix)) {
        EXPECT_EQ(inFile, Lines(run.begin(), run.end() - 1)) << "saved, yet not every line is in";
      } else if (!startsWith(last, kNotSavedPrefix)) {
        EXPECT_EQ(inFile, run) << "only the line saying where the findings are may be lost";
      }
      ++completeRuns;
    }
    if (std::find(failed.log.begin(), failed.log.end(), kOutOfMemoryLine) != failed.log.end()) {
      ++outOfMemoryLines;
    }
  }

  // A lifecycle with memory to spare after a failed one gives exactly what the first one gave.
  void checkRecovered() {
    const Lifecycle clean = liveWithoutFailures();
    EXPECT_TRUE(clean.executed);
    EXPECT_EQ(clean.log, reference.log);
    EXPECT_EQ(bytesOf(findingsPath()), referenceFindings);
    EXPECT_EQ(bytesOf(savedPath()), savedMdm);
  }

  // The heap in use when no lifecycle is running and the script is empty.
  static std::uint64_t heapAtRest() {
    hostScript() = testing::HostScript();
    return kelvoraHeapBytesInUse();
  }

  void establishReference() {
    reference = liveWithoutFailures();  // warms up what the library keeps between runs
    reference = liveWithoutFailures();
    ASSERT_TRUE(reference.executed);
    referenceFindings = bytesOf(findingsPath());
    savedMdm = bytesOf(savedPath());
    { SCOPED_TRACE("the trace stack reaches its size"); }
    heapInUse = heapAtRest();
    prepare();
    kelvoraCountAllocations();
    live();
    allocations = kelvoraStopCountingAllocations();
  }

  void failEveryAllocation(bool persistent) {
    for (std::uint64_t n = 1; n <= allocations; ++n) {
      {
        SCOPED_TRACE((persistent ? "failing from allocation " : "failing allocation ") +
                     std::to_string(n) + " of " + std::to_string(allocations));
        const int descriptors = testing::openFileDescriptors();
        prepare();
        kelvoraFailAllocationsFrom(n, persistent ? 1 : 0);
        const Lifecycle failed = live();
        kelvoraStopCountingAllocations();
        checkAfterFailure(failed, persistent, descriptors);
        checkRecovered();
      }
      if (HasFailure()) return;  // a failure's message is kept on the heap
      // Measured with nothing of the iteration alive.
      const std::uint64_t heap = heapAtRest();
      EXPECT_EQ(heap, heapInUse) << "the heap grew after failing at allocation " << n;
      if (HasFailure()) return;
    }
  }

  void report() const {
    std::printf(
        "allocation points: %llu; complete runs despite a failure: %d; out-of-memory lines: %d; "
        "silent logs: %d\n",
        static_cast<unsigned long long>(allocations), completeRuns, outOfMemoryLines, silentLogs);
  }

  const std::string pluginPath = testing::builtPluginPath();
  testing::TempDir dir;
  std::string mdmPath;
  std::string locatedPath;
  std::string originalMdm;
  Lifecycle reference;
  std::string referenceFindings;
  std::string savedMdm;
  std::uint64_t heapInUse = 0;
  std::uint64_t allocations = 0;
  int completeRuns = 0;
  int outOfMemoryLines = 0;
  int silentLogs = 0;
};

TEST_F(AllocationFailureTest, ReferenceLifecycleTakesEveryStepOfARun) {
  establishReference();
  const Lines expected{
      kGreeting,
      "Kelvora>  Start inspecting " + mdmPath,
      "!!!  Failed opening SDM for reading: D:/old/S01_run1.sdm",
      "Kelvora>  Asking user to select correct path",
      "Kelvora>  Read 3 SDMs from the MDM file",
      "Kelvora>  All SDMs have 2 predictors of interest",
      "Kelvora>  The names for the predictors of interest all match",
      "Kelvora>  2 unique subjects detected",
      "!!!  S01, predictor number 2 named \"Houses\" contains only zeros across runs",
      "!!!  S02_run1.sdm predictor number 3 named \"Motion\" contains only zeros",
      kSavedPrefix + findingsPath(),
      kClosing,
      kUnloadLastText,
      kUnloadLine};
  EXPECT_EQ(reference.log, expected);
  EXPECT_FALSE(savedMdm.empty());
  EXPECT_GT(allocations, 100u);
}

TEST_F(AllocationFailureTest, EachAllocationFailingAloneIsSurvived) {
  establishReference();
  failEveryAllocation(/*persistent=*/false);
  report();
}

TEST_F(AllocationFailureTest, AllAllocationsFailingFromEachPointOnIsSurvived) {
  establishReference();
  failEveryAllocation(/*persistent=*/true);
  report();
}

}  // namespace
}  // namespace kelvora
