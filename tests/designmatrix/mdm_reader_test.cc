#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "designmatrix/mdm_file.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace kelvora {
namespace {

using Paths = std::vector<std::string>;
using ExtraPaths = std::vector<std::optional<std::string>>;

class MdmReaderTest : public ::testing::Test {
 protected:
  MdmFile read(const std::string& bytes) { return MdmFile(dir.writeFile("group.mdm", bytes)); }

  // The header as written, with LF line ends, announcing `studies`.
  static std::string header(const std::string& type = "VTC", const std::string& studies = "2") {
    return "\nFileVersion:          3\nTypeOfFunctionalData: " + type +
           "\n\nRFX-GLM:              1\n\nPSCTransformation:    0\nzTransformation:      1\n"
           "SeparatePredictors:   2\n\nNrOfStudies:          " +
           studies + "\n";
  }

  static std::string oneLineHeader(const std::string& words) { return words + "\n"; }

  static std::string toCrLf(const std::string& text) {
    std::string out;
    for (char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
  }

  static void expectStudies(const MdmFile& mdm, const Paths& functional, const Paths& sdm) {
    EXPECT_EQ(mdm.functionalPaths, functional);
    EXPECT_EQ(mdm.sdmPaths, sdm);
  }

  testing::LogCapture log;
  testing::TempDir dir;
};

TEST_F(MdmReaderTest, ReadsEveryFieldOfTheWrittenLayout) {
  const MdmFile mdm = read(toCrLf(header() + "\"D:\\f 1.vtc\" \"D:\\s1.sdm\"\n\"f2\" \"s2\"\n"));
  EXPECT_EQ(mdm.fileVersion, 3);
  EXPECT_EQ(mdm.typeOfFunctionalData, "VTC");
  EXPECT_EQ(mdm.rfxGlm, 1);
  EXPECT_EQ(mdm.pscTransformation, 0);
  EXPECT_EQ(mdm.zTransformation, 1);
  EXPECT_EQ(mdm.separatePredictors, 2);
  EXPECT_EQ(mdm.nrOfStudies, 2);
  expectStudies(mdm, {"D:\\f 1.vtc", "f2"}, {"D:\\s1.sdm", "s2"});
  EXPECT_TRUE(mdm.extraPaths.empty());
  EXPECT_TRUE(log.lines().empty());
}

TEST_F(MdmReaderTest, LfAndCrLfLineEndsReadAlike) {
  const std::string text = header("MTC") + "\"e1\" \"f1\" \"s1\"\n\"f2\" \"s2\"\n";
  const MdmFile lf = read(text);
  const MdmFile crlf = read(toCrLf(text));
  EXPECT_EQ(crlf.typeOfFunctionalData, "MTC");
  EXPECT_EQ(crlf.extraPaths, lf.extraPaths);
  expectStudies(crlf, lf.functionalPaths, lf.sdmPaths);
  expectStudies(lf, {"f1", "f2"}, {"s1", "s2"});
}

TEST_F(MdmReaderTest, KeysMayComeInAnyOrderBeforeNrOfStudies) {
  const MdmFile mdm = read(
      oneLineHeader("SeparatePredictors: 4 zTransformation: 5 RFX-GLM: 6 TypeOfFunctionalData: FMR "
                    "PSCTransformation: 7 FileVersion: 8 NrOfStudies: 1") +
      "\"f\" \"s\"\n");
  EXPECT_EQ(mdm.separatePredictors, 4);
  EXPECT_EQ(mdm.zTransformation, 5);
  EXPECT_EQ(mdm.rfxGlm, 6);
  EXPECT_EQ(mdm.typeOfFunctionalData, "FMR");
  EXPECT_EQ(mdm.pscTransformation, 7);
  EXPECT_EQ(mdm.fileVersion, 8);
  expectStudies(mdm, {"f"}, {"s"});
}

TEST_F(MdmReaderTest, UnknownWordUsesUpOneOfTheSevenWords) {
  for (const char* unknown : {"Extra", "NrOfStudies:3",
                              "\xEF\xBB\xBF"
                              "FileVersion:"}) {
    const MdmFile mdm =
        read(oneLineHeader(
                 std::string(unknown) +
                 " FileVersion: 1 TypeOfFunctionalData: VTC RFX-GLM: 1 "
                 "PSCTransformation: 1 zTransformation: 1 SeparatePredictors: 1\nNrOfStudies: 1") +
             "\"f\" \"s\"\n");
    EXPECT_EQ(mdm.separatePredictors, 1) << unknown;
    EXPECT_EQ(mdm.nrOfStudies, 0) << unknown;
    EXPECT_TRUE(mdm.sdmPaths.empty()) << unknown;
  }
}

TEST_F(MdmReaderTest, UnknownKeyWithItsValueUsesUpTwoWords) {
  const MdmFile mdm = read(
      oneLineHeader(
          "FileVersion: 1 Comment: x TypeOfFunctionalData: VTC RFX-GLM: 1 PSCTransformation: 1 "
          "zTransformation: 1 SeparatePredictors: 1 NrOfStudies: 1") +
      "\"f\" \"s\"\n");
  EXPECT_EQ(mdm.zTransformation, 1);
  EXPECT_EQ(mdm.separatePredictors, 0);
  EXPECT_EQ(mdm.nrOfStudies, 0);
}

TEST_F(MdmReaderTest, NrOfStudiesAsFirstWordEndsTheHeader) {
  const MdmFile mdm = read("NrOfStudies: 1 FileVersion: 3\n\"f\" \"s\"\n");
  EXPECT_EQ(mdm.nrOfStudies, 1);
  EXPECT_EQ(mdm.fileVersion, 0);
  EXPECT_EQ(mdm.typeOfFunctionalData, "");
  expectStudies(mdm, {"f"}, {"s"});
}

TEST_F(MdmReaderTest, KeyAsTheTypeValueIsOnlyAValue) {
  const MdmFile mdm =
      read("TypeOfFunctionalData: NrOfStudies: FileVersion: 3 NrOfStudies: 1\n\"f\" \"s\"\n");
  EXPECT_EQ(mdm.typeOfFunctionalData, "NrOfStudies:");
  EXPECT_EQ(mdm.fileVersion, 3);
  expectStudies(mdm, {"f"}, {"s"});
}

TEST_F(MdmReaderTest, ValueThatIsNotAnIntegerEndsAllReading) {
  const MdmFile mdm =
      read(oneLineHeader("FileVersion: 3 TypeOfFunctionalData: VTC RFX-GLM: x PSCTransformation: 1 "
                         "zTransformation: 1 SeparatePredictors: 1 NrOfStudies: 1") +
           "\"f\" \"s\"\n");
  EXPECT_EQ(mdm.fileVersion, 3);
  EXPECT_EQ(mdm.typeOfFunctionalData, "VTC");
  EXPECT_EQ(mdm.pscTransformation, 0);
  EXPECT_EQ(mdm.nrOfStudies, 0);
  EXPECT_TRUE(mdm.sdmPaths.empty());
}

TEST_F(MdmReaderTest, OutOfRangeValueKeepsTheFieldAndEndsAllReading) {
  for (const char* value : {"2147483648", "-2147483649"}) {
    const MdmFile mdm =
        read("RFX-GLM: 5 RFX-GLM: " + std::string(value) + " NrOfStudies: 1\n\"f\" \"s\"\n");
    EXPECT_EQ(mdm.rfxGlm, 5) << value;
    EXPECT_EQ(mdm.nrOfStudies, 0) << value;
    EXPECT_TRUE(mdm.sdmPaths.empty()) << value;
  }
}

TEST_F(MdmReaderTest, IntegersTakePlusSignAndLeadingZerosAsDecimal) {
  const MdmFile mdm = read("FileVersion: +05 RFX-GLM: 010 NrOfStudies: 08\n");
  EXPECT_EQ(mdm.fileVersion, 5);
  EXPECT_EQ(mdm.rfxGlm, 10);
  EXPECT_EQ(mdm.nrOfStudies, 8);
}

TEST_F(MdmReaderTest, HexValueReadsZeroAndItsRestCountsAsAWord) {
  const MdmFile mdm = read(
      oneLineHeader("FileVersion: 0x1A TypeOfFunctionalData: VTC RFX-GLM: 1 PSCTransformation: 1 "
                    "zTransformation: 1 SeparatePredictors: 1 NrOfStudies: 1") +
      "\"f\" \"s\"\n");
  EXPECT_EQ(mdm.fileVersion, 0);
  EXPECT_EQ(mdm.separatePredictors, 1);
  EXPECT_EQ(mdm.nrOfStudies, 0);
}

TEST_F(MdmReaderTest, MtcLineWithoutExtraPathKeepsExtraPathsAligned) {
  const MdmFile mdm = read(header("MTC", "3") +
                           "\"e1\" \"f1\" \"s1\"\n\"f2\" \"s2\"\n"
                           "\"e3\" \"f3\" \"s3\"\n");
  EXPECT_EQ(mdm.extraPaths, (ExtraPaths{"e1", std::nullopt, "e3"}));
  expectStudies(mdm, {"f1", "f2", "f3"}, {"s1", "s2", "s3"});
}

TEST_F(MdmReaderTest, ThreePathLinesCountOnlyInAnExactMtcDesign) {
  for (const char* type : {"VTC", "mtc", "MTC2"}) {
    const MdmFile mdm = read(header(type) + "\"e1\" \"f1\" \"s1\"\n\"f2\" \"s2\"\n");
    expectStudies(mdm, {"f2"}, {"s2"});
    EXPECT_TRUE(mdm.extraPaths.empty()) << type;
  }
}

TEST_F(MdmReaderTest, StudyLineTakesQuotedTextVerbatimAndNeedsExactQuoteCount) {
  const MdmFile mdm = read(header("VTC", "5") +
                           "\"f1\" \"s1\n"                   // 3 quotes
                           "\"\" \"\"\n"                     // empty paths
                           "x\" a b \"y\" s\\t.sdm \"z\r\n"  // text outside the quotes
                           "\"f\" \"s\" \"\n"                // 5 quotes
                           "\"f5\"\"s5\"");                  // no line end, no blank
  expectStudies(mdm, {"", " a b ", "f5"}, {"", " s\\t.sdm ", "s5"});
}

TEST_F(MdmReaderTest, EmptyLineAfterTheHeaderUsesUpAStudy) {
  const MdmFile mdm = read(header() + "\n\"f1\" \"s1\"\n\"f2\" \"s2\"\n");
  expectStudies(mdm, {"f1"}, {"s1"});
}

TEST_F(MdmReaderTest, FewerLinesThanAnnouncedGiveEachLineOnce) {
  for (const char* lineEnd : {"\n", "\r\n", ""}) {
    const MdmFile mdm = read(header("VTC", "3") + "\"f1\" \"s1\"\n\"f2\" \"s2\"" + lineEnd);
    expectStudies(mdm, {"f1", "f2"}, {"s1", "s2"});
    EXPECT_EQ(mdm.nrOfStudies, 3);
  }
}

TEST_F(MdmReaderTest, HugeAnnouncedCountStopsAtTheEndOfTheFile) {
  const MdmFile mdm = read(header("VTC", "2147483647") + "\"f1\" \"s1\"\n\"f2\" \"s2\"\n");
  EXPECT_EQ(mdm.nrOfStudies, 2147483647);
  expectStudies(mdm, {"f1", "f2"}, {"s1", "s2"});
}

TEST_F(MdmReaderTest, ZeroOrNegativeCountReadsNoLine) {
  for (const char* count : {"0", "-1", "-2147483648"}) {
    const MdmFile mdm = read(header("VTC", count) + "\"f1\" \"s1\"\n");
    EXPECT_TRUE(mdm.sdmPaths.empty()) << count;
  }
}

TEST_F(MdmReaderTest, TextAfterTheCountOnItsLineIsIgnored) {
  const MdmFile mdm = read("NrOfStudies: 1 \"x\" \"y\"\n\"f\" \"s\"\n");
  expectStudies(mdm, {"f"}, {"s"});
}

// Windows text mode would end the file at a 0x1A byte; the reader takes it as an ordinary byte on
// every platform.
TEST_F(MdmReaderTest, ByteOx1ADoesNotEndTheFile) {
  const MdmFile mdm = read(header() + "\"f\x1A\" \"s1\"\n\"f2\" \"s2\"\n");
  expectStudies(mdm, {"f\x1A", "f2"}, {"s1", "s2"});
}

TEST_F(MdmReaderTest, MissingFileLogsOneLineAndIsUnreadable) {
  const std::string path = dir.path("missing.mdm");
  const MdmFile mdm(path);
  EXPECT_TRUE(mdm.unreadable());
  EXPECT_EQ(mdm.fileVersion, -1);
  EXPECT_EQ(mdm.path, path);
  EXPECT_TRUE(mdm.sdmPaths.empty());
  EXPECT_EQ(log.lines(), std::vector<std::string>{"!!!  Failed opening MDM for reading: " + path});
}

TEST_F(MdmReaderTest, EmptyPathLogsNothingAfterTheColon) {
  const MdmFile mdm("");
  EXPECT_TRUE(mdm.unreadable());
  EXPECT_EQ(log.lines(), std::vector<std::string>{"!!!  Failed opening MDM for reading: "});
}

TEST_F(MdmReaderTest, FolderDeviceOrNulBytePathCannotBeOpened) {
  dir.writeFile("a.mdm", header() + "\"f\" \"s\"\n");
#ifdef _WIN32
  const char* device = "NUL";
#else
  const char* device = "/dev/null";
#endif
  for (const std::string& path :
       {dir.path(""), std::string(device), dir.path("a.mdm") + std::string(1, '\0') + "x"}) {
    EXPECT_TRUE(MdmFile(path).unreadable()) << path;
  }
  EXPECT_EQ(log.lines().size(), 3u);
}

#ifndef _WIN32
TEST_F(MdmReaderTest, PipeIsRefusedWithoutWaitingForAWriter) {
  const std::string path = dir.path("pipe.mdm");
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
  EXPECT_TRUE(MdmFile(path).unreadable());
}
#endif

TEST_F(MdmReaderTest, StatedFileVersionMinusOneLooksUnreadableWithoutALogLine) {
  const MdmFile mdm = read("FileVersion: -1 NrOfStudies: 1\n\"f\" \"s\"\n");
  EXPECT_TRUE(mdm.unreadable());
  EXPECT_TRUE(log.lines().empty());
}

}  // namespace
}  // namespace kelvora
