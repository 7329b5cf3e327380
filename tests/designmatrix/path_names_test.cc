#include "designmatrix/path_names.h"

#include <gtest/gtest.h>

namespace kelvora {
namespace {

TEST(PathNamesTest, FileNameIsTheTextAfterTheLastSeparatorOfEitherKind) {
  EXPECT_EQ(fileNameOf("D:\\study/sub\\S01_run1.sdm"), "S01_run1.sdm");
  EXPECT_EQ(fileNameOf("/data\\x/S01.sdm"), "S01.sdm");
  EXPECT_EQ(fileNameOf("S01.sdm"), "S01.sdm");
  EXPECT_EQ(fileNameOf("D:\\study\\"), "");
  EXPECT_EQ(fileNameOf(""), "");
}

TEST(PathNamesTest, DirectoryIsTheTextBeforeTheLastSeparator) {
  EXPECT_EQ(directoryOf("D:\\g.mdm"), "D:");
  EXPECT_EQ(directoryOf("/g.mdm"), "");
  EXPECT_EQ(directoryOf("g.mdm"), "");
  EXPECT_EQ(directoryOf("\\\\srv\\sh\\g.mdm"), "\\\\srv\\sh");
  EXPECT_EQ(directoryOf("D:/a\\b/g.mdm"), "D:/a\\b");
}

TEST(PathNamesTest, ReplaceExtensionCutsTheLastDotOfTheFileName) {
  EXPECT_EQ(replaceExtension("D:\\study\\group.mdm", "_log.txt"), "D:\\study\\group_log.txt");
  EXPECT_EQ(replaceExtension("/data/group.v2.mdm", "_log.txt"), "/data/group.v2_log.txt");
  EXPECT_EQ(replaceExtension("group", "_log.txt"), "group_log.txt");
  EXPECT_EQ(replaceExtension("", "_log.txt"), "_log.txt");
}

// A dotted folder must not shorten the path: the findings file would land in the parent folder
// and empty whatever file has that name there.
TEST(PathNamesTest, ReplaceExtensionIgnoresDotsInFolderNames) {
  EXPECT_EQ(replaceExtension("D:\\set.b\\group", "_log.txt"), "D:\\set.b\\group_log.txt");
  EXPECT_EQ(replaceExtension("/data/set.b/group", "_log.txt"), "/data/set.b/group_log.txt");
  EXPECT_EQ(replaceExtension("D:\\set.b/", "_log.txt"), "D:\\set.b/_log.txt");
}

}  // namespace
}  // namespace kelvora
