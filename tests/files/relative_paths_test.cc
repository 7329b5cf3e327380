#include "files/relative_paths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "files/native_file.h"
#include "files/safe_file.h"
#include "support/file_bytes.h"
#include "support/temp_dir.h"

namespace kelvora {
namespace {

TEST(RelativePathsTest, ARelativePathIsJoinedToTheAnchoredFolderOnlyWhileItIsAnchored) {
  EXPECT_EQ(anchoredPath("run.sdm"), "run.sdm");
  {
    const RelativePathFolder study(backslashSeparatesFolders() ? "D:\\lab\\study\\"
                                                               : "/lab/study/");
    const std::string joined =
        backslashSeparatesFolders() ? "D:\\lab\\study\\sub/run.sdm" : "/lab/study/sub/run.sdm";
    EXPECT_EQ(anchoredPath("sub/run.sdm"), joined);
    EXPECT_EQ(anchoredPath("/data/run.sdm"),
              backslashSeparatesFolders() ? "D:/data/run.sdm" : "/data/run.sdm");
    EXPECT_EQ(anchoredPath(""), "");
    {
      const RelativePathFolder unchanged("");
      EXPECT_EQ(anchoredPath("sub/run.sdm"), joined);
      const RelativePathFolder inner(backslashSeparatesFolders() ? "E:\\other" : "/other");
      EXPECT_EQ(anchoredPath("run.sdm"),
                backslashSeparatesFolders() ? "E:\\other\\run.sdm" : "/other/run.sdm");
    }
    EXPECT_EQ(anchoredPath("sub/run.sdm"), joined);
  }
  EXPECT_EQ(anchoredPath("run.sdm"), "run.sdm");
  EXPECT_EQ(relativePathFolder(), "");
}

TEST(RelativePathsTest, WindowsRootedAndDrivePathsKeepToTheAnchoredDriveOrShare) {
  if (!backslashSeparatesFolders()) GTEST_SKIP() << "'\\' is part of a name here";
  {
    const RelativePathFolder study("D:\\lab\\study");
    EXPECT_EQ(anchoredPath("E:\\x.sdm"), "E:\\x.sdm");
    EXPECT_EQ(anchoredPath("\\\\host\\share\\x.sdm"), "\\\\host\\share\\x.sdm");
    EXPECT_EQ(anchoredPath("\\x.sdm"), "D:\\x.sdm");
    EXPECT_EQ(anchoredPath("d:x.sdm"), "D:\\lab\\study\\x.sdm");
    EXPECT_EQ(anchoredPath("E:x.sdm"), "E:x.sdm");  // another drive's own current folder
  }
  const RelativePathFolder share("\\\\host\\share\\study");
  EXPECT_EQ(anchoredPath("\\x.sdm"), "\\\\host\\share\\x.sdm");
}

TEST(RelativePathsTest, FileCallsFindRelativePathsInTheAnchoredFolderAndTheProcessStaysPut) {
  testing::TempDir dir;
  std::filesystem::create_directories(dir.path("study"));
  const std::string sdm = dir.writeFile("study/run.sdm", "values");
  const std::filesystem::path started = std::filesystem::current_path();
  {
    const RelativePathFolder study(dir.path("study"));
    std::uint64_t size = 0;
    EXPECT_NE(openRegularFileForReading("run.sdm", size), nullptr);
    EXPECT_EQ(size, 6u);
    EXPECT_EQ(fileKeyOf("run.sdm"), fileKeyOf(sdm));
    EXPECT_EQ(fileKeyOf("missing.mdm"), fileKeyOf(dir.path("study/missing.mdm")));
    EXPECT_TRUE(replaceFileContents("written.txt", "made"));
    // Another thread keeps its own anchor: none.
    std::thread([] { EXPECT_EQ(relativePathFolder(), ""); }).join();
  }
  EXPECT_EQ(std::filesystem::current_path(), started);
  EXPECT_EQ(testing::readFileBytes(dir.path("study/written.txt")), "made");
}

TEST(RelativePathsTest, HasFileKeyAgreesWithComparingKeysHoweverAPathIsSpelled) {
  testing::TempDir dir;
  std::filesystem::create_directories(dir.path("study/sub"));
  const std::string sdm = dir.writeFile("study/run.sdm", "values");
  const RelativePathFolder study(dir.path("study"));
  const std::vector<std::string> spellings{"run.sdm",
                                           "sub/../run.sdm",
                                           sdm,
                                           "sub/run.sdm",
                                           "missing.vtc",
                                           "sub/../missing.vtc",
                                           "gone/../missing.vtc",
                                           "other.vtc",
                                           "sub/..",
                                           ".",
                                           "gone/deeper/missing.vtc"};
  for (const std::string& target : {sdm, dir.path("study/missing.vtc"), dir.path("study/sub")}) {
    const FileKey key = fileKeyOf(target);
    for (const std::string& path : spellings) {
      EXPECT_EQ(hasFileKey(path, key), fileKeyOf(path) == key) << target << " against " << path;
    }
  }
  EXPECT_TRUE(hasFileKey("sub/../missing.vtc", fileKeyOf(dir.path("study/missing.vtc"))));
  EXPECT_FALSE(hasFileKey("missing.vtc", fileKeyOf(sdm)));
}

}  // namespace
}  // namespace kelvora
