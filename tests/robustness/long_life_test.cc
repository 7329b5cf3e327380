// One host process over a long working day: it loads the plug-in, runs it a thousand times,
// mixing complete runs with every kind of early end, unloads it, loads it again and runs again.
// After every run its findings file holds that run's lines and nothing else (or, for a run that
// never attached one, is untouched); no file descriptor and no heap memory is left behind by a
// run or by a load and unload. Heap use is counted exactly where the failing allocator is linked;
// in a sanitizer build, LeakSanitizer checks the same at the end.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "inprocess_host.h"
#include "plugin/plugin_interface.h"
#include "support/study_files.h"
#include "support/temp_dir.h"

#ifdef KELVORA_FAILING_ALLOCATOR
#include "failing_allocator.h"
#endif

namespace kelvora {
namespace {

using Lines = std::vector<std::string>;
using testing::hostScript;

constexpr int kRuns = 1000;

// One kind of run: its MDM (empty: the MDM dialog is cancelled), the rest of the user's answers,
// whether execute returns true, and whether a findings file is attached.
struct RunKind {
  std::string name;
  std::string mdm;
  std::vector<std::string> locations;
  std::vector<bool> answers;
  std::vector<std::string> saves;
  bool complete = false;
  bool findingsFile = true;
};

std::uint64_t heapInUse() {
#ifdef KELVORA_FAILING_ALLOCATOR
  return kelvoraHeapBytesInUse();
#else
  return 0;  // LeakSanitizer watches instead
#endif
}

class LongLifeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::SdmShape shape;
    shape.names = {"Faces", "Houses", "Motion", "Constant"};
    shape.firstConfoundPredictor = 3;
    shape.columns = testing::filledColumns(4, 4, {2});
    const std::string a = dir.writeFile("S01_run1.sdm", testing::sdmText(shape));
    const std::string b = dir.writeFile("S02_run1.sdm", testing::sdmText(shape));
    shape.names.insert(shape.names.begin(), "Tools");
    shape.firstConfoundPredictor = 4;
    shape.columns = testing::filledColumns(5, 4);
    const std::string other = dir.writeFile("S03_run1.sdm", testing::sdmText(shape));
    const auto mdm = [this](const std::string& name, std::vector<testing::StudyPaths> studies) {
      return dir.writeFile(name, testing::mdmText(studies));
    };
    const auto functional = [this](const char* name) { return dir.path(name); };

    RunKind repairAndSave = kind("repair and save", dir.path("moved.mdm"), true);
    repairAndSave.locations = {a};
    repairAndSave.answers = {true};
    repairAndSave.saves = {dir.path("saved.mdm")};
    kinds = {
        kind(
            "complete",
            mdm("complete.mdm", {{functional("S01_run1.vtc"), a}, {functional("S02_run1.vtc"), b}}),
            true),
        kind("count mismatch", mdm("counts.mdm", {{functional("S01_run1.vtc"), a},
                                                  {functional("S02_run1.vtc"), b},
                                                  {functional("S03_run1.vtc"), other}})),
        kind("later SDM missing",
             mdm("missing.mdm", {{functional("S01_run1.vtc"), a}, {"S02_run1.vtc", "gone.sdm"}})),
        kind("repair cancelled",
             mdm("moved.mdm", {{"D:/old/S01_run1.vtc", "D:/old/S01_run1.sdm"}})),
        repairAndSave,
        kind("no studies", mdm("empty.mdm", {})),
        kind("MDM dialog cancelled", "", false, false),
        kind("MDM missing", dir.path("nowhere.mdm"), false, false),
    };
  }

  static RunKind kind(std::string name, std::string mdm, bool complete = false,
                      bool findingsFile = true) {
    RunKind made;
    made.name = std::move(name);
    made.mdm = std::move(mdm);
    made.complete = complete;
    made.findingsFile = findingsFile;
    return made;
  }
  static std::string findingsPathOf(const std::string& mdm) {
    return mdm.substr(0, mdm.rfind('.')) + "_log.txt";
  }
  static std::string bytesOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  // Runs `kind` on `plugin` and checks its result and its findings file.
  void run(HVZRPluginInterface& plugin, const RunKind& kind) {
    testing::HostScript& script = hostScript();
    script = testing::HostScript();
    script.opens = {kind.mdm};
    script.opens.insert(script.opens.end(), kind.locations.begin(), kind.locations.end());
    script.answers.assign(kind.answers.begin(), kind.answers.end());
    script.saves.assign(kind.saves.begin(), kind.saves.end());
    const std::string findings = kind.mdm.empty() ? "" : findingsPathOf(kind.mdm);
    // A mark that only this run can replace: a run that attaches the file must empty it first.
    if (!findings.empty()) {
      std::ofstream(findings) << "left from before\n";
    }

    ASSERT_EQ(plugin.execute(), kind.complete) << kind.name;
    const Lines& logged = script.log;
    ASSERT_FALSE(logged.empty()) << kind.name;
    std::string expected;
    if (kind.findingsFile) {
      // Every line of the run; a complete run's last line, saying where they went, excepted.
      const std::size_t saved = logged.size() - (kind.complete ? 1 : 0);
      for (std::size_t i = 0; i < saved; ++i) expected += logged[i] + "\n";
    } else if (!findings.empty()) {
      expected = "left from before\n";
    }
    if (!findings.empty()) {
      EXPECT_EQ(bytesOf(findings), expected) << kind.name;
    }
  }

  // Loads the plug-in, runs `runs` runs of the kinds in turn, and unloads it. The heap in use
  // after the last run is the heap after the first round of kinds: a run keeps nothing.
  void liveOnce(int runs) {
    testing::PluginLibrary library(testing::builtPluginPath());
    ASSERT_TRUE(library.loaded());
    HVZRPluginInterface* plugin = library.createPlugin();
    ASSERT_NE(plugin, nullptr);
    ASSERT_TRUE(plugin->initPlugin());
    std::uint64_t afterFirstRound = 0;
    for (int i = 0; i < runs && !HasFatalFailure(); ++i) {
      run(*plugin, kinds[static_cast<std::size_t>(i) % kinds.size()]);
      if (i + 1 == static_cast<int>(kinds.size())) afterFirstRound = heapAtRest();
    }
    EXPECT_EQ(heapAtRest(), afterFirstRound) << "runs left heap memory behind";
    delete plugin;
    library.unload();
  }

  static std::uint64_t heapAtRest() {
    hostScript() = testing::HostScript();
    return heapInUse();
  }

  testing::TempDir dir;
  std::vector<RunKind> kinds;
};

TEST_F(LongLifeTest, ThousandRunsThenReloadsLeaveNothingBehind) {
  const int descriptors = testing::openFileDescriptors();
  liveOnce(kRuns);
  ASSERT_FALSE(HasFatalFailure());
  EXPECT_EQ(testing::openFileDescriptors(), descriptors);

  // The dynamic loader keeps a little memory (2 KiB here) from the second load of any library
  // on, so loads and unloads are compared from the second one.
  const int rounds = 2 * static_cast<int>(kinds.size());
  liveOnce(rounds);
  const std::uint64_t afterSecondLife = heapAtRest();
  liveOnce(rounds);
  EXPECT_EQ(testing::openFileDescriptors(), descriptors);
  EXPECT_EQ(heapAtRest(), afterSecondLife) << "a load and unload left heap memory behind";
}

}  // namespace
}  // namespace kelvora
