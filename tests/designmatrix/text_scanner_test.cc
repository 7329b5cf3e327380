#include "designmatrix/text_scanner.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "support/design_matrix_text.h"
#include "support/temp_dir.h"

namespace kelvora {
namespace {

using Cases = std::vector<std::pair<std::string, std::string>>;

// What a sequence of reads gives: values separated by blanks, "!" for the read that failed.
class TextScannerTest : public ::testing::Test {
 protected:
  static std::string ints(TextScanner& in) {
    std::string out;
    for (std::int32_t value = 0; in.readInt(value);) out += std::to_string(value) + " ";
    return out + "!";
  }
  static std::string floats(TextScanner& in) {
    std::string out;
    for (float value = 0; in.readFloat(value);) out += testing::floatText(value) + " ";
    return out + "!";
  }
  static std::string lines(TextScanner& in) {
    std::string out;
    for (std::string_view line; in.readLine(line);) out += "[" + std::string(line) + "]";
    return out;
  }
  // Integers, then (after clearing) the rest of that line, then floats, then every line left.
  static std::string mixed(TextScanner& in) {
    std::string word;
    std::string out = in.readWord(word) ? word + " " : "";
    out += ints(in);
    in.clearFailure();
    std::string_view line;
    if (in.readLine(line)) out += "[" + std::string(line) + "]";
    out += floats(in);
    in.clearFailure();
    return out + lines(in);
  }
  template <typename Read>
  static void expectReads(Read read, const Cases& cases) {
    for (const auto& [text, expected] : cases) {
      TextScanner in(text);
      EXPECT_EQ(read(in), expected) << "input: " << text;
    }
  }
};

TEST_F(TextScannerTest, IntegerGrammarAndFailures) {
  expectReads(ints, {{"+5 -7 010 08 -0 00000000000000000042", "5 -7 10 8 0 42 !"},
                     {"-2147483648 2147483647 2147483648", "-2147483648 2147483647 !"},
                     {"0x1A", "0 !"},
                     {"12abc", "12 !"},
                     {" \t\n\v\f\r7 \x1A"
                      "5",
                      "7 !"},
                     {"+", "!"},
                     {"", "!"}});
}

// After a failure nothing is consumed until it is cleared; an out-of-range value consumes its
// digits, a sign without digits only the sign.
TEST_F(TextScannerTest, FailureStopsEveryReadAndLeavesThePositionAsAStreamWould) {
  expectReads(mixed, {{"w 0x1A", "w 0 ![x1A]!"},
                      {"w 99999999999 7\n1.5", "w ![ 7]1.5 !"},
                      {"w -\"A\" 4\n", "w ![\"A\" 4]!"},
                      {"w 1 2 \"N\" 3\r\nx 1.5", "w 1 2 ![\"N\" 3]![x 1.5]"},
                      {"w 1 \"\n2.5 7e\r\nlast", "w 1 ![\"]2.5 ![][last]"}});
  TextScanner in("a \"b\"");
  std::string word;
  std::int32_t value = 0;
  EXPECT_TRUE(in.readWord(word));
  EXPECT_FALSE(in.readInt(value));
  in.skipLine();
  EXPECT_FALSE(in.readWord(word));
  EXPECT_EQ(word, "a");
  in.clearFailure();
  EXPECT_EQ(lines(in), "[\"b\"]");
  // A matrix read too, its short decimals included.
  TextScanner matrix("1e+ 1.5 2.5");
  float values[2] = {0, 0};
  float* const columns[] = {values};
  EXPECT_FALSE(matrix.readFloat(values[0]));
  EXPECT_EQ(matrix.readFloatRows(columns, 1, 2), 0u);
  EXPECT_EQ(values[0], 0.0f);
}

TEST_F(TextScannerTest, FloatGrammarCorners) {
  expectReads(floats, {{"+1.5 .5 5. 1E+05 -.25 1.e2 0007.50", "1.5 0.5 5 1e+05 -0.25 100 7.5 !"},
                       {"-0 -0.0 0", "-0 -0 0 !"},
                       {"1.5.3", "1.5 0.3 !"},
                       {"1,5", "1 !"},
                       {"0x10", "0 !"},
                       {"2-3", "2 -3 !"},
                       {"1e", "!"},
                       {"1e+", "!"},
                       {"1ex", "!"},
                       {"inf", "!"},
                       {"-inf", "!"},
                       {"nan", "!"},
                       {".", "!"},
                       {"+-1", "!"},
                       {"e5", "!"}});
}

TEST_F(TextScannerTest, FloatRangeAndRounding) {
  expectReads(floats, {{"3.4028235e38 1e39", "3.4028235e+38 !"},
                       {"-3.4028236e38", "!"},
                       {"1e999999999999999999999", "!"},
                       {"100000000000000000000000000000000000000000", "!"},
                       {"1e-45 1000e-48 1e-46 -1e-50", "1e-45 1e-45 0 -0 !"},
                       {"0.0000000001e-40 1e-999999999999999 0e999999999", "0 0 0 !"},
                       // 2^24 + 1 lies halfway between two floats: ties go to even.
                       {"16777217 16777217.000000000000000000000001", "16777216 16777218 !"},
                       {"0.1 1.17549435e-38", "0.1 1.1754944e-38 !"}});
  // 3 * 2^-150, halfway between the denormals 2^-149 and 2^-148, written out in full: the tie
  // goes to even (2^-148), a hair above too, a hair below to 2^-149.
  const std::string tie =
      "0.000000000000000000000000000000000000000000002101947696487225606385594374934874196920392"
      "912814773657635602425834686624028790902229957282543182373046875";
  const std::string below = tie.substr(0, tie.size() - 1) + "4999";
  expectReads(floats, {{tie + " " + tie + "0001 " + below, "3e-45 3e-45 1e-45 !"}});
}

// Short decimals take a quicker way than the general conversion; both must round alike.
TEST_F(TextScannerTest, ShortDecimalsRoundLikeTheGeneralConversion) {
  std::uint32_t seed = 12345;
  const auto next = [&seed](std::uint32_t range) {
    seed = seed * 1664525u + 1013904223u;
    return (seed >> 8) % range;
  };
  for (int i = 0; i < 100000; ++i) {
    std::string digits = std::to_string(next(100000000));
    digits.insert(next(static_cast<std::uint32_t>(digits.size()) + 1), ".");
    if (digits == ".") digits = "0";
    const std::string exponent = next(2) ? "e" + std::to_string(int(next(25)) - 12) : "";
    const std::string text = (next(2) ? "-" : "") + digits + exponent;
    float expected = 0.0f;
    ASSERT_EQ(std::from_chars(text.data(), text.data() + text.size(), expected).ec, std::errc());
    float read = 0.0f;
    TextScanner in(text);
    ASSERT_TRUE(in.readFloat(read)) << text;
    ASSERT_EQ(testing::floatText(read), testing::floatText(expected)) << text;
  }
}

TEST_F(TextScannerTest, LinesEndAtLfCrLfOrALoneCrAfterAByteOrderMark) {
  expectReads(lines, {{"a\r\nb\nc\rd\r\n\r\n\r\r\nlast\r", "[a][b][c][d][][][][last]"},
                      {"\xEF\xBB\xBF\xEF\xBB\xBFx\r", "[\xEF\xBB\xBFx]"},
                      {"", ""},
                      {std::string("\x1A\n\0x", 4), std::string("[\x1A][\0x]", 7)}});
}

// A file read in chunks as small as one byte reads as the same bytes in one piece, with numbers,
// words and lines that span chunks and are longer than one.
TEST_F(TextScannerTest, SmallChunksReadLikeOnePiece) {
  const std::string text = "W" + std::string(40, 'w') + "  -2147483648 +0012 " +
                           std::string(50, '9') + " \"names\"\r\n  1.25e-3 " +
                           std::string(60, '0') + "1.5 3.4028235e38 7e\r\n" +
                           std::string(100, 'L') + "\r\nend";
  TextScanner whole(text);
  const std::string expected = mixed(whole);
  ASSERT_EQ(expected, "W" + std::string(40, 'w') + " -2147483648 12 ![ \"names\"]0.00125 1.5 " +
                          "3.4028235e+38 ![][" + std::string(100, 'L') + "][end]");
  testing::TempDir dir;
  const std::string path = dir.writeFile("scan.txt", text);
  for (std::size_t chunk : {1, 2, 3, 7, 64}) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    TextScanner in(file, chunk);
    EXPECT_EQ(mixed(in), expected) << "chunk size " << chunk;
    std::fclose(file);
  }
}

// A token longer than any the formats hold fails and ends the input, read whole or in chunks; one
// of the longest length still reads.
TEST_F(TextScannerTest, OverlongTokenEndsTheInput) {
  constexpr std::size_t kMax = TextScanner::kMaxTokenLength;
  const std::string text = std::string(kMax, 'w') + " " + std::string(kMax + 1, '7') + " 5\nnext";
  testing::TempDir dir;
  const std::string path = dir.writeFile("scan.txt", text);
  std::FILE* file = std::fopen(path.c_str(), "rb");
  TextScanner whole(text);
  TextScanner chunked(file, 1000);
  for (TextScanner* in : {&whole, &chunked}) {
    std::string word;
    EXPECT_TRUE(in->readWord(word) && word.size() == kMax);
    EXPECT_EQ(mixed(*in), "!!");
  }
  std::fclose(file);
}

}  // namespace
}  // namespace kelvora
