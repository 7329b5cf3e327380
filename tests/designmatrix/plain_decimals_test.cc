#include "designmatrix/plain_decimals.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "designmatrix/text_scanner.h"

namespace kelvora {
namespace {

bool isBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Runs `reader` over `text` (padded as the scanner pads it) into one column. A word it does not
// take gets the value `expected` holds for it and is skipped, so every word is compared. Returns
// how many words it took.
std::size_t readAll(PlainDecimalReader reader, const std::string& text,
                    const std::vector<float>& expected, std::vector<float>& column) {
  const std::string padded = text + std::string(kPlainDecimalReadAhead, '\0');
  const char* const end = padded.data() + text.size();
  float* const columns[] = {column.data()};
  FloatRows rows(columns, 1, column.size());
  std::size_t taken = 0;
  for (const char* at = padded.data(); !rows.full();) {
    const std::size_t before = rows.count();
    at = reader(at, end, rows);
    taken += rows.count() - before;
    if (rows.full()) break;
    while (isBlank(*at)) ++at;
    rows.next() = expected[rows.count()];
    rows.advance();
    while (at != end && !isBlank(*at)) ++at;
  }
  return taken;
}

// Numbers of every shape the readers take or must leave, at every offset of a 64-byte block and
// across batches: signs, points anywhere, up to 17 digits, exponents, float midpoints.
TEST(PlainDecimalsTest, EveryReaderGivesTheValuesOfReadingOneAtATime) {
  std::mt19937 random(23);
  const auto digits = [&random](std::size_t count) {
    std::string out;
    for (std::size_t i = 0; i < count; ++i) out += static_cast<char>('0' + random() % 10);
    return out;
  };
  const char* const signs[] = {"", "", "-", "+"};
  const char* const separators[] = {" ", "\t", "\r\n", "  ", "\n\n\n", "\v\f "};
  const char* const exceptional[] = {"1e5",
                                     ".5",
                                     "5.",
                                     "-.5",
                                     "0.16777217",
                                     "16777217",
                                     "1.00000005960464477539062500000001",
                                     "3.4028235e38",
                                     "0.000000000000001",
                                     "9007199254740993",
                                     "999999999999999"};
  std::string text;
  for (int i = 0; i < 6000; ++i) {
    if (random() % 20 == 0) {
      text += exceptional[random() % std::size(exceptional)];
    } else {
      const std::size_t whole = random() % 9 == 0 ? random() % 17 : 1 + random() % 2;
      text += signs[random() % 4] + digits(whole);
      if (whole == 0 || random() % 5 != 0) text += "." + digits(random() % (random() % 4 ? 7 : 17));
      if (text.back() == '.' && whole == 0) text += "5";
    }
    text += separators[random() % std::size(separators)];
    if (random() % 7 == 0) text += std::string(random() % 70, ' ');
  }
  TextScanner oneByOne(text);
  std::vector<float> expected;
  for (float value = 0; oneByOne.readFloat(value);) expected.push_back(value);
  ASSERT_EQ(expected.size(), 6000u);

  std::size_t count = 0;
  const PlainDecimalReader* const readers = availablePlainDecimalReaders(count);
  for (std::size_t r = 0; r < count; ++r) {
    std::vector<float> column(expected.size(), -1.0f);
    const std::size_t taken = readAll(readers[r], text, expected, column);
    EXPECT_EQ(std::memcmp(column.data(), expected.data(), column.size() * sizeof(float)), 0)
        << "reader " << r;
    // All but the reader that reads nothing take the bulk.
    if (r + 1 < count) {
      EXPECT_GT(taken, 5000u) << "reader " << r;
    }
  }
}

// Integers of every first digit are plain (up to 7 digits, floats exactly, so never near a
// midpoint): one from "5" up once fell to the general reading, ten times slower, because its first
// digit filled the place the others leave empty.
TEST(PlainDecimalsTest, ReadersTakeIntegersOfEveryFirstDigit) {
  std::size_t count = 0;
  const PlainDecimalReader* const readers = availablePlainDecimalReaders(count);
  std::string text;
  for (const char* sign : {"", "-", "+"}) {
    for (char first = '1'; first <= '9'; ++first) {
      for (std::size_t length = 1; length <= 7; ++length) {
        text += sign + std::string(1, first) + std::string(length - 1, '7') + " ";
      }
    }
  }
  TextScanner oneByOne(text);
  std::vector<float> expected;
  for (float value = 0; oneByOne.readFloat(value);) expected.push_back(value);
  for (std::size_t r = 0; r + 1 < count; ++r) {
    std::vector<float> column(expected.size(), -1.0f);
    EXPECT_EQ(readAll(readers[r], text, expected, column), expected.size()) << "reader " << r;
    EXPECT_EQ(std::memcmp(column.data(), expected.data(), column.size() * sizeof(float)), 0);
  }
}

// Where a reader must stop: at the word it does not take, or one that may go on past the end.
TEST(PlainDecimalsTest, ReadersStopBeforeWordsTheyDoNotTake) {
  std::size_t count = 0;
  const PlainDecimalReader* const readers = availablePlainDecimalReaders(count);
  for (const std::string& rest :
       std::vector<std::string>{"1,5 2", "1.5.3 2", "+-1 2", "1e5 2", std::string("1\0 2", 4),
                                "0x1A 2", "- 2", ". 2", "2.5", "1234567890123456 2"}) {
    const std::string padded = "0.25 \r\n-7 " + rest + std::string(kPlainDecimalReadAhead, '\0');
    const char* const end = padded.data() + padded.size() - kPlainDecimalReadAhead;
    for (std::size_t r = 0; r + 1 < count; ++r) {
      float values[3] = {0, 0, 0};
      float* const columns[] = {values};
      FloatRows rows(columns, 1, 3);
      EXPECT_EQ(readers[r](padded.data(), end, rows), padded.data() + 10) << rest;
      EXPECT_EQ(rows.count(), 2u) << rest;
      EXPECT_EQ(values[1], -7.0f) << rest;
    }
  }
}

}  // namespace
}  // namespace kelvora
