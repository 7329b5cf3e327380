#include <gtest/gtest.h>

#include <filesystem>
#include <locale>
#include <string>
#include <vector>

#include "designmatrix/sdm_file.h"
#include "support/design_matrix_text.h"
#include "support/log_capture.h"
#include "support/temp_dir.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace kelvora {
namespace {

struct Case {
  const char* what;
  std::string bytes;
  std::string expected;  // testing::describe of the record read
};

class SdmReaderTest : public ::testing::Test {
 protected:
  SdmFile read(const std::string& bytes) { return readSdm(dir.writeFile("run.sdm", bytes)); }

  // Each case reads the same with LF and with CR LF line ends, and logs nothing.
  void expectReads(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
      EXPECT_EQ(testing::describe(read(c.bytes)), c.expected) << c.what;
      EXPECT_EQ(testing::describe(read(testing::crLfLines(c.bytes))), c.expected) << c.what;
    }
    EXPECT_TRUE(log.lines().empty());
  }

  static std::string header(int predictors, int dataPoints) {
    return "FileVersion: 1\nNrOfPredictors: " + std::to_string(predictors) +
           "\nNrOfDataPoints: " + std::to_string(dataPoints) +
           "\nIncludesConstant: 1\nFirstConfoundPredictor: 2\n\n";
  }
  // One predictor with three data points, and the given value text.
  static Case values(const char* what, const std::string& text, const std::string& expected) {
    return {what, header(1, 3) + "9 9 9\n\"A\"\n" + text + "\n",
            "v1 p1 d3 c1 f2 | 9,9,9 | 'A' | " + expected};
  }

  testing::LogCapture log;
  testing::TempDir dir;
};

TEST_F(SdmReaderTest, HeaderTokens) {
  expectReads({
      {"well formed",
       header(3, 2) + "255 0 0\n0 255 0\n0 0 255\n\"Alpha\" \"Beta\" \"Gamma\"\n"
                      "1 2 3\n4 5.5 -6\n",
       "v1 p3 d2 c1 f2 | 255,0,0 0,255,0 0,0,255 | 'Alpha' 'Beta' 'Gamma' | 1,4 2,5.5 3,-6"},
      {"any order",
       "NrOfDataPoints: 2 FileVersion: 7 IncludesConstant: 0 NrOfPredictors: 1 "
       "FirstConfoundPredictor: 2\n1 2 3\n\"A\"\n5 6\n",
       "v7 p1 d2 c0 f2 | 1,2,3 | 'A' | 5,6"},
      {"first confound first", "FirstConfoundPredictor: 3 NrOfPredictors: 2\n",
       "v0 p0 d0 c0 f3 | | |"},
      // The sixth token is not read as a key; its line has no quote, so the names come after it.
      {"unknown token",
       "Extra NrOfPredictors: 2 NrOfDataPoints: 1 IncludesConstant: 0 "
       "FileVersion: 4\nFirstConfoundPredictor: 2\n\"A\" \"B\"\n1 2\n",
       "v4 p2 d1 c0 f0 | 0,0,0 0,0,0 | 'A' 'B' | 1 2"},
      {"glued key",
       "FileVersion:1 NrOfPredictors: 1 NrOfDataPoints: 1 IncludesConstant: 0 "
       "FirstConfoundPredictor: 2\n\"A\"\n1\n",
       "v0 p1 d1 c0 f2 | 0,0,0 | 'A' | 1"},
      // A failed header value is cleared after the colours: names and values are read after it.
      {"value out of range",
       "NrOfPredictors: 2 NrOfDataPoints: 1 FirstConfoundPredictor: "
       "2147483648 \"A\" \"B\"\n1.5 2.5\n",
       "v0 p2 d1 c0 f0 | 0,0,0 0,0,0 | 'A' 'B' | 1.5 2.5"},
      {"negative predictors", header(-3, 2) + "\"A\"\n1\n", "v1 p0 d2 c1 f2 | | |"},
      {"negative data points", header(2, -1) + "\"A\" \"B\"\n1 2\n",
       "v1 p2 d0 c1 f2 | 0,0,0 0,0,0 | 'A' 'B' |  "},
      {"empty file", "", "v0 p0 d0 c0 f0 | | |"},
      {"header only", "NrOfPredictors: 2 NrOfDataPoints: 1",
       "v0 p2 d1 c0 f0 | 0,0,0 0,0,0 | 'NoName' 'NoName' | 0 0"},
      {"stated version -1 reads as 0", "FileVersion: -1\n", "v0 p0 d0 c0 f0 | | |"},
  });
}

TEST_F(SdmReaderTest, ColoursAndNames) {
  expectReads({
      {"fewer names", header(3, 0) + "1 2 3\n4 5 6\n7 8 9\n\"A\" \"B\"\n",
       "v1 p3 d0 c1 f2 | 1,2,3 4,5,6 7,8,9 | 'A' 'B' 'NoName' |   "},
      {"more names", header(2, 0) + "\"A\" \"B\" \"C\"\n",
       "v1 p2 d0 c1 f2 | 0,0,0 0,0,0 | 'A' 'B' |  "},
      {"empty, blanks, odd quote", header(3, 0) + "\"\" x \"Face left\" y \"odd\n",
       "v1 p3 d0 c1 f2 | 0,0,0 0,0,0 0,0,0 | '' 'Face left' 'NoName' |   "},
      {"blank lines before names", header(1, 1) + "1 2 3\n\n  \n\"A\"\n4\n",
       "v1 p1 d1 c1 f2 | 1,2,3 | 'A' | 4"},
      {"names on the next line", header(1, 1) + "1 2 3 9\n\"A\"\n4\n",
       "v1 p1 d1 c1 f2 | 1,2,3 | 'A' | 4"},
      {"unreadable component", header(2, 1) + "1 2 \"A\" \"B\"\n5 6\n",
       "v1 p2 d1 c1 f2 | 1,2,0 0,0,0 | 'A' 'B' | 5 6"},
      {"no predictors", header(0, 2) + "\"A\"\n1\n2\n", "v1 p0 d2 c1 f2 | | |"},
      {"0x1A byte", header(2, 1) + "\"A\x1A\" \"B\"\n1 2\n",
       "v1 p2 d1 c1 f2 | 0,0,0 0,0,0 | 'A\x1A' 'B' | 1 2"},
  });
}

// The value grammar itself is tested with the scanner; here, how the matrix uses it.
TEST_F(SdmReaderTest, ValuesStopAtTheFirstThatCannotBeRead) {
  expectReads({
      values("short", "1.5", "1.5,0,0"),
      values("corners", "+1.5.3 -0", "1.5,0.3,-0"),
      values("underflow reads", "1e-46 1e-45 -1e-50", "0,1e-45,-0"),
      values("comma", "7 1,5 8", "7,1,0"),
      values("overflow stops", "7 1e39 8", "7,0,0"),
  });
}

TEST_F(SdmReaderTest, NotesTellWhatTheRecordHidesAndChangeNothingElse) {
  const auto notes = [&](const std::string& bytes) { return read(bytes).notes; };
  const SdmReadNotes comma = notes(header(2, 2) + "\"A\" \"B\"\n1 2\n1,5 3\n");
  EXPECT_EQ(comma.valuesRead, 3);
  EXPECT_EQ(comma.unreadIndex, 3);
  EXPECT_EQ(comma.unreadText, "1,5");
  EXPECT_TRUE(comma.unreadInWord);
  const SdmReadNotes nan = notes(header(1, 3) + "\"A\"\n1\nnan\n");
  EXPECT_EQ(nan.unreadText, "nan");
  EXPECT_FALSE(nan.unreadInWord);
  const SdmReadNotes cut = notes(header(2, 3) + "\"A\"\n1 2\n3");
  EXPECT_EQ(cut.valuesRead, 3);
  EXPECT_EQ(cut.unreadIndex, -1);
  EXPECT_EQ(cut.namesFound, 1);
  const SdmReadNotes extra = notes(header(1, 1) + "\"A\" \"B\" \"C\"\n1\n2\n");
  EXPECT_TRUE(extra.textAfterMatrix);
  EXPECT_EQ(extra.namesFound, 3);
  const SdmReadNotes fields = notes("NrOfPredictors: 1 NrOfDataPoints: x\n");
  EXPECT_EQ(fields.headerUnreadable, kNrOfDataPointsField);
  EXPECT_EQ(fields.headerMissing,
            kFileVersionField | kIncludesConstantField | kFirstConfoundPredictorField);
  EXPECT_EQ(testing::describe(read(header(2, 2) + "\"A\" \"B\"\n1 2\n1,5 3\n")),
            "v1 p2 d2 c1 f2 | 0,0,0 0,0,0 | 'A' 'B' | 1,1 2,0");
}

TEST_F(SdmReaderTest, ValuesReadTheSameInAnyGlobalLocale) {
  struct Comma : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
  };
  const std::locale previous = std::locale::global(std::locale(std::locale(), new Comma));
  expectReads({values("comma locale", "1.5 2,5", "1.5,2,0")});
  std::locale::global(previous);
}

TEST_F(SdmReaderTest, FileThatCannotBeOpenedLogsOneLineAndKeepsItsPath) {
  dir.writeFile("a.sdm", header(1, 1) + "\"A\"\n1\n");
#ifdef _WIN32
  const std::string device = "NUL";
#else
  const std::string device = "/dev/zero";
  ::mkfifo(dir.path("pipe.sdm").c_str(), 0600);  // refused without waiting for a writer
#endif
  const std::vector<std::string> paths = {
      dir.path("missing.sdm"),       "", dir.path(""), device, dir.path("pipe.sdm"),
      dir.path("a.sdm") + '\0' + "x"};
  for (const std::string& path : paths) {
    const SdmFile sdm = readSdm(path);
    EXPECT_EQ(testing::describe(sdm), "unreadable") << path;
    EXPECT_EQ(sdm.path, path);
    EXPECT_TRUE(sdm.predictorNames.empty() && sdm.values.empty());
    EXPECT_EQ(log.lines().back(),
              "!!!  Failed opening SDM for reading: " + std::string(path.c_str()));
  }
  EXPECT_EQ(log.lines().size(), paths.size());
}

// A header claiming more than the allowance and more than its file can hold allocates nothing;
// a short matrix in a normal file, or a file large enough for its header, reads as usual, within
// the fixed caps.
TEST_F(SdmReaderTest, SizeLimit) {
  const auto fits = static_cast<int>(kSdmValueAllowance - kSdmSlotsPerPredictor);
  const std::string ten = "1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n";
  expectReads({
      {"huge", header(2147483647, 2147483647) + "\"A\"\n1\n",
       "v1 p2147483647 d2147483647 c1 f2 too large | | |"},
      {"many data points", header(1, 2147483647), "v1 p1 d2147483647 c1 f2 too large | | |"},
      {"predictors alone", header(2147483647, 0), "v1 p2147483647 d0 c1 f2 too large | | |"},
      {"16 Mi predictors", header(16 << 20, 0), "v1 p16777216 d0 c1 f2 too large | | |"},
      {"beyond the allowance", header(1, fits + 1), "v1 p1 d1048560 c1 f2 too large | | |"},
  });
  const SdmFile atAllowance = read(header(1, fits) + "\"A\"\n4.5\n");
  EXPECT_EQ(atAllowance.values.at(0).size(), std::size_t(fits));
  EXPECT_EQ(atAllowance.values[0][0], 4.5f);
  const SdmFile shortMatrix = read(header(1, 1000) + "\"A\"\n" + ten);
  EXPECT_EQ(shortMatrix.values.at(0).size(), 1000u);
  EXPECT_EQ(shortMatrix.values[0][9], 10.0f);
  EXPECT_EQ(shortMatrix.values[0][10], 0.0f);
  // A file large enough for its header reads up to the fixed caps, and not beyond, however
  // large it is (the rest of each file reads as NUL bytes).
  const auto backedBy = [&](const std::string& name, std::int32_t predictors, std::int32_t points) {
    const std::string path = dir.writeFile(name, header(predictors, points) + "\"A\"\n4.5\n");
    std::filesystem::resize_file(path, 3u * static_cast<std::uint64_t>(predictors) * points);
    return readSdm(path);
  };
  const SdmFile backed = backedBy("backed.sdm", 1, 4 << 20);
  EXPECT_FALSE(backed.tooLargeToRead);
  EXPECT_EQ(backed.values.at(0).size(), std::size_t(4 << 20));
  EXPECT_EQ(backed.values[0][0], 4.5f);
  EXPECT_TRUE(backedBy("cap.sdm", 2, static_cast<std::int32_t>(kSdmMaxSlots / 2)).tooLargeToRead);
  EXPECT_TRUE(backedBy("wide.sdm", kSdmMaxPredictors + 1, 1).tooLargeToRead);
}

}  // namespace
}  // namespace kelvora
