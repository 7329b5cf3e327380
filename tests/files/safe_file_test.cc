#include "files/safe_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/file_bytes.h"
#include "support/temp_dir.h"

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#endif

namespace kelvora {
namespace {

using Names = std::vector<std::string>;

class SafeFileTest : public ::testing::Test {
 protected:
  // Makes `name` anew through createFileAnew and writes `text` to it; true when all went well.
  bool createAndWrite(const std::string& name, const std::string& text) {
    FilePtr file = createFileAnew(dir.path(name), WriteMode::kBinary);
    return file != nullptr && std::fputs(text.c_str(), file.get()) >= 0 &&
           std::fclose(file.release()) == 0;
  }

  testing::TempDir dir;
};

TEST_F(SafeFileTest, ANewFileIsVisibleUnderItsNameWhileItIsWritten) {
  FilePtr file = createFileAnew(dir.path("live_log.txt"), WriteMode::kText);
  ASSERT_NE(file, nullptr);
  std::fputs("first line\n", file.get());
  std::fflush(file.get());
  EXPECT_EQ(testing::readFileBytes(dir.path("live_log.txt")).rfind("first line", 0), 0u);
  EXPECT_EQ(testing::folderEntries(dir.path("")), Names{"live_log.txt"});
}

#ifndef _WIN32
TEST_F(SafeFileTest, ALinkIsReplacedAndWhatItLedToIsLeftAlone) {
  const std::string victim = dir.writeFile("victim.txt", "another user's file");
  for (const char* name : {"replaced.html", "created.txt"}) {
    ASSERT_EQ(::symlink(victim.c_str(), dir.path(name).c_str()), 0);
  }
  EXPECT_TRUE(replaceFileContents(dir.path("replaced.html"), "report"));
  EXPECT_TRUE(createAndWrite("created.txt", "findings"));
  EXPECT_FALSE(std::filesystem::is_symlink(dir.path("replaced.html")));
  EXPECT_FALSE(std::filesystem::is_symlink(dir.path("created.txt")));
  EXPECT_EQ(testing::readFileBytes(dir.path("replaced.html")), "report");
  EXPECT_EQ(testing::readFileBytes(dir.path("created.txt")), "findings");
  EXPECT_EQ(testing::readFileBytes(victim), "another user's file");
}

// A pipe without a reader would block whoever opens it for writing: it is refused unopened.
TEST_F(SafeFileTest, APipeIsRefusedWithoutBlockingAndNoTemporaryIsLeft) {
  ASSERT_EQ(::mkfifo(dir.path("pipe.html").c_str(), 0600), 0);
  EXPECT_FALSE(replaceFileContents(dir.path("pipe.html"), "report"));
  EXPECT_EQ(createFileAnew(dir.path("pipe.html"), WriteMode::kText), nullptr);
  EXPECT_TRUE(std::filesystem::is_fifo(dir.path("pipe.html")));
  EXPECT_EQ(testing::folderEntries(dir.path("")), Names{"pipe.html"});
}

TEST_F(SafeFileTest, AReplacedFileKeepsItsPermissionsButNoSetuidSetgidOrStickyBit) {
  for (const char* name : {"replaced.mdm", "created.txt"}) {
    dir.writeFile(name, "old");
    ASSERT_EQ(::chmod(dir.path(name).c_str(), 07751), 0);
  }
  EXPECT_TRUE(replaceFileContents(dir.path("replaced.mdm"), "new"));
  EXPECT_TRUE(createAndWrite("created.txt", "new"));
  for (const char* name : {"replaced.mdm", "created.txt"}) {
    struct stat info {};
    ASSERT_EQ(::stat(dir.path(name).c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0751u) << name;
    EXPECT_EQ(testing::readFileBytes(dir.path(name)), "new");
  }
}

// Writing past the process's file size limit fails once the temporary exists: the target keeps
// its bytes and the temporary goes.
TEST_F(SafeFileTest, AFailedWriteLeavesTheTargetAndRemovesTheTemporary) {
  dir.writeFile("group.mdm", "original");
  struct rlimit saved {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 4096;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool stored = replaceFileContents(dir.path("group.mdm"), std::string(1 << 20, 'x'));
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previousHandler);
  EXPECT_FALSE(stored);
  EXPECT_EQ(testing::readFileBytes(dir.path("group.mdm")), "original");
  EXPECT_EQ(testing::folderEntries(dir.path("")), Names{"group.mdm"});
}

TEST_F(SafeFileTest, FilesAreToldApartByIdentityWhereTheyExistAndByFullPathOtherwise) {
  std::filesystem::create_directory(dir.path("data"));
  const std::string sdm = dir.writeFile("data/s1.sdm", "sdm");
  ASSERT_EQ(::link(sdm.c_str(), dir.path("hard.txt").c_str()), 0);
  EXPECT_EQ(fileKeyOf(sdm), fileKeyOf(dir.path("data/../hard.txt")));
  EXPECT_EQ(fileKeyOf(dir.path("data/new.html")), fileKeyOf(dir.path("data/./x/../new.html")));
  EXPECT_NE(fileKeyOf(dir.path("data/new.html")), fileKeyOf(dir.path("new.html")));
  EXPECT_NE(fileKeyOf(sdm), fileKeyOf(dir.path("data/s2.sdm")));
}
#endif

}  // namespace
}  // namespace kelvora
