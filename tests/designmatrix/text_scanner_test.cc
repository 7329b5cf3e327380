#include "designmatrix/text_scanner.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace kelvora {
namespace {

class TextScannerTest : public ::testing::Test {
 protected:
  TextScanner& scan(const std::string& text) {
    bytes = text;
    scanner = std::make_unique<TextScanner>(bytes);
    return *scanner;
  }

  // The floats read until one fails; the failing read must leave its target as it was.
  std::vector<float> floats(const std::string& text) {
    TextScanner& in = scan(text);
    std::vector<float> read;
    float value = -7.0f;
    while (in.readFloat(value)) read.push_back(value);
    EXPECT_EQ(value, read.empty() ? -7.0f : read.back()) << "a failed read changed the value";
    return read;
  }

  std::vector<std::int32_t> ints(const std::string& text) {
    TextScanner& in = scan(text);
    std::vector<std::int32_t> read;
    std::int32_t value = 0;
    while (in.readInt(value)) read.push_back(value);
    return read;
  }

  std::string word() {
    std::string text = "<none>";
    scanner->readWord(text);
    return text;
  }

  std::string line() {
    std::string_view text = "<none>";
    return scanner->readLine(text) ? std::string(text) : "<failed>";
  }

  std::string bytes;
  std::unique_ptr<TextScanner> scanner;
};

TEST_F(TextScannerTest, IntegersTakeEitherSignAndLeadingZerosAsDecimal) {
  EXPECT_EQ(ints("+5 -7 010 08 -0 -2147483648 2147483647 00000000000000000042"),
            (std::vector<std::int32_t>{5, -7, 10, 8, 0, INT32_MIN, INT32_MAX, 42}));
}

TEST_F(TextScannerTest, IntegerStopsAtFirstNonDigitWhichStartsTheNextWord) {
  scan("0x1A 12abc");
  std::int32_t value = 0;
  EXPECT_TRUE(scanner->readInt(value));
  EXPECT_EQ(word(), "x1A");
  EXPECT_TRUE(scanner->readInt(value));
  EXPECT_EQ(value, 12);
  EXPECT_EQ(word(), "abc");
}

TEST_F(TextScannerTest, OutOfRangeIntegerFailsKeepsValueAndConsumesItsDigits) {
  for (const char* text : {"2147483648 7", "-2147483649 7", "99999999999999999999 7"}) {
    TextScanner& in = scan(text);
    std::int32_t value = 3;
    EXPECT_FALSE(in.readInt(value)) << text;
    EXPECT_EQ(value, 3) << text;
    in.clearFailure();
    EXPECT_TRUE(in.readInt(value));
    EXPECT_EQ(value, 7) << text;
  }
}

TEST_F(TextScannerTest, SignWithoutDigitsConsumesOnlyTheSign) {
  TextScanner& in = scan("  -\"A\" \"B\"\n");
  std::int32_t value = 3;
  EXPECT_FALSE(in.readInt(value));
  EXPECT_EQ(value, 3);
  in.clearFailure();
  EXPECT_EQ(line(), "\"A\" \"B\"");
}

TEST_F(TextScannerTest, FailureIsStickyAndConsumesNothingUntilCleared) {
  TextScanner& in = scan("  \"Name\" 12\nnext\n");
  std::int32_t value = 0;
  EXPECT_FALSE(in.readInt(value));  // whitespace skipped, stops at the quote
  EXPECT_TRUE(in.failed());
  EXPECT_EQ(word(), "<none>");
  EXPECT_EQ(line(), "<failed>");
  in.skipLine();
  in.clearFailure();
  EXPECT_EQ(line(), "\"Name\" 12");
  EXPECT_EQ(line(), "next");
}

TEST_F(TextScannerTest, ReadingAtTheEndFailsButSkippingALineDoesNot) {
  TextScanner& in = scan("5");
  std::int32_t value = 0;
  EXPECT_TRUE(in.readInt(value));
  in.skipLine();
  EXPECT_FALSE(in.failed());
  EXPECT_FALSE(in.readInt(value));
  EXPECT_TRUE(in.failed());
}

TEST_F(TextScannerTest, FloatGrammarTakesSignsPointsAndExponents) {
  EXPECT_EQ(floats("+1.5 .5 5. 1E+05 1e-2 -.25 1.e2 -3 0007.50"),
            (std::vector<float>{1.5f, 0.5f, 5.0f, 1e5f, 0.01f, -0.25f, 100.0f, -3.0f, 7.5f}));
}

TEST_F(TextScannerTest, NegativeZeroKeepsItsSign) {
  const std::vector<float> read = floats("-0 -0.0 0");
  ASSERT_EQ(read.size(), 3u);
  EXPECT_TRUE(std::signbit(read[0]));
  EXPECT_TRUE(std::signbit(read[1]));
  EXPECT_FALSE(std::signbit(read[2]));
}

TEST_F(TextScannerTest, SecondPointStartsTheNextNumber) {
  EXPECT_EQ(floats("1.5.3"), (std::vector<float>{1.5f, 0.3f}));
  EXPECT_EQ(floats("1,5 2"), std::vector<float>{1.0f});
  EXPECT_EQ(floats("0x10 2"), std::vector<float>{0.0f});
  EXPECT_EQ(floats("2-3"), (std::vector<float>{2.0f, -3.0f}));
}

TEST_F(TextScannerTest, TextOutsideTheFloatGrammarIsNoValue) {
  for (const char* text : {"1e", "1e+", "1E-", "1ex", "inf", "-inf", "nan", "NAN", ".", "-.", "+-1",
                           "e5", "x", "\"A\""}) {
    EXPECT_EQ(floats(text), std::vector<float>{}) << text;
  }
}

TEST_F(TextScannerTest, FloatBeyondTheRangeIsNoValue) {
  for (const char* text : {"1e39", "-1e39", "3.4028236e38", "1e999999999999999999999",
                           "100000000000000000000000000000000000000000"}) {
    EXPECT_EQ(floats(text), std::vector<float>{}) << text;
  }
  EXPECT_EQ(floats("3.4028235e38 -3.4028235e38"), (std::vector<float>{FLT_MAX, -FLT_MAX}));
}

TEST_F(TextScannerTest, FloatBelowTheSmallestDenormalRoundsToZero) {
  const std::vector<float> read =
      floats("1e-46 -1e-50 1e-45 1000e-48 0.0000000001e-40 1e-999999999999999 0e999999999");
  ASSERT_EQ(read.size(), 7u);
  EXPECT_EQ(read[0], 0.0f);
  EXPECT_EQ(read[1], 0.0f);
  EXPECT_TRUE(std::signbit(read[1]));
  EXPECT_EQ(read[2], std::nextafter(0.0f, 1.0f));
  EXPECT_EQ(read[3], std::nextafter(0.0f, 1.0f));
  EXPECT_EQ(read[4], 0.0f);
  EXPECT_EQ(read[5], 0.0f);
  EXPECT_EQ(read[6], 0.0f);
}

TEST_F(TextScannerTest, FloatIsRoundedCorrectlyToNearest) {
  // 2^24 + 1 lies halfway between two floats: ties go to even, anything above goes up.
  EXPECT_EQ(floats("16777217 16777217.000000000000000000000001 0.1 1.17549435e-38"),
            (std::vector<float>{16777216.0f, 16777218.0f, 0.1f, FLT_MIN}));
}

TEST_F(TextScannerTest, WhitespaceIsTheClassicSetAndNothingElse) {
  using namespace std::string_literals;
  TextScanner& in = scan(
      " \t\n\v\f\r7 \x1A"
      "5 a\0b \xA0"s);
  std::int32_t value = 0;
  EXPECT_TRUE(in.readInt(value));
  EXPECT_EQ(value, 7);
  EXPECT_EQ(word(),
            "\x1A"
            "5");
  EXPECT_EQ(word(), std::string("a\0b", 3));
  EXPECT_EQ(word(), "\xA0");
}

TEST_F(TextScannerTest, LinesEndAtLfAndDropOnlyACrRightBeforeIt) {
  scan("a\r\nb\nc\rd\r\n\r\n\r\r\nlast\r");
  EXPECT_EQ(line(), "a");
  EXPECT_EQ(line(), "b");
  EXPECT_EQ(line(), "c\rd");
  EXPECT_EQ(line(), "");
  EXPECT_EQ(line(), "\r");
  EXPECT_EQ(line(), "last\r");
  EXPECT_EQ(line(), "<failed>");
}

TEST_F(TextScannerTest, RestOfLineAfterATokenStartsRightAfterIt) {
  TextScanner& in = scan("12 rest of it\r\nnext");
  std::int32_t value = 0;
  in.readInt(value);
  EXPECT_EQ(line(), " rest of it");
  in.skipLine();
  EXPECT_EQ(line(), "<failed>");
}

// A file read in small chunks gives what the same bytes give in one piece, with tokens and lines
// that span chunk boundaries and that are longer than a chunk.
class TextScannerChunkTest : public TextScannerTest {
 protected:
  struct Reading {
    std::vector<std::string> words;
    std::vector<std::int32_t> ints;
    std::vector<float> floats;
    std::vector<std::string> lines;
    bool operator==(const Reading& other) const {
      return words == other.words && ints == other.ints && floats == other.floats &&
             lines == other.lines;
    }
  };

  static Reading readAll(TextScanner& in) {
    Reading reading;
    std::string word;
    for (int i = 0; i < 3 && in.readWord(word); ++i) reading.words.push_back(word);
    std::int32_t value = 0;
    while (in.readInt(value)) reading.ints.push_back(value);
    in.clearFailure();
    std::string_view line;
    if (in.readLine(line)) reading.lines.emplace_back(line);
    float number = 0.0f;
    while (in.readFloat(number)) reading.floats.push_back(number);
    in.clearFailure();
    while (in.readLine(line)) reading.lines.emplace_back(line);
    return reading;
  }

  Reading readFile(const std::string& text, std::size_t chunkSize) {
    const std::string path = dir.writeFile("scan.txt", text);
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                         &std::fclose);
    TextScanner in(file.get(), chunkSize);
    return readAll(in);
  }

  testing::TempDir dir;
};

TEST_F(TextScannerChunkTest, SmallChunksReadLikeOnePiece) {
  const std::string text = "FileVersion: " + std::string(40, 'w') + " x\r\n  -2147483648 +0012 7 " +
                           std::string(50, '9') + "1 \"names \" \" line\"\r\n  1.25e-3 -.5 " +
                           std::string(60, '0') + "1.5 3.4028235e38 7e\r\n" +
                           std::string(100, 'L') + "\r\nend";
  TextScanner whole(text);
  const Reading expected = readAll(whole);
  ASSERT_EQ(expected.ints, (std::vector<std::int32_t>{INT32_MIN, 12, 7}));
  ASSERT_EQ(expected.floats, (std::vector<float>{1.25e-3f, -0.5f, 1.5f, FLT_MAX}));
  ASSERT_EQ(expected.lines.size(), 4u);
  for (std::size_t chunk : {1, 2, 3, 5, 7, 16, 64}) {
    EXPECT_TRUE(readFile(text, chunk) == expected) << "chunk size " << chunk;
  }
}

}  // namespace
}  // namespace kelvora
