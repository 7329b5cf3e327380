#include <gtest/gtest.h>

#include <filesystem>
#include <locale>
#include <optional>
#include <string>
#include <vector>

#include "designmatrix/mdm_file.h"
#include "support/file_bytes.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace kelvora {
namespace {

using Names = std::vector<std::string>;

class MdmWriterTest : public ::testing::Test {
 protected:
  // An MdmFile read from a file that gives nothing but a count of 0: every field at its default.
  MdmFile blank() { return MdmFile(dir.writeFile("blank.in", "NrOfStudies: 0\n")); }

  MdmFile twoStudies(const std::string& type) {
    MdmFile mdm = blank();
    mdm.fileVersion = 3;
    mdm.typeOfFunctionalData = type;
    mdm.rfxGlm = 1;
    mdm.zTransformation = 1;
    mdm.nrOfStudies = 2;
    mdm.functionalPaths = {"D:\\data\\S01 run1.vtc", "f2"};
    mdm.sdmPaths = {"D:\\data\\S01.sdm", "s2"};
    return mdm;
  }

  std::string written(MdmFile mdm) {
    EXPECT_TRUE(mdm.saveAs(dir.path("group.mdm")));
    return testing::readFileBytes(dir.path("group.mdm"));
  }

  void expectRefused(MdmFile mdm, const std::string& target) {
    EXPECT_FALSE(mdm.saveAs(target));
    EXPECT_EQ(mdm.path, target);
    ASSERT_FALSE(log.lines().empty());
    EXPECT_EQ(log.lines().back(), "!! Cannot Create file: " + target);
  }

  Names entries() { return testing::folderEntries(dir.path("")); }

  static constexpr char kHeader[] =
      "\r\n"
      "FileVersion:          3\r\n"
      "TypeOfFunctionalData: VTC\r\n"
      "\r\n"
      "RFX-GLM:              1\r\n"
      "\r\n"
      "PSCTransformation:    0\r\n"
      "zTransformation:      1\r\n"
      "SeparatePredictors:   0\r\n"
      "\r\n";

  testing::TempDir dir;
  testing::LogCapture log;
};

TEST_F(MdmWriterTest, WritesTheExactLayoutWithCrLfLineEnds) {
  EXPECT_EQ(written(twoStudies("VTC")), std::string(kHeader) +
                                            "NrOfStudies:          2\r\n"
                                            "\"D:\\data\\S01 run1.vtc\" \"D:\\data\\S01.sdm\"\r\n"
                                            "\"f2\" \"s2\"\r\n");
  EXPECT_TRUE(log.lines().empty());
}

TEST_F(MdmWriterTest, MtcStudyWithoutExtraPathIsWrittenWithTwoPaths) {
  MdmFile mdm = twoStudies("MTC");
  mdm.extraPaths = {std::nullopt, std::string("e2")};
  const std::string bytes = written(mdm);
  EXPECT_NE(bytes.find("NrOfStudies:          2\r\n"
                       "\"D:\\data\\S01 run1.vtc\" \"D:\\data\\S01.sdm\"\r\n"
                       "\"e2\" \"f2\" \"s2\"\r\n"),
            std::string::npos);
}

TEST_F(MdmWriterTest, NoStudiesGiveTheElevenHeaderLinesOnly) {
  MdmFile mdm = twoStudies("VTC");
  mdm.functionalPaths.clear();
  mdm.sdmPaths.clear();
  EXPECT_EQ(written(mdm), std::string(kHeader) + "NrOfStudies:          0\r\n");
}

TEST_F(MdmWriterTest, WritesTheStudiesItHoldsNotTheAnnouncedCount) {
  MdmFile mdm = twoStudies("VTC");
  mdm.nrOfStudies = 2147483647;
  mdm.functionalPaths.pop_back();
  mdm.sdmPaths.pop_back();
  EXPECT_EQ(written(mdm), std::string(kHeader) +
                              "NrOfStudies:          1\r\n"
                              "\"D:\\data\\S01 run1.vtc\" \"D:\\data\\S01.sdm\"\r\n");
}

TEST_F(MdmWriterTest, ShortListsGiveEmptyPathsInsteadOfReadingPastTheirEnd) {
  MdmFile mdm = twoStudies("MTC");
  mdm.functionalPaths = {"f1"};
  mdm.extraPaths = {std::string("e1")};
  const std::string bytes = written(mdm);
  EXPECT_NE(bytes.find("\"e1\" \"f1\" \"D:\\data\\S01.sdm\"\r\n\"\" \"s2\"\r\n"),
            std::string::npos);
}

TEST_F(MdmWriterTest, NumbersAreWrittenPlainInAnyGlobalLocale) {
  struct GroupingComma : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
  };
  const std::locale previous = std::locale::global(std::locale(std::locale(), new GroupingComma));
  MdmFile mdm = MdmFile(dir.writeFile("in.mdm",
                                      "FileVersion: +0012345 RFX-GLM: -2147483648\n"
                                      "NrOfStudies: 0\n"));
  const std::string bytes = written(mdm);
  std::locale::global(previous);
  EXPECT_NE(bytes.find("FileVersion:          12345\r\n"), std::string::npos);
  EXPECT_NE(bytes.find("RFX-GLM:              -2147483648\r\n"), std::string::npos);
}

TEST_F(MdmWriterTest, WrittenFileReadsBackEqual) {
  MdmFile mdm = twoStudies("MTC");
  mdm.pscTransformation = -4;
  mdm.separatePredictors = 7;
  mdm.extraPaths = {std::string("D:\\e 1.ext"), std::nullopt};
  written(mdm);
  const MdmFile back(dir.path("group.mdm"));
  EXPECT_EQ(back.fileVersion, mdm.fileVersion);
  EXPECT_EQ(back.typeOfFunctionalData, "MTC");
  EXPECT_EQ(back.rfxGlm, mdm.rfxGlm);
  EXPECT_EQ(back.pscTransformation, -4);
  EXPECT_EQ(back.zTransformation, mdm.zTransformation);
  EXPECT_EQ(back.separatePredictors, 7);
  EXPECT_EQ(back.nrOfStudies, 2);
  EXPECT_EQ(back.extraPaths, mdm.extraPaths);
  EXPECT_EQ(back.functionalPaths, mdm.functionalPaths);
  EXPECT_EQ(back.sdmPaths, mdm.sdmPaths);
}

TEST_F(MdmWriterTest, ReplacesAnExistingFileAndLeavesNoTemporary) {
  dir.writeFile("group.mdm", "old contents that are longer than nothing");
  EXPECT_EQ(written(twoStudies("VTC")).substr(0, 2), "\r\n");
  EXPECT_EQ(entries(), (Names{"blank.in", "group.mdm"}));
}

TEST_F(MdmWriterTest, TargetThatIsAFolderIsRefusedAndKeptAsItWas) {
  std::filesystem::create_directory(dir.path("group.mdm"));
  dir.writeFile("group.mdm/inside.txt", "kept");
  expectRefused(twoStudies("VTC"), dir.path("group.mdm"));
  EXPECT_EQ(testing::folderEntries(dir.path("group.mdm")), Names{"inside.txt"});
  EXPECT_EQ(entries(), (Names{"blank.in", "group.mdm"}));
}

TEST_F(MdmWriterTest, TargetInAMissingFolderOrInsideAFileIsRefused) {
  dir.writeFile("plain.mdm", "unchanged");
  expectRefused(twoStudies("VTC"), dir.path("missing/group.mdm"));
  expectRefused(twoStudies("VTC"), dir.path("plain.mdm/group.mdm"));
  EXPECT_EQ(testing::readFileBytes(dir.path("plain.mdm")), "unchanged");
  EXPECT_EQ(entries(), (Names{"blank.in", "plain.mdm"}));
}

TEST_F(MdmWriterTest, TargetNamingNoFileIsRefused) {
  for (const std::string& target :
       {std::string(), dir.path("") + "\\", dir.path("group.mdm") + std::string(1, '\0') + "x"}) {
    MdmFile mdm = twoStudies("VTC");
    EXPECT_FALSE(mdm.saveAs(target));
    // The log hands its entries on as C strings: a NUL byte ends the line there.
    EXPECT_EQ(log.lines().back(), "!! Cannot Create file: " + std::string(target.c_str()));
  }
  EXPECT_EQ(log.lines().size(), 3u);
  EXPECT_EQ(log.lines().front(), "!! Cannot Create file: ");
  EXPECT_EQ(entries(), Names{"blank.in"});
}

// A temporary whose name is longer than the file system allows cannot be created: the target,
// whose own name still fits, must come through byte for byte.
TEST_F(MdmWriterTest, FailureBeforeTheMoveLeavesTheExistingTargetByteIdentical) {
  const std::string name(240, 'g');
  const std::string target = dir.writeFile(name, "original\r\nbytes");
  ASSERT_EQ(testing::readFileBytes(target), "original\r\nbytes");
  expectRefused(twoStudies("VTC"), target);
  EXPECT_EQ(testing::readFileBytes(target), "original\r\nbytes");
  EXPECT_EQ(entries(), (Names{"blank.in", name}));
}

#ifndef _WIN32
TEST_F(MdmWriterTest, TargetThatIsAPipeIsRefused) {
  const std::string target = dir.path("pipe.mdm");
  ASSERT_EQ(::mkfifo(target.c_str(), 0600), 0);
  expectRefused(twoStudies("VTC"), target);
  EXPECT_TRUE(std::filesystem::is_fifo(target));
}
#endif

}  // namespace
}  // namespace kelvora
