#include <gtest/gtest.h>

#include "designmatrix/mdm_file.h"
#include "designmatrix/sdm_path_repair.h"
#include "files/native_file.h"
#include "support/fake_dialogs.h"

namespace kelvora {
namespace {

using testing::FakeDialogs;
using Paths = std::vector<std::string>;

TEST(CommonTailTest, CountsEqualBytesFromTheEndWithEitherSeparator) {
  EXPECT_EQ(commonTailLength("D:/study/s01/run1.sdm", "E:/moved/study/s01/run1.sdm"), 19u);
  EXPECT_EQ(commonTailLength("D:/study/s01/run1.sdm", "E:\\moved\\study\\s01\\run1.sdm"), 19u);
  EXPECT_EQ(commonTailLength("D:\\a/b\\c.sdm", "D:/a\\b/c.sdm"), 12u);
  EXPECT_EQ(commonTailLength("run1.sdm", "run1.sdm"), 8u);
  EXPECT_EQ(commonTailLength("D:/s/Run1.sdm", "E:/s/run1.sdm"), 7u);  // case-sensitive
  EXPECT_EQ(commonTailLength("a.sdm", "b.sdx"), 0u);
  EXPECT_EQ(commonTailLength("", "x"), 0u);
}

class StudyRelocationTest : public ::testing::Test {
 protected:
  // An MDM as read from `mdmPath`, without touching a file.
  MdmFile mdmWith(const std::string& mdmPath, Paths functional, Paths sdm) {
    MdmFile mdm("");
    mdm.fileVersion = 3;
    mdm.path = mdmPath;
    mdm.functionalPaths = std::move(functional);
    mdm.sdmPaths = std::move(sdm);
    return mdm;
  }

  FakeDialogs dialogs;
};

TEST_F(StudyRelocationTest, RebasesThePathsThatBeginWithTheCutPart) {
  MdmFile mdm = mdmWith("D:/study/group.mdm", {"D:/study/s01/func1", "D:\\other/s02/f", "V:/x"},
                        {"D:/study/s01/run1.sdm", "D:/study/s02/run1.sdm", "D"});
  dialogs.chooseToOpen("E:/moved/study/s01/run1.sdm");
  ASSERT_TRUE(mdm.relocateStudyPaths(dialogs));
  EXPECT_EQ(dialogs.calls(), Paths{"open|SDM not found. Select run1.sdm manually.|D:/study|"
                                   "Single Subject Desgin Matrix (run1.sdm)"});
  // The cut part is "D:": a path that does not begin with it (another drive, or too short) stays
  // exactly as it is.
  EXPECT_EQ(mdm.sdmPaths,
            (Paths{"E:/moved/study/s01/run1.sdm", "E:/moved/study/s02/run1.sdm", "D"}));
  EXPECT_EQ(mdm.functionalPaths,
            (Paths{"E:/moved/study/s01/func1", "E:/moved\\other/s02/f", "V:/x"}));
}

TEST_F(StudyRelocationTest, MixedSeparatorsKeepTheFolderTailButTheFirstSdmIsTheChosenPath) {
  MdmFile mdm = mdmWith("D:/study/group.mdm", {"D:/study/s02/f.vtc", "D:/study/s02/g.vtc"},
                        {"D:/study/s01/run1.sdm", "D:/study/s02/run1.sdm"});
  dialogs.chooseToOpen("E:\\moved\\study\\s01\\run1.sdm");
  ASSERT_TRUE(mdm.relocateStudyPaths(dialogs));
  EXPECT_EQ(mdm.functionalPaths, (Paths{"E:\\moved/study/s02/f.vtc", "E:\\moved/study/s02/g.vtc"}));
  EXPECT_EQ(mdm.sdmPaths,
            (Paths{"E:\\moved\\study\\s01\\run1.sdm", "E:\\moved/study/s02/run1.sdm"}));
}

TEST_F(StudyRelocationTest, RelativeOldPathsGetThePrefixInFront) {
  MdmFile mdm = mdmWith("group.mdm", {"s01/f.vtc"}, {"s01/run1.sdm"});
  dialogs.chooseToOpen("/data/s01/run1.sdm");
  ASSERT_TRUE(mdm.relocateStudyPaths(dialogs));
  EXPECT_EQ(
      dialogs.calls().front(),
      "open|SDM not found. Select run1.sdm manually.||Single Subject Desgin Matrix (run1.sdm)");
  EXPECT_EQ(mdm.sdmPaths, Paths{"/data/s01/run1.sdm"});
  EXPECT_EQ(mdm.functionalPaths, Paths{"/data/s01/f.vtc"});
}

TEST_F(StudyRelocationTest, ACancelOrTooShortAPathChangesNothing) {
  MdmFile mdm = mdmWith("D:/g.mdm", {"D:/s/f.vtc"}, {"D:/s/run1.sdm"});
  dialogs.cancelOpen().chooseToOpen("run.sdm");  // shorter than "run1.sdm"
  EXPECT_FALSE(mdm.relocateStudyPaths(dialogs));
  EXPECT_FALSE(mdm.relocateStudyPaths(dialogs));
  EXPECT_EQ(mdm.sdmPaths, Paths{"D:/s/run1.sdm"});
  EXPECT_EQ(mdm.functionalPaths, Paths{"D:/s/f.vtc"});
}

TEST_F(StudyRelocationTest, ExtraPathsAreRebasedOnlyInAnMtcDesignAndOnlyWhereGiven) {
  MdmFile mdm = mdmWith("D:/g.mdm", {"D:/s/f1", "D:/s/f2"}, {"D:/s/r1.sdm", "D:/s/r2.sdm"});
  mdm.typeOfFunctionalData = "MTC";
  mdm.extraPaths = {std::string("D:/s/e1"), std::nullopt};
  dialogs.chooseToOpen("F:/s/r1.sdm").chooseToOpen("G:/s/r1.sdm");
  ASSERT_TRUE(mdm.relocateStudyPaths(dialogs));
  EXPECT_EQ(mdm.extraPaths[0], std::optional<std::string>("F:/s/e1"));
  EXPECT_EQ(mdm.extraPaths[1], std::nullopt);

  mdm.typeOfFunctionalData = "mtc";
  ASSERT_TRUE(mdm.relocateStudyPaths(dialogs));
  EXPECT_EQ(mdm.extraPaths[0], std::optional<std::string>("F:/s/e1"));
  EXPECT_EQ(mdm.sdmPaths[1], "G:/s/r2.sdm");
}

// Where '\' separates no folders, a re-based path of an MDM written with '\' takes '/' throughout;
// where it does, nothing changes. A path outside the moved folder stays as written.
TEST_F(StudyRelocationTest, BackslashPathsRebasedWhereTheySeparateNothingTakeSlashes) {
  MdmFile mdm = mdmWith("C:\\lab\\group.mdm", {"C:\\lab\\sdm\\S01.vtc", "V:\\f\\S01.vtc"},
                        {"C:\\lab\\sdm\\S01_1.sdm", "C:\\lab\\sdm\\run\\S01_2.sdm"});
  dialogs.chooseToOpen("/data/S01_1.sdm");
  ASSERT_TRUE(mdm.relocateStudyPaths(dialogs));
  const bool slashes = !backslashSeparatesFolders();
  EXPECT_EQ(mdm.sdmPaths,
            (Paths{"/data/S01_1.sdm", slashes ? "/data/run/S01_2.sdm" : "/data\\run\\S01_2.sdm"}));
  EXPECT_EQ(mdm.functionalPaths,
            (Paths{slashes ? "/data/S01.vtc" : "/data\\S01.vtc", "V:\\f\\S01.vtc"}));
}

}  // namespace
}  // namespace kelvora
