// readSdm against the reference reader (reference_sdm_reader.h), which follows the reader's
// algorithm step by step with standard streams: both must give the same record, bit for bit, for
// the example and fuzz-seed SDMs of the repository, for generated files full of number corners,
// for mutations of those, and for tokens that straddle the fast reader's 256 KiB chunks.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "designmatrix/reference_sdm_reader.h"
#include "designmatrix/sdm_file.h"
#include "designmatrix/text_scanner.h"
#include "support/temp_dir.h"

namespace kelvora {
namespace {

// Printable rendering of a failing input, so that it can be turned into a fixed test.
std::string escaped(const std::string& bytes, std::size_t limit = 400) {
  std::string out;
  for (std::size_t i = 0; i < bytes.size() && i < limit; ++i) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c < 0x20 || c >= 0x7F || c == '\\') {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return bytes.size() > limit ? out + "..." : out;
}

class Random {
 public:
  explicit Random(std::uint32_t seed) : engine(seed) {}
  std::size_t below(std::size_t bound) { return bound == 0 ? 0 : engine() % bound; }
  bool chance(std::size_t inOf) { return below(inOf) == 0; }
  template <typename T>
  const T& pick(const std::vector<T>& choices) {
    return choices[below(choices.size())];
  }
  std::string digits(std::size_t count) {
    std::string out;
    for (std::size_t i = 0; i < count; ++i) out += static_cast<char>('0' + below(10));
    return out;
  }
  std::uint32_t bits() { return static_cast<std::uint32_t>(engine()); }

 private:
  std::mt19937 engine;
};

// The exact midpoint between a float and the next one up, in decimal: the texts where rounding to
// nearest, ties to even, is decided by the last digits.
std::string midpointText(Random& random) {
  std::uint32_t bits = random.bits() & 0x7F7FFFFFu;
  if (random.chance(3)) bits &= 0x007FFFFFu;  // denormals
  float low = 0;
  std::memcpy(&low, &bits, sizeof low);
  const float high = std::nextafter(low, std::numeric_limits<float>::infinity());
  const double middle = (static_cast<double>(low) + static_cast<double>(high)) / 2;
  char text[800];
  const int precision = static_cast<int>(random.below(3)) == 0 ? 8 : 160;
  const auto end =
      std::to_chars(text, text + sizeof text, middle, std::chars_format::scientific, precision);
  return std::string(text, end.ptr);
}

// One number text of any shape the float grammar knows, or almost knows.
std::string numberText(Random& random) {
  static const std::vector<std::string> corners = {
      "0",
      "-0",
      "+0",
      "0.000000",
      "-0.000000",
      ".5",
      "5.",
      "+.5",
      "-.5",
      ".",
      "-",
      "+",
      "+-1",
      "1e",
      "1e+",
      "1E-",
      "1ex",
      "1e5",
      "1E+05",
      "1e-45",
      "7e-46",
      "1e-46",
      "1.4e-45",
      "3.4028235e38",
      "3.40282357e38",
      "3.4028236e38",
      "1e39",
      "-1e39",
      "1e-400",
      "1e400",
      "1.17549435e-38",
      "1.1754942e-38",
      "16777216",
      "16777217",
      "16777218",
      "0.16777217",
      "1.5.3",
      "1,5",
      "0x1A",
      "0x10",
      "inf",
      "-inf",
      "nan",
      "NaN",
      "1e0000000000000000000001",
      "0e999999999999999999999",
      "1e-999999999999999999999",
      "00000000000000000000000001.5",
      "0.0000000000000000000000000000000000000000000001",
      "-1.000000059604644775390625",
      "1.00000005960464477539062500000001",
      "\xa0"
      "1",
      "1\x1a"
      "2",
      "1e+5x"};
  switch (random.below(6)) {
    case 0:
      return random.pick(corners);
    case 1:
      return midpointText(random);
    default: {
      std::string text = random.pick(std::vector<std::string>{"", "", "-", "+"});
      const std::size_t whole = random.chance(8) ? 20 + random.below(40) : random.below(9);
      text += random.digits(whole);
      if (random.below(4) != 0)
        text += "." + random.digits(random.chance(8) ? 30 : random.below(10));
      if (random.chance(3)) {
        text += random.pick(std::vector<std::string>{"e", "E", "e-", "e+", "E-"});
        text += random.digits(random.chance(10) ? 25 : 1 + random.below(2));
      }
      return text;
    }
  }
}

struct Layout {
  std::string lineEnd = "\n";
  int predictors = 3;
  int dataPoints = 4;
};

// A design-matrix text whose header and names keep to the format and whose values are drawn from
// `number`; one in eight has a shuffled or incomplete header instead.
template <typename Number>
std::string generatedSdm(Random& random, const Layout& layout, Number number) {
  const std::string& end = layout.lineEnd;
  std::vector<std::string> keys = {
      "FileVersion: " + std::to_string(random.below(5)),
      "NrOfPredictors: " + std::to_string(layout.predictors),
      "NrOfDataPoints: " + std::to_string(layout.dataPoints),
      "IncludesConstant: " + std::to_string(random.below(2)),
      "FirstConfoundPredictor: " + std::to_string(random.below(layout.predictors + 2))};
  if (random.chance(8)) {
    for (std::size_t i = keys.size(); i > 1; --i) std::swap(keys[i - 1], keys[random.below(i)]);
    if (random.chance(2)) keys[random.below(keys.size())] = "Extra";
  }
  std::string text;
  for (const std::string& key : keys) text += key + end + (random.chance(4) ? end : "");
  text += end;
  if (!random.chance(10)) {
    for (int p = 0; p < layout.predictors; ++p) {
      text += std::to_string(random.below(256)) + " " + std::to_string(random.below(256)) + " " +
              std::to_string(random.below(256)) + end;
    }
  }
  if (random.chance(6)) text += end;
  for (int p = 0; p < layout.predictors; ++p) {
    text += (p ? " \"" : "\"") + std::string(random.chance(5) ? "" : "Pred ") +
            std::to_string(p + 1) + "\"";
  }
  text += end;
  for (int t = 0; t < layout.dataPoints; ++t) {
    for (int p = 0; p < layout.predictors; ++p) {
      text += (p ? std::string(random.chance(20) ? "\t" : " ") : std::string()) + number();
    }
    text += end;
  }
  if (random.chance(4)) text.resize(text.size() - end.size());  // no final line end
  return text;
}

// Bytes that make the grammar's decisions: digits, signs, points, exponents, quotes, whitespace of
// every kind, and bytes that are never whitespace.
char mutationByte(Random& random) {
  static const std::string alphabet =
      std::string("0123456789.-+eE \t\r\n\v\f\"x,:") + std::string(1, '\0') + "\x1a\xa0\x85";
  return alphabet[random.below(alphabet.size())];
}

std::string mutated(std::string text, Random& random) {
  static const std::vector<std::string> tokens = {"FileVersion:",
                                                  "NrOfPredictors:",
                                                  "NrOfDataPoints:",
                                                  "IncludesConstant:",
                                                  "FirstConfoundPredictor:",
                                                  "\"",
                                                  "\"\"",
                                                  "\r\n",
                                                  "-1",
                                                  "2147483648",
                                                  "1e39",
                                                  "9 9 9"};
  const std::size_t edits = 1 + random.below(6);
  for (std::size_t e = 0; e < edits && !text.empty(); ++e) {
    const std::size_t at = random.below(text.size());
    switch (random.below(6)) {
      case 0:
        text[at] = mutationByte(random);
        break;
      case 1:
        text.insert(at, 1, mutationByte(random));
        break;
      case 2:
        text.erase(at, 1 + random.below(8));
        break;
      case 3:
        text.insert(at, random.pick(tokens));
        break;
      case 4:
        text.insert(at, text.substr(random.below(text.size()), random.below(16)));
        break;
      default:
        text.resize(at);
        break;
    }
  }
  return text;
}

class SdmDifferentialTest : public ::testing::Test {
 protected:
  // Reads `bytes` with both readers; a difference fails the test with the input that caused it.
  void expectSameRecord(const std::string& bytes, const std::string& what) {
    const std::string path = dir.writeFile("run.sdm", bytes);
    const SdmFile fast = readSdm(path);
    const SdmFile reference = testing::readSdmWithStreams(path);
    const std::string difference = testing::differenceBetween(fast, reference);
    EXPECT_EQ(difference, "") << what << "\ninput: " << escaped(bytes);
    ++compared;
    if (!fast.values.empty() && fast.nrOfDataPoints > 0) ++withValues;
  }

  testing::TempDir dir;
  int compared = 0;
  int withValues = 0;
};

// The comparison itself: it must see a difference anywhere in a record, floats bit for bit.
TEST(SdmRecordComparisonTest, NamesTheFirstDifference) {
  SdmFile a;
  a.nrOfPredictors = 2;
  a.nrOfDataPoints = 3;
  a.predictorNames = {"Faces", "Houses"};
  a.values = {{1.0f, 2.0f, 0.0f}, {0.0f, 0.5f, 0.25f}};
  EXPECT_EQ(testing::differenceBetween(a, a), "");

  SdmFile b = a;
  b.values[1][0] = -0.0f;
  EXPECT_EQ(testing::differenceBetween(a, b), "values[1][0]: 0 against -0");
  b = a;
  b.values[0].pop_back();
  EXPECT_EQ(testing::differenceBetween(a, b), "values[0]: 3 entries against 2");
  b = a;
  b.predictorNames[1] = "House";
  EXPECT_EQ(testing::differenceBetween(a, b), "predictorNames[1]: 'Houses' against 'House'");
  b = a;
  b.tooLargeToRead = true;
  EXPECT_EQ(testing::differenceBetween(a, b), "tooLargeToRead: false against true");
}

TEST_F(SdmDifferentialTest, RepositoryDesignMatricesReadAlike) {
  const std::filesystem::path source = KELVORA_SOURCE_DIR;
  for (const char* folder :
       {"examples", "fuzz/corpus/sdm_reader", "fuzz/corpus/sdm_differential"}) {
    std::error_code missing;
    for (std::filesystem::recursive_directory_iterator entry(source / folder, missing), end;
         entry != end; ++entry) {
      if (!entry->is_regular_file()) continue;
      const std::string path = entry->path().generic_string();
      if (entry->path().extension() == ".sdm") {
        EXPECT_EQ(testing::differenceBetween(readSdm(path), testing::readSdmWithStreams(path)), "")
            << path;
        ++compared;
      }
    }
  }
  // The examples alone hold more than ten SDMs; finding none means the folder was not found.
  EXPECT_GE(compared, 10);
}

TEST_F(SdmDifferentialTest, GeneratedFilesWithEveryNumberShapeReadAlike) {
  Random random(7);
  for (int i = 0; i < 600; ++i) {
    Layout layout;
    layout.lineEnd = random.chance(2) ? "\r\n" : "\n";
    layout.predictors = static_cast<int>(random.below(6));
    layout.dataPoints = static_cast<int>(random.below(12));
    // Mostly values that read, so that the matrix goes on past the first few.
    const bool mostlyPlain = random.below(3) != 0;
    const std::string text = generatedSdm(random, layout, [&] {
      if (mostlyPlain && !random.chance(40)) {
        return random.pick(std::vector<std::string>{"", "-"}) + random.digits(1 + random.below(3)) +
               "." + random.digits(random.below(9));
      }
      return numberText(random);
    });
    expectSameRecord(text, "generated file " + std::to_string(i));
  }
  EXPECT_GT(withValues, 300);  // the comparison covered matrices, not only headers
}

TEST_F(SdmDifferentialTest, MutatedFilesReadAlike) {
  Random random(11);
  for (int i = 0; i < 1500; ++i) {
    Layout layout;
    layout.lineEnd = random.chance(2) ? "\r\n" : "\n";
    layout.predictors = 1 + static_cast<int>(random.below(4));
    layout.dataPoints = 1 + static_cast<int>(random.below(6));
    const std::string text = generatedSdm(random, layout, [&] {
      return random.chance(4) ? numberText(random) : random.digits(1) + "." + random.digits(6);
    });
    expectSameRecord(mutated(text, random), "mutation " + std::to_string(i));
  }
}

TEST_F(SdmDifferentialTest, ShortDecimalsOfEveryLengthReadAlike) {
  // The shapes that the reader converts without the general routine, and their neighbours: up
  // to nine digits on either side of the point, with and without a sign or a point, so that a
  // number ends at every byte of an eight-byte word; blanks, tabs and line ends after them.
  Random random(17);
  const auto shortDecimal = [&random] {
    const std::size_t whole = random.below(10);
    std::string text = random.pick(std::vector<std::string>{"", "-", "+"}) + random.digits(whole);
    if (whole == 0 || random.below(8) != 0) text += ".";
    const std::size_t fraction = random.below(10);
    return text + random.digits(whole == 0 && fraction == 0 ? 1 : fraction);
  };
  Layout layout;
  layout.predictors = 10;
  layout.dataPoints = 4000;
  layout.lineEnd = "\r\n";
  expectSameRecord(generatedSdm(random, layout, shortDecimal), "short decimals");
  EXPECT_EQ(withValues, 1);
}

TEST_F(SdmDifferentialTest, TokensAcrossChunkBoundariesReadAlike) {
  // Rows of 32 values make about 300 KiB, past the first 256 KiB chunk; each file puts a different
  // kind of token across that boundary by shifting everything with leading blanks.
  Random random(13);
  Layout layout;
  layout.predictors = 32;
  layout.dataPoints = 1000;
  const std::string body = generatedSdm(random, layout, [&] {
    return (random.chance(2) ? "-" : "") + random.digits(1 + random.below(2)) + "." +
           random.digits(6) + (random.chance(50) ? "e-3" : "");
  });
  for (int shift = 0; shift < 12; ++shift) {
    expectSameRecord(std::string(static_cast<std::size_t>(shift), ' ') + body,
                     "shifted by " + std::to_string(shift));
  }
  // A number near the longest token the scanner takes, and a names line longer than a chunk: the
  // fast reader's buffer must grow.
  const std::string header =
      "FileVersion: 1 NrOfPredictors: 2 NrOfDataPoints: 2 "
      "IncludesConstant: 1 FirstConfoundPredictor: 2\n1 2 3\n4 5 6\n";
  expectSameRecord(header + "\"A\" \"B\"\n1.5" + std::string(60 * 1024, '0') + "1 -2\n3 4\n",
                   "long number");
  expectSameRecord(header + "\"" + std::string(300 * 1024, 'n') + "\" \"B\"\n1 2\n3 4\n",
                   "long name");
}

// Below readSdm: the scanner's matrix reading against its one-value reading, with chunks so small
// that numbers of every shape are cut by the end of the bytes available, and the failure state
// and the position it leaves behind.
TEST_F(SdmDifferentialTest, MatrixReadingEqualsOneValueAtATimeAtEveryChunkSize) {
  Random random(19);
  std::string text;
  for (int i = 0; i < 110; ++i) {  // numbers that read, then one that does not ("1e+")
    switch (random.below(4)) {
      case 0:
        text += midpointText(random);
        break;
      case 1:
        text += "-" + random.digits(1 + random.below(3)) + "." + random.digits(4) + "e-0" +
                random.digits(1);
        break;
      default:
        text += random.digits(1 + random.below(9)) + "." + random.digits(random.below(9));
        break;
    }
    text += random.chance(6) ? "\r\n" : " ";
  }
  text += "1e+ 2.5";
  const std::string path = dir.writeFile("matrix.txt", text + " tail");
  for (std::size_t chunk = 1; chunk <= 24; ++chunk) {
    TextScanner oneByOne(text + " tail");
    std::vector<float> expected(120, 0.0f);
    std::size_t expectedCount = 0;
    while (expectedCount < expected.size() && oneByOne.readFloat(expected[expectedCount])) {
      ++expectedCount;
    }
    std::string expectedRest;
    oneByOne.clearFailure();
    oneByOne.readWord(expectedRest);

    std::FILE* file = std::fopen(path.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    TextScanner matrix(file, chunk);
    std::vector<std::vector<float>> columns(3, std::vector<float>(40, 0.0f));
    float* const pointers[] = {columns[0].data(), columns[1].data(), columns[2].data()};
    const std::size_t count = matrix.readFloatRows(pointers, 3, 40);
    EXPECT_TRUE(matrix.failed()) << "chunk " << chunk;  // at "1e+", as the one-by-one reading
    std::string rest;
    matrix.clearFailure();
    matrix.readWord(rest);
    std::fclose(file);

    ASSERT_EQ(expectedCount, 110u);  // every number before "1e+" read one at a time
    EXPECT_EQ(count, expectedCount) << "chunk " << chunk;
    EXPECT_EQ(rest, expectedRest) << "chunk " << chunk;
    for (std::size_t i = 0; i < expected.size(); ++i) {
      const float got = columns[i % 3][i / 3];
      EXPECT_EQ(std::memcmp(&got, &expected[i], sizeof got), 0)
          << "value " << i << ", chunk " << chunk;
    }
  }
}

}  // namespace
}  // namespace kelvora
