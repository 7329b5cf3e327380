#include <gtest/gtest.h>

#include <filesystem>
#include <locale>
#include <optional>
#include <string>
#include <vector>

#include "designmatrix/mdm_file.h"
#include "files/relative_paths.h"
#include "support/design_matrix_text.h"
#include "support/file_bytes.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace kelvora {
namespace {

using Names = std::vector<std::string>;

constexpr char kHeader[] =
    "\r\nFileVersion:          3\r\nTypeOfFunctionalData: VTC\r\n\r\nRFX-GLM:              1\r\n"
    "\r\nPSCTransformation:    0\r\nzTransformation:      1\r\nSeparatePredictors:   0\r\n\r\n";

class MdmWriterTest : public ::testing::Test {
 protected:
  // Two studies in a design of the given type; every other field as read from a file that gives
  // nothing but a count.
  MdmFile twoStudies(const std::string& type = "VTC") {
    MdmFile mdm(dir.writeFile("in.mdm", "NrOfStudies: 2\n"));
    mdm.fileVersion = 3;
    mdm.typeOfFunctionalData = type;
    mdm.rfxGlm = 1;
    mdm.zTransformation = 1;
    mdm.functionalPaths = {"D:\\data\\S01 run1.vtc", "f2"};
    mdm.sdmPaths = {"D:\\data\\S01.sdm", "s2"};
    return mdm;
  }

  std::string written(MdmFile mdm) {
    EXPECT_TRUE(mdm.saveAs(dir.path("group.mdm")));
    return testing::readFileBytes(dir.path("group.mdm"));
  }

  testing::TempDir dir;
  testing::LogCapture log;
};

TEST_F(MdmWriterTest, WritesTheExactLayoutWithCrLfLineEnds) {
  EXPECT_EQ(written(twoStudies()), std::string(kHeader) +
                                       "NrOfStudies:          2\r\n"
                                       "\"D:\\data\\S01 run1.vtc\" \"D:\\data\\S01.sdm\"\r\n"
                                       "\"f2\" \"s2\"\r\n");
  MdmFile none = twoStudies();
  none.functionalPaths.clear();
  none.sdmPaths.clear();
  EXPECT_EQ(written(none), std::string(kHeader) + "NrOfStudies:          0\r\n");
  EXPECT_TRUE(log.lines().empty());
}

// The count written is that of the studies held, never the announced one; a list shorter than
// sdmPaths gives empty paths; an MTC study without extra path is written with two paths.
TEST_F(MdmWriterTest, WritesTheStudiesItHolds) {
  MdmFile mdm = twoStudies("MTC");
  mdm.nrOfStudies = 2147483647;
  mdm.extraPaths = {std::nullopt, std::string("e2")};
  mdm.functionalPaths.pop_back();
  const std::string bytes = written(mdm);
  EXPECT_EQ(bytes.substr(bytes.find("NrOfStudies:")),
            "NrOfStudies:          2\r\n\"D:\\data\\S01 run1.vtc\" \"D:\\data\\S01.sdm\"\r\n"
            "\"e2\" \"\" \"s2\"\r\n");
}

TEST_F(MdmWriterTest, WrittenFileReadsBackEqualWithPlainNumbersInAnyGlobalLocale) {
  struct GroupingComma : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
  };
  const std::locale previous = std::locale::global(std::locale(std::locale(), new GroupingComma));
  MdmFile mdm(dir.writeFile("in.mdm",
                            "FileVersion: +0012345 RFX-GLM: -2147483648 "
                            "TypeOfFunctionalData: MTC NrOfStudies: 7\n"
                            "\"e 1\" \"f1\" \"s1\"\n\"f2\" \"s2\"\n"));
  const std::string bytes = written(mdm);
  std::locale::global(previous);
  EXPECT_NE(bytes.find("FileVersion:          12345\r\n"), std::string::npos);
  EXPECT_NE(bytes.find("RFX-GLM:              -2147483648\r\n"), std::string::npos);
  mdm.nrOfStudies = 2;
  EXPECT_EQ(testing::describe(MdmFile(dir.path("group.mdm"))), testing::describe(mdm));
}

TEST_F(MdmWriterTest, ReplacesAnExistingFileAndLeavesNoTemporary) {
  dir.writeFile("group.mdm", "old contents, longer than the new ones would need to be to show");
  EXPECT_EQ(written(twoStudies()).substr(0, 2), "\r\n");
  EXPECT_EQ(testing::folderEntries(dir.path("")), (Names{"group.mdm", "in.mdm"}));
}

// Each refusal logs the target, leaves what was there as it was, and no temporary behind.
TEST_F(MdmWriterTest, RefusedTargetsLeaveEverythingAsItWas) {
  std::filesystem::create_directory(dir.path("folder.mdm"));
  dir.writeFile("folder.mdm/inside.txt", "kept");
  dir.writeFile("plain.mdm", "unchanged");
  std::vector<std::string> targets = {
      dir.path("folder.mdm"), dir.path("missing/group.mdm"), dir.path("plain.mdm/group.mdm"), "",
      dir.path("") + "\\",    dir.path("x.mdm") + '\0' + "y"};
#ifndef _WIN32
  ASSERT_EQ(::mkfifo(dir.path("pipe.mdm").c_str(), 0600), 0);
  targets.push_back(dir.path("pipe.mdm"));
#endif
  for (const std::string& target : targets) {
    MdmFile mdm = twoStudies();
    EXPECT_FALSE(mdm.saveAs(target)) << target;
    EXPECT_EQ(mdm.path, target);
    // The log hands its entries on as C strings: a NUL byte ends the line there.
    EXPECT_EQ(log.lines().back(), "!! Cannot Create file: " + std::string(target.c_str()));
  }
  EXPECT_EQ(log.lines().size(), targets.size());
  EXPECT_EQ(testing::readFileBytes(dir.path("folder.mdm/inside.txt")), "kept");
  EXPECT_EQ(testing::readFileBytes(dir.path("plain.mdm")), "unchanged");
  Names expected = {"folder.mdm", "in.mdm", "plain.mdm"};
#ifndef _WIN32
  expected.insert(expected.begin() + 2, "pipe.mdm");
  EXPECT_TRUE(std::filesystem::is_fifo(dir.path("pipe.mdm")));
#endif
  EXPECT_EQ(testing::folderEntries(dir.path("")), expected);
}

// Paths that would read back as other lines, and the findings file the run is writing, are
// refused before anything is written; the file at the target keeps its bytes.
TEST_F(MdmWriterTest, RefusesWhatCouldNotBeReadBackAndTheFindingsFile) {
  const std::string target = dir.writeFile("group.mdm", "original");
  for (const char* path : {"D:/a\"b.sdm", "D:/a\rb.sdm", "D:/a\nb.sdm"}) {
    MdmFile mdm = twoStudies("MTC");
    mdm.extraPaths = {std::nullopt, std::string(path)};
    EXPECT_FALSE(mdm.saveAs(target)) << path;
    mdm.extraPaths.clear();
    mdm.functionalPaths.replace(1, path);
    EXPECT_FALSE(mdm.saveAs(target)) << path;
  }
  pluginLog.attachFile(dir.path("group_log.txt"));
  EXPECT_FALSE(twoStudies().saveAs(dir.path("./group_log.txt")));
  pluginLog.closeFile();
  Names expected(6, "!! Cannot Create file: " + target);
  expected.push_back("!! Cannot Create file: " + dir.path("./group_log.txt"));
  EXPECT_EQ(log.lines(), expected);
  EXPECT_EQ(testing::readFileBytes(target), "original");
  EXPECT_EQ(testing::readFileBytes(dir.path("group_log.txt")).rfind(expected.back(), 0), 0u);
}

// The corrected MDM of a repair must not destroy one of the SDMs it lists, however spelled.
TEST_F(MdmWriterTest, RefusesToReplaceAnSdmOfItsStudy) {
  MdmFile mdm = twoStudies();
  mdm.sdmPaths.replace(1, dir.writeFile("s2.sdm", "an SDM"));
  EXPECT_FALSE(mdm.saveAs(dir.path("./s2.sdm")));
  EXPECT_EQ(log.lines(), Names{"!! Cannot Create file: " + dir.path("./s2.sdm")});
  EXPECT_EQ(testing::readFileBytes(dir.path("s2.sdm")), "an SDM");
}

// The functional data and an MTC design's extra paths are the study's too; relative ones are
// taken where the readers take them, in the anchored folder.
TEST_F(MdmWriterTest, RefusesToReplaceAFunctionalFileOfItsStudy) {
  MdmFile mdm = twoStudies("MTC");
  mdm.functionalPaths.replace(1, "f2.vtc");
  mdm.extraPaths = {std::nullopt, std::string("e2.prt")};
  dir.writeFile("f2.vtc", "functional data");
  {
    const RelativePathFolder study(dir.path(""));
    EXPECT_FALSE(mdm.saveAs(dir.path("f2.vtc")));
    EXPECT_FALSE(mdm.saveAs(dir.path("e2.prt")));
    EXPECT_TRUE(mdm.readsFile(dir.path("f2.vtc")));
  }
  EXPECT_EQ(log.lines(), (Names{"!! Cannot Create file: " + dir.path("f2.vtc"),
                                "!! Cannot Create file: " + dir.path("e2.prt")}));
  EXPECT_EQ(testing::readFileBytes(dir.path("f2.vtc")), "functional data");
  EXPECT_EQ(testing::folderEntries(dir.path("")), (Names{"f2.vtc", "in.mdm"}));
}

// A long target saves (its temporary's name is short), keeps the target's permission bits, and
// leaves no temporary.
TEST_F(MdmWriterTest, ReplacedFileKeepsItsPermissionsAndALongNameSaves) {
  const std::string longName = std::string(200, 'g') + ".mdm";
  dir.writeFile(longName, "original");
#ifndef _WIN32
  ASSERT_EQ(::chmod(dir.path(longName).c_str(), 0440), 0);
#endif
  EXPECT_TRUE(twoStudies().saveAs(dir.path(longName)));
  EXPECT_EQ(testing::readFileBytes(dir.path(longName)).substr(0, 2), "\r\n");
#ifndef _WIN32
  struct stat info {};
  ASSERT_EQ(::stat(dir.path(longName).c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0440u);
#endif
  EXPECT_EQ(testing::folderEntries(dir.path("")), (Names{longName, "in.mdm"}));
}

}  // namespace
}  // namespace kelvora
