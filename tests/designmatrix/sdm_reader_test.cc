#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <locale>
#include <string>
#include <vector>

#include "designmatrix/sdm_file.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace kelvora {
namespace {

using Ints = std::vector<std::int32_t>;
using Floats = std::vector<float>;
using Names = std::vector<std::string>;

class SdmReaderTest : public ::testing::Test {
 protected:
  SdmFile read(const std::string& bytes) { return readSdm(dir.writeFile("run.sdm", bytes)); }

  static std::string header(int predictors, int dataPoints, int firstConfound = 2) {
    return "FileVersion: 1\nNrOfPredictors: " + std::to_string(predictors) +
           "\nNrOfDataPoints: " + std::to_string(dataPoints) +
           "\nIncludesConstant: 1\nFirstConfoundPredictor: " + std::to_string(firstConfound) +
           "\n\n";
  }

  // One predictor, three data points: everything the value grammar reads from `values`.
  Floats valuesOf(const std::string& values) {
    const SdmFile sdm = read(header(1, 3) + "1 2 3\n\"A\"\n" + values + "\n");
    return sdm.values.empty() ? Floats{} : sdm.values[0];
  }

  static void expectSame(const SdmFile& a, const SdmFile& b) {
    EXPECT_EQ(a.fileVersion, b.fileVersion);
    EXPECT_EQ(a.nrOfPredictors, b.nrOfPredictors);
    EXPECT_EQ(a.nrOfDataPoints, b.nrOfDataPoints);
    EXPECT_EQ(a.includesConstant, b.includesConstant);
    EXPECT_EQ(a.firstConfoundPredictor, b.firstConfoundPredictor);
    EXPECT_EQ(a.colorRed, b.colorRed);
    EXPECT_EQ(a.colorGreen, b.colorGreen);
    EXPECT_EQ(a.colorBlue, b.colorBlue);
    EXPECT_EQ(a.predictorNames, b.predictorNames);
    EXPECT_EQ(a.values, b.values);
  }

  static constexpr char kThreeByFour[] =
      "FileVersion: 1\nNrOfPredictors: 3\nNrOfDataPoints: 4\nIncludesConstant: 1\n"
      "FirstConfoundPredictor: 3\n\n255 0 0\n0 255 0\n0 0 255\n\"Alpha\" \"Beta\" \"Gamma\"\n"
      "1 2 3\n4 5 6\n7 8.5 9\n-1 -2 -3\n";

  testing::LogCapture log;
  testing::TempDir dir;
};

TEST_F(SdmReaderTest, ReadsAWellFormedFileColumnByColumn) {
  const SdmFile sdm = read(kThreeByFour);
  EXPECT_EQ(sdm.fileVersion, 1);
  EXPECT_EQ(sdm.includesConstant, 1);
  EXPECT_EQ(sdm.firstConfoundPredictor, 3);
  EXPECT_EQ(sdm.predictorNames, (Names{"Alpha", "Beta", "Gamma"}));
  EXPECT_EQ(sdm.colorRed, (Ints{255, 0, 0}));
  EXPECT_EQ(sdm.colorGreen, (Ints{0, 255, 0}));
  EXPECT_EQ(sdm.colorBlue, (Ints{0, 0, 255}));
  EXPECT_EQ(sdm.values, (std::vector<Floats>{{1, 4, 7, -1}, {2, 5, 8.5f, -2}, {3, 6, 9, -3}}));
  EXPECT_FALSE(sdm.tooLargeToRead);
  EXPECT_TRUE(log.lines().empty());
}

TEST_F(SdmReaderTest, CrLfFileReadsLikeLfFile) {
  std::string crlf;
  for (const char* c = kThreeByFour; *c != '\0'; ++c)
    crlf += *c == '\n' ? "\r\n" : std::string(1, *c);
  expectSame(read(crlf), read(kThreeByFour));
}

TEST_F(SdmReaderTest, HeaderKeysMayComeInAnyOrderUpToFirstConfoundPredictor) {
  const SdmFile sdm = read(
      "NrOfDataPoints: 2 FileVersion: 7 IncludesConstant: 0 "
      "NrOfPredictors: 1 FirstConfoundPredictor: 2\n1 2 3\n\"A\"\n5 6\n");
  EXPECT_EQ(sdm.fileVersion, 7);
  EXPECT_EQ(sdm.nrOfPredictors, 1);
  EXPECT_EQ(sdm.firstConfoundPredictor, 2);
  EXPECT_EQ(sdm.values, (std::vector<Floats>{{5, 6}}));
}

TEST_F(SdmReaderTest, FirstConfoundPredictorFirstEndsTheHeaderAtOnce) {
  const SdmFile sdm = read("FirstConfoundPredictor: 3 NrOfPredictors: 2 NrOfDataPoints: 1\n");
  EXPECT_EQ(sdm.firstConfoundPredictor, 3);
  EXPECT_EQ(sdm.nrOfPredictors, 0);
  EXPECT_EQ(sdm.nrOfDataPoints, 0);
  EXPECT_EQ(sdm.fileVersion, 0);
  EXPECT_TRUE(sdm.predictorNames.empty());
}

// The sixth token is never read as a key; the names line is found on the line after it.
TEST_F(SdmReaderTest, UnknownTokenOrGluedKeyCountsTowardTheFiveTokens) {
  for (const char* first : {"Extra", "FileVersion:1"}) {
    const SdmFile sdm =
        read(std::string(first) +
             " NrOfPredictors: 2 NrOfDataPoints: 1 IncludesConstant: 0 FileVersion: "
             "4\nFirstConfoundPredictor: 2\n\"A\" \"B\"\n1 2\n");
    EXPECT_EQ(sdm.fileVersion, 4) << first;
    EXPECT_EQ(sdm.firstConfoundPredictor, 0) << first;
    EXPECT_EQ(sdm.predictorNames, (Names{"A", "B"})) << first;
    EXPECT_EQ(sdm.values, (std::vector<Floats>{{1}, {2}})) << first;
  }
}

// The failure is cleared after the colour loop: names and values are read from where it stopped.
TEST_F(SdmReaderTest, FailedHeaderIntegerStillLeavesNamesAndValuesReadable) {
  const SdmFile sdm = read(
      "NrOfPredictors: 2 NrOfDataPoints: 1 FirstConfoundPredictor: "
      "2147483648 \"A\" \"B\"\n1.5 2.5\n");
  EXPECT_EQ(sdm.firstConfoundPredictor, 0);
  EXPECT_EQ(sdm.colorRed, (Ints{0, 0}));
  EXPECT_EQ(sdm.predictorNames, (Names{"A", "B"}));
  EXPECT_EQ(sdm.values, (std::vector<Floats>{{1.5f}, {2.5f}}));
}

TEST_F(SdmReaderTest, NamesAreTheQuotedPairsUpToThePredictorCount) {
  EXPECT_EQ(read(header(3, 0) + "1 2 3\n\"A\" \"B\"\n").predictorNames,
            (Names{"A", "B", "NoName"}));
  EXPECT_EQ(read(header(2, 0) + "\"A\" \"B\" \"C\"\n").predictorNames, (Names{"A", "B"}));
  EXPECT_EQ(read(header(3, 0) + "\"\" x \"Face left\" y \"odd\r\n").predictorNames,
            (Names{"", "Face left", "NoName"}));
}

TEST_F(SdmReaderTest, BlankLinesBeforeTheNamesLineAreSkipped) {
  const SdmFile sdm = read(header(1, 1) + "1 2 3\n\n  \r\n\"A\"\n4\n");
  EXPECT_EQ(sdm.colorBlue, Ints{3});
  EXPECT_EQ(sdm.predictorNames, Names{"A"});
  EXPECT_EQ(sdm.values, std::vector<Floats>{{4}});
}

TEST_F(SdmReaderTest, FileWithoutColourTriplesStillGivesNamesAndValues) {
  const SdmFile sdm = read(header(2, 1) + "\"A\" \"B\"\n1 2\n");
  EXPECT_EQ(sdm.colorRed, (Ints{0, 0}));
  EXPECT_EQ(sdm.predictorNames, (Names{"A", "B"}));
  EXPECT_EQ(sdm.values, (std::vector<Floats>{{1}, {2}}));
}

TEST_F(SdmReaderTest, NamesComeFromTheNextLineWhenTheCurrentOneHasNoQuote) {
  const SdmFile sdm = read(header(1, 1) + "1 2 3 9\n\"A\"\n4\n");
  EXPECT_EQ(sdm.colorRed, Ints{1});
  EXPECT_EQ(sdm.predictorNames, Names{"A"});
  EXPECT_EQ(sdm.values, std::vector<Floats>{{4}});
}

TEST_F(SdmReaderTest, ColourComponentThatCannotBeReadIsZero) {
  const SdmFile sdm = read(header(2, 1) + "1 2 \"A\" \"B\"\n5 6\n");
  EXPECT_EQ(sdm.colorRed, (Ints{1, 0}));
  EXPECT_EQ(sdm.colorGreen, (Ints{2, 0}));
  EXPECT_EQ(sdm.colorBlue, (Ints{0, 0}));
  EXPECT_EQ(sdm.predictorNames, (Names{"A", "B"}));
}

TEST_F(SdmReaderTest, ShortOrNonNumericMatrixLeavesTheRestZero) {
  EXPECT_EQ(valuesOf("1.5"), (Floats{1.5f, 0, 0}));
  EXPECT_EQ(valuesOf("7 1,5 8"), (Floats{7, 1, 0}));
  EXPECT_EQ(valuesOf("7 0x10 8"), (Floats{7, 0, 0}));
  for (const char* stop : {"x", "inf", "nan", "1e39", "1e", "1e+", "\"3\""}) {
    EXPECT_EQ(valuesOf(std::string("7 ") + stop + " 8"), (Floats{7, 0, 0})) << stop;
  }
}

TEST_F(SdmReaderTest, ValueGrammarCornersReadAsNumbers) {
  EXPECT_EQ(valuesOf("1.5.3 +2"), (Floats{1.5f, 0.3f, 2}));
  EXPECT_EQ(valuesOf(".5 5. 1E+05"), (Floats{0.5f, 5, 1e5f}));
  EXPECT_EQ(valuesOf("1e-46 1e-45 3"), (Floats{0, std::nextafter(0.0f, 1.0f), 3}));
  const Floats zeros = valuesOf("-0 -0.0 0");
  EXPECT_TRUE(std::signbit(zeros[0]) && std::signbit(zeros[1]) && !std::signbit(zeros[2]));
}

TEST_F(SdmReaderTest, NoPredictorsGiveEmptyLists) {
  const SdmFile sdm = read(header(0, 3, 1) + "\"A\"\n1\n2\n3\n");
  EXPECT_TRUE(sdm.colorRed.empty());
  EXPECT_TRUE(sdm.predictorNames.empty());
  EXPECT_TRUE(sdm.values.empty());
}

TEST_F(SdmReaderTest, NegativeCountsAreTakenAsZero) {
  const SdmFile sdm = read(header(-3, 5) + "\"A\"\n1\n");
  EXPECT_EQ(sdm.nrOfPredictors, 0);
  EXPECT_TRUE(sdm.values.empty());
  const SdmFile rows = read(header(2, -1) + "\"A\" \"B\"\n1 2\n");
  EXPECT_EQ(rows.nrOfDataPoints, 0);
  EXPECT_EQ(rows.values, (std::vector<Floats>{{}, {}}));
  EXPECT_EQ(rows.predictorNames, (Names{"A", "B"}));
}

TEST_F(SdmReaderTest, FileWithoutVersionReadsVersionZeroNeverMinusOne) {
  EXPECT_EQ(read("").fileVersion, 0);
  const SdmFile sdm = read("NrOfPredictors: 2 NrOfDataPoints: 1");
  EXPECT_EQ(sdm.fileVersion, 0);
  EXPECT_EQ(sdm.predictorNames, (Names{"NoName", "NoName"}));
  EXPECT_EQ(sdm.values, (std::vector<Floats>{{0}, {0}}));
}

TEST_F(SdmReaderTest, StatedVersionMinusOneLooksUnreadableWithoutALogLine) {
  EXPECT_TRUE(read("FileVersion: -1\n").unreadable());
  EXPECT_TRUE(log.lines().empty());
}

TEST_F(SdmReaderTest, MissingFileLogsOneLineAndIsUnreadable) {
  const std::string path = dir.path("missing.sdm");
  const SdmFile sdm = readSdm(path);
  EXPECT_EQ(sdm.fileVersion, -1);
  EXPECT_EQ(sdm.path, path);
  EXPECT_TRUE(sdm.predictorNames.empty());
  EXPECT_TRUE(sdm.values.empty());
  EXPECT_EQ(log.lines(), Names{"!!!  Failed opening SDM for reading: " + path});
}

TEST_F(SdmReaderTest, FolderDeviceOrNulBytePathCannotBeOpened) {
  dir.writeFile("a.sdm", kThreeByFour);
#ifdef _WIN32
  const char* device = "NUL";
#else
  const char* device = "/dev/zero";
#endif
  for (const std::string& path :
       {dir.path(""), std::string(device), dir.path("a.sdm") + std::string(1, '\0') + "x"}) {
    EXPECT_TRUE(readSdm(path).unreadable()) << path;
  }
  EXPECT_EQ(log.lines().size(), 3u);
}

#ifndef _WIN32
TEST_F(SdmReaderTest, PipeIsRefusedWithoutWaitingForAWriter) {
  const std::string path = dir.path("pipe.sdm");
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
  EXPECT_TRUE(readSdm(path).unreadable());
}
#endif

// A 0x1A byte would end the file in Windows text mode; it is an ordinary byte here.
TEST_F(SdmReaderTest, ByteOx1ADoesNotEndTheFile) {
  const SdmFile sdm = read(header(2, 1) + "\"A\x1A\" \"B\"\n1 2\n");
  EXPECT_EQ(sdm.predictorNames, (Names{"A\x1A", "B"}));
  EXPECT_EQ(sdm.values, (std::vector<Floats>{{1}, {2}}));
}

TEST_F(SdmReaderTest, ValuesReadTheSameInAnyGlobalLocale) {
  struct Comma : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
  };
  const std::locale previous = std::locale::global(std::locale(std::locale(), new Comma));
  const Floats values = valuesOf("1.5 2,5");
  std::locale::global(previous);
  EXPECT_EQ(values, (Floats{1.5f, 2, 0}));
}

// Several chunks of input: every value lands in its column and row.
TEST_F(SdmReaderTest, LargeFileFillsEveryColumn) {
  constexpr int kPredictors = 40;
  constexpr int kDataPoints = 3000;
  std::string text = header(kPredictors, kDataPoints, 20);
  for (int p = 0; p < kPredictors; ++p) text += "\"P" + std::to_string(p) + "\" ";
  text += "\r\n";
  for (int t = 0; t < kDataPoints; ++t) {
    for (int p = 0; p < kPredictors; ++p) {
      text += (p % 2 ? "-" : "") + std::to_string(t) + "." + std::to_string(p % 4 * 25) + "00 ";
    }
    text += "\r\n";
  }
  ASSERT_GT(text.size(), 3u * 256 * 1024);
  const SdmFile sdm = read(text);
  ASSERT_EQ(sdm.values.size(), std::size_t{kPredictors});
  for (int p = 0; p < kPredictors; ++p) {
    for (int t = 0; t < kDataPoints; t += 7) {
      const float expected = (p % 2 ? -1.0f : 1.0f) * (t + (p % 4) * 0.25f);
      ASSERT_EQ(sdm.values[p][t], expected) << "predictor " << p << " data point " << t;
    }
  }
  EXPECT_EQ(sdm.predictorNames[39], "P39");
}

class SdmSizeTest : public SdmReaderTest {
 protected:
  static void expectTooLarge(const SdmFile& sdm, std::int32_t predictors, std::int32_t dataPoints) {
    EXPECT_TRUE(sdm.tooLargeToRead);
    EXPECT_FALSE(sdm.unreadable());
    EXPECT_EQ(sdm.nrOfPredictors, predictors);
    EXPECT_EQ(sdm.nrOfDataPoints, dataPoints);
    EXPECT_TRUE(sdm.colorRed.empty() && sdm.predictorNames.empty() && sdm.values.empty());
  }
};

TEST_F(SdmSizeTest, HugeHeaderInASmallFileIsNotAllocated) {
  expectTooLarge(read(header(2147483647, 2147483647) + "\"A\"\n1\n"), 2147483647, 2147483647);
  expectTooLarge(read(header(2147483647, 0)), 2147483647, 0);
  expectTooLarge(read(header(1, 2147483647)), 1, 2147483647);
  // Predictors alone: 16 Mi names, colours and columns would cost over a gigabyte.
  expectTooLarge(read(header(16 * 1024 * 1024, 0)), 16 * 1024 * 1024, 0);
  EXPECT_TRUE(log.lines().empty());
}

TEST_F(SdmSizeTest, AllowanceIsTheLimitForASmallFile) {
  const auto fits = static_cast<std::int32_t>(kSdmValueAllowance - kSdmSlotsPerPredictor);
  const SdmFile sdm = read(header(1, fits) + "1 2 3\n\"A\"\n4.5\n");
  EXPECT_FALSE(sdm.tooLargeToRead);
  ASSERT_EQ(sdm.values.size(), 1u);
  EXPECT_EQ(sdm.values[0].size(), static_cast<std::size_t>(fits));
  EXPECT_EQ(sdm.values[0][0], 4.5f);
  expectTooLarge(read(header(1, fits + 1)), 1, fits + 1);
}

TEST_F(SdmSizeTest, FileLargeEnoughForItsHeaderIsReadBeyondTheAllowance) {
  const std::int32_t dataPoints = 20 * 1024 * 1024;
  const std::string path = dir.writeFile("big.sdm", header(1, dataPoints) + "1 2 3\n\"A\"\n4.5\n");
  std::filesystem::resize_file(path, 2u * dataPoints);  // the rest reads as NUL bytes
  const SdmFile sdm = readSdm(path);
  EXPECT_FALSE(sdm.tooLargeToRead);
  ASSERT_EQ(sdm.values.size(), 1u);
  EXPECT_EQ(sdm.values[0].size(), static_cast<std::size_t>(dataPoints));
  EXPECT_EQ(sdm.values[0][0], 4.5f);
}

TEST_F(SdmSizeTest, ShortMatrixInANormalFileIsNotTooLarge) {
  std::string text = header(1, 1000) + "1 2 3\n\"A\"\n";
  for (int t = 0; t < 10; ++t) text += std::to_string(t + 1) + "\n";
  const SdmFile sdm = read(text);
  EXPECT_FALSE(sdm.tooLargeToRead);
  ASSERT_EQ(sdm.values.size(), 1u);
  EXPECT_EQ(sdm.values[0].size(), 1000u);
  EXPECT_EQ(sdm.values[0][9], 10);
  EXPECT_EQ(sdm.values[0][10], 0);
}

TEST(SdmSizeRuleTest, NeedsBothTheAllowanceAndTheFileSizeExceeded) {
  EXPECT_FALSE(sdmTooLargeToRead(1, 1000, 0));
  EXPECT_TRUE(sdmTooLargeToRead(1024, 1024 * 1024, 1024));
  EXPECT_FALSE(sdmTooLargeToRead(1024, 1024 * 1024, 2u * 1024 * 1024 * 1024));
  EXPECT_TRUE(sdmTooLargeToRead(1024, 1024 * 1024, 2u * 1024 * 1024 * 1024 - 2));
  EXPECT_FALSE(sdmTooLargeToRead(-5, 2147483647, 0));
}

}  // namespace
}  // namespace kelvora
