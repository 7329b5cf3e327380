#include "designmatrix/text_scanner.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <system_error>

namespace kelvora {
namespace {

bool isSpace(char c) { return c == ' ' || static_cast<unsigned char>(c - '\t') < 5; }
bool isDigit(char c) { return static_cast<unsigned char>(c - '0') < 10; }
bool isSign(char c) { return c == '+' || c == '-'; }

struct IntMatch {
  std::size_t length = 0;
  bool hasDigits = false;
  bool negative = false;
  bool outOfRange = false;
  std::uint32_t magnitude = 0;  // at most 2^31 while !outOfRange
};

IntMatch matchInt(const char* text, std::size_t size) {
  constexpr std::uint32_t kLargestMagnitude = 2147483648u;
  IntMatch match;
  std::size_t i = 0;
  if (i < size && isSign(text[i])) match.negative = text[i++] == '-';
  for (; i < size && isDigit(text[i]); ++i) {
    match.hasDigits = true;
    const std::uint32_t digit = static_cast<std::uint32_t>(text[i] - '0');
    if (match.outOfRange || match.magnitude > (kLargestMagnitude - digit) / 10) {
      match.outOfRange = true;
    } else {
      match.magnitude = match.magnitude * 10 + digit;
    }
  }
  if (match.magnitude == kLargestMagnitude && !match.negative) match.outOfRange = true;
  match.length = i;  // without digits, the sign alone
  return match;
}

struct FloatMatch {
  std::size_t length = 0;
  bool valid = false;
  // Set when value = significand * 10^exponent with both factors exact as floats: one float
  // operation then rounds correctly, and the general conversion is not needed.
  bool exact = false;
  bool negative = false;
  std::uint32_t significand = 0;
  int exponent = 0;
};

FloatMatch matchFloat(const char* text, std::size_t size) {
  constexpr std::uint64_t kExactSignificand = std::uint64_t{1} << 24;
  constexpr int kExponentClamp = 100000;
  FloatMatch match;
  std::uint64_t significand = 0;
  bool tooManyDigits = false;
  const auto addDigit = [&](char c) {
    if (significand <= kExactSignificand) {
      significand = significand * 10 + static_cast<unsigned>(c - '0');
    } else {
      tooManyDigits = true;
    }
  };
  std::size_t i = 0;
  if (i < size && isSign(text[i])) match.negative = text[i++] == '-';
  std::size_t mantissaDigits = 0;
  int exponent = 0;
  for (; i < size && isDigit(text[i]); ++i, ++mantissaDigits) addDigit(text[i]);
  if (i < size && text[i] == '.') {
    for (++i; i < size && isDigit(text[i]); ++i, ++mantissaDigits) {
      addDigit(text[i]);
      if (exponent > -kExponentClamp) --exponent;  // beyond the clamp the value is never exact
    }
  }
  match.length = i;
  if (mantissaDigits == 0) return match;
  if (i < size && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    const bool negativeExponent = i < size && text[i] == '-';
    if (i < size && isSign(text[i])) ++i;
    int written = 0;
    const std::size_t firstDigit = i;
    for (; i < size && isDigit(text[i]); ++i) {
      if (written < kExponentClamp) written = written * 10 + (text[i] - '0');
    }
    match.length = i;
    if (i == firstDigit) return match;
    exponent += negativeExponent ? -written : written;
  }
  match.valid = true;
  match.exact =
      !tooManyDigits && significand <= kExactSignificand && exponent >= -10 && exponent <= 10;
  match.significand = static_cast<std::uint32_t>(significand);
  match.exponent = exponent;
  return match;
}

// For a number that the conversion found out of range: true when it is too large for a float,
// false when it is too small (its decimal exponent, the power of ten of its leading digit, is
// negative). `text` fits matchFloat without its sign.
bool overflowsFloat(const char* text, const char* last) {
  constexpr std::int64_t kExponentClamp = 1'000'000'000'000;
  std::int64_t leadingExponent = 0;
  bool afterPoint = false;
  bool seenNonZero = false;
  for (; text != last && *text != 'e' && *text != 'E'; ++text) {
    if (*text == '.') {
      afterPoint = true;
    } else if (seenNonZero) {
      if (!afterPoint) ++leadingExponent;
    } else if (*text != '0') {
      seenNonZero = true;
      if (afterPoint) --leadingExponent;
    } else if (afterPoint) {
      --leadingExponent;
    }
  }
  if (!seenNonZero) return false;
  std::int64_t exponent = 0;
  if (text != last) {
    ++text;
    const bool negative = *text == '-';
    if (isSign(*text)) ++text;
    for (; text != last; ++text) {
      if (exponent < kExponentClamp) exponent = exponent * 10 + (*text - '0');
    }
    if (negative) exponent = -exponent;
  }
  return leadingExponent + exponent >= 0;
}

// Short decimals in eight-byte words. The text is read eight bytes at a time from wherever a
// number starts, so the buffer holds kPadding readable bytes after its end.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the word tricks assume little endian");

std::uint64_t wordAt(const char* text) {
  std::uint64_t word = 0;
  std::memcpy(&word, text, sizeof word);
  return word;
}

// Non-zero in the bytes of the word that are no decimal digit, up to and including the first such
// byte and in every byte after a '.'. A byte is a digit when its high nibble is 3 and adding 6
// keeps it so; only a byte from 0xFA on carries into the next one when 6 is added.
std::uint64_t notDigitBytes(std::uint64_t word) {
  constexpr std::uint64_t kHigh = 0xF0F0F0F0F0F0F0F0u;
  constexpr std::uint64_t kThrees = 0x3030303030303030u;
  return ((word & kHigh) ^ kThrees) | (((word + 0x0606060606060606u) & kHigh) ^ kThrees);
}

// How many of the word's bytes, from its first, are decimal digits (0 to 8).
int leadingDigits(std::uint64_t word) {
  const std::uint64_t notDigit = notDigitBytes(word);
  return notDigit == 0 ? 8 : __builtin_ctzll(notDigit) >> 3;
}

// The bytes of the word below byte `count` (0 to 7).
std::uint64_t bytesBelow(int count) { return (std::uint64_t{1} << (8 * count)) - 1; }

// The value of the word's first `count` bytes, all digits (1 to 8), the first the most significant.
std::uint64_t digitsValue(std::uint64_t word, int count) {
  // Shifted up so that the digits end the word: the bytes shifted in are leading zeros.
  std::uint64_t value = (word - 0x3030303030303030u) << (8 * (8 - count));
  value = value * 10 + (value >> 8);
  return (((value & 0x000000FF000000FFu) * (100 + (std::uint64_t{1000000} << 32))) +
          (((value >> 16) & 0x000000FF000000FFu) * (1 + (std::uint64_t{10000} << 32)))) >>
         32;
}

// The common case of readFloat, without its general conversion: [+|-]digits[.digits] with at
// most eight digits on each side of the point and no exponent after them, read at `text` (past
// its whitespace). Returns the end of the number, or nullptr for every other text and when the
// number might go on past `end` (the bytes available, unless `atEnd`).
//
// Rounding. The significand s stays below 10^16. When s < 2^53 it is an exact double, and
// p = s * 10^-f, with the factor 10^-f rounded to a double and the product rounded once more,
// lies within 2^-52 * x of the exact value x = s / 10^f: within two units in the last place of a
// double. Rounding p to a float then gives x correctly rounded unless a float midpoint (the point
// halfway between two floats, a double whose 29 bits below a float's significand are 1000...0)
// lies within those two units of p. Such texts, about one in 10^8, go to the general routine.
const char* readShortDecimal(const char* text, const char* end, bool atEnd, float& value) {
  static constexpr std::uint64_t kPowersOfTen[] = {1,      10,      100,      1000,     10000,
                                                   100000, 1000000, 10000000, 100000000};
  static constexpr double kInversePowersOfTen[] = {1e0,  1e-1, 1e-2, 1e-3, 1e-4,
                                                   1e-5, 1e-6, 1e-7, 1e-8};
  constexpr std::uint64_t kExactDouble = std::uint64_t{1} << 53;
  constexpr std::uint64_t kFloatMidpoint = 0x10000000u;
  constexpr std::uint64_t kBelowFloat = 0x1FFFFFFFu;
  constexpr std::uint64_t kMargin = 3;
  const bool negative = *text == '-';
  text += static_cast<int>(negative) | static_cast<int>(*text == '+');
  const std::uint64_t wholeWord = wordAt(text);

  // The usual text, digits, a point and digits in at most eight bytes ("-0.123456"), is one word:
  // with the point taken out and a '0' put in front, its bytes are the significand's digits.
  const std::uint64_t notDigit = notDigitBytes(wholeWord);
  const int point = __builtin_ctzll(notDigit | (std::uint64_t{1} << 63)) >> 3;
  if (point < 7 && static_cast<char>(wholeWord >> (8 * point)) == '.') {
    // The first byte after the point that is no digit; byte 8 when the word ends in digits (it
    // is then readable: those eight bytes are text, not the padding after it).
    const std::uint64_t after = notDigit & ~bytesBelow(point + 1);
    const int last = after == 0 ? 8 : __builtin_ctzll(after) >> 3;
    const char next = text[last];
    if (last > point + 1 && !isDigit(next) && (next | 0x20) != 'e' &&
        (text + last != end || atEnd)) {
      const std::uint64_t digits =
          ((wholeWord & bytesBelow(point)) << 8) | (wholeWord & ~bytesBelow(point + 1)) | 0x30u;
      const double product =
          static_cast<double>(digitsValue(digits, last)) * kInversePowersOfTen[last - point - 1];
      std::uint64_t bits = 0;
      std::memcpy(&bits, &product, sizeof bits);
      if ((bits & kBelowFloat) - (kFloatMidpoint - kMargin) <= 2 * kMargin) return nullptr;
      const float magnitude = static_cast<float>(product);
      value = negative ? -magnitude : magnitude;
      return text + last;
    }
  }

  const int whole = leadingDigits(wholeWord);
  std::uint64_t significand = whole == 0 ? 0 : digitsValue(wholeWord, whole);
  text += whole;
  int fraction = 0;
  if (*text == '.') {
    const std::uint64_t fractionWord = wordAt(++text);
    fraction = leadingDigits(fractionWord);
    if (fraction > 0) {
      significand = significand * kPowersOfTen[fraction] + digitsValue(fractionWord, fraction);
      text += fraction;
    }
  }
  if (whole + fraction == 0 || isDigit(*text) || (*text | 0x20) == 'e' || (text == end && !atEnd) ||
      significand >= kExactDouble) {
    return nullptr;
  }
  const double product = static_cast<double>(significand) * kInversePowersOfTen[fraction];
  std::uint64_t bits = 0;
  std::memcpy(&bits, &product, sizeof bits);
  if ((bits & kBelowFloat) - (kFloatMidpoint - kMargin) <= 2 * kMargin) return nullptr;
  const float magnitude = static_cast<float>(product);
  value = negative ? -magnitude : magnitude;
  return text;
}

}  // namespace

TextScanner::TextScanner(std::FILE* file, std::size_t chunkSize)
    : file(file), chunkSize(chunkSize < 1 ? 1 : chunkSize) {
  skipByteOrderMark();
}

TextScanner::TextScanner(std::string_view bytes)
    : storage(new char[bytes.size() + kPadding]),
      capacity(bytes.size()),
      end(bytes.size()),
      exhausted(true) {
  if (!bytes.empty()) std::memcpy(storage.get(), bytes.data(), bytes.size());
  std::memset(storage.get() + end, 0, kPadding);
  data = storage.get();
  skipByteOrderMark();
}

void TextScanner::skipByteOrderMark() {
  static constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";
  constexpr std::size_t kLength = sizeof kByteOrderMark - 1;
  while (end - pos < kLength && fill()) {
  }
  if (end - pos >= kLength && std::memcmp(data + pos, kByteOrderMark, kLength) == 0) pos += kLength;
}

void TextScanner::endInput() {
  pos = end;
  exhausted = true;
}

bool TextScanner::fill() {
  if (exhausted) return false;
  const std::size_t live = end - pos;
  if (storage == nullptr || live == capacity) {
    // Grows only while one token or line fills the whole buffer.
    const std::size_t grown = capacity == 0 ? chunkSize : capacity * 2;
    std::unique_ptr<char[]> bigger(new char[grown + kPadding]);
    if (live > 0) std::memcpy(bigger.get(), data + pos, live);
    storage = std::move(bigger);
    capacity = grown;
  } else if (pos > 0 && live > 0) {
    std::memmove(storage.get(), storage.get() + pos, live);
  }
  data = storage.get();
  pos = 0;
  end = live;
  const std::size_t got = std::fread(storage.get() + end, 1, capacity - end, file);
  end += got;
  std::memset(storage.get() + end, 0, kPadding);
  if (got == 0) exhausted = true;
  return got > 0;
}

bool TextScanner::skipSpace() {
  for (;;) {
    while (pos < end && isSpace(data[pos])) ++pos;
    if (pos < end) return true;
    if (!fill()) return false;
  }
}

// Runs `scan` on the unread bytes, refilling while its match reaches their end, so that the match
// is whole and contiguous at data + pos. A match longer than kMaxTokenLength is not followed to
// its end: the scanner fails and the input ends, and the match returned is empty.
template <typename Scan>
auto TextScanner::scanWhole(Scan scan) {
  for (;;) {
    const std::size_t available = std::min(end - pos, kMaxTokenLength + 1);
    auto match = scan(data + pos, available);
    if (match.length > kMaxTokenLength) {
      endInput();
      fail();
      return decltype(match){};
    }
    if (match.length < available || !fill()) return match;
  }
}

bool TextScanner::readWord(std::string& word) {
  if (isFailed || !skipSpace()) return fail();
  struct WordMatch {
    std::size_t length;
  };
  const WordMatch match = scanWhole([](const char* text, std::size_t size) {
    std::size_t i = 0;
    while (i < size && !isSpace(text[i])) ++i;
    return WordMatch{i};
  });
  if (isFailed) return false;
  word.assign(data + pos, match.length);
  pos += match.length;
  return true;
}

bool TextScanner::readInt(std::int32_t& value) {
  if (isFailed || !skipSpace()) return fail();
  const IntMatch match = scanWhole(matchInt);
  pos += match.length;
  if (isFailed || !match.hasDigits || match.outOfRange) return fail();
  value = match.negative ? static_cast<std::int32_t>(0u - match.magnitude)
                         : static_cast<std::int32_t>(match.magnitude);
  return true;
}

bool TextScanner::readFloat(float& value) {
  // Powers of ten that are exact as floats (5^10 < 2^24).
  static constexpr float kExactPowersOfTen[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f,
                                                1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
  if (isFailed || !skipSpace()) {
    failedFloatAt = kNoFailedFloat;
    return fail();
  }
  const FloatMatch match = scanWhole(matchFloat);
  const char* first = data + pos;
  const char* last = first + match.length;
  failedFloatAt = pos;  // kept for failedWord; nothing moves the bytes while the scanner is failed
  pos += match.length;
  if (!match.valid) return fail();
  if (match.exact) {
    float magnitude = static_cast<float>(match.significand);
    magnitude = match.exponent < 0 ? magnitude / kExactPowersOfTen[-match.exponent]
                                   : magnitude * kExactPowersOfTen[match.exponent];
    value = match.negative ? -magnitude : magnitude;
    return true;
  }
  // The grammar is decided above; the conversion only rounds. It takes no '+'.
  if (*first == '+') ++first;
  float converted = 0.0f;
  const auto result = std::from_chars(first, last, converted);
  if (result.ec == std::errc::result_out_of_range) {
    if (overflowsFloat(match.negative ? first + 1 : first, last)) return fail();
    converted = match.negative ? -0.0f : 0.0f;
  } else if (result.ec != std::errc() || result.ptr != last) {
    return fail();
  }
  value = converted;
  return true;
}

std::size_t TextScanner::readFloatRows(float* const* columns, std::size_t columnCount,
                                       std::size_t rowCount) {
  if (columnCount == 0) return 0;  // rows without values, however many
  if (isFailed) {                  // as readFloat: nothing is read, not even a short decimal
    failedFloatAt = kNoFailedFloat;
    return 0;
  }
  FloatRows rows(columns, columnCount, rowCount);
  const PlainDecimalReader readPlainDecimals = plainDecimalReader();
  const char* text = data + pos;
  while (!rows.full()) {
    text = readPlainDecimals(text, data + end, rows);
    if (rows.full()) break;
    // The word where the plain decimals stopped, one value of it.
    float& value = rows.next();
    while (isSpace(*text)) ++text;  // stops at the sentinel
    const char* const after = readShortDecimal(text, data + end, exhausted, value);
    if (after != nullptr) {
      text = after;
    } else {
      // Anything else, and a number that may go on past the bytes available, takes the general
      // routine from the same place; it refills the buffer when needed.
      pos = static_cast<std::size_t>(text - data);
      if (!readFloat(value)) return rows.count();
      text = data + pos;
    }
    rows.advance();
  }
  pos = static_cast<std::size_t>(text - data);
  return rows.count();
}

std::string_view TextScanner::failedWord(std::size_t limit, bool& beganBefore) const {
  beganBefore = false;
  if (!isFailed || failedFloatAt == kNoFailedFloat) return {};
  std::size_t first = failedFloatAt;
  while (first > 0 && !isSpace(data[first - 1])) --first;
  beganBefore = first < failedFloatAt;
  std::size_t last = failedFloatAt;
  while (last < end && !isSpace(data[last]) && last - first < limit) ++last;
  return std::string_view(data + first, last - first);
}

bool TextScanner::hasMoreText() { return !isFailed && skipSpace(); }

bool TextScanner::readLine(std::string_view& line) {
  if (isFailed) return false;
  if (pos == end && !fill()) return fail();
  std::size_t searched = 0;  // bytes after pos known to hold no line end
  for (;;) {
    const std::size_t available = std::min(end - pos, kMaxLineLength);
    const char* const from = data + pos + searched;
    const std::size_t span = available - searched;
    const void* lf = std::memchr(from, '\n', span);
    const std::size_t toLf = lf == nullptr ? span : static_cast<const char*>(lf) - from;
    const void* cr = std::memchr(from, '\r', toLf);
    if (cr != nullptr || lf != nullptr) {
      const std::size_t lineEnd =
          (cr != nullptr ? static_cast<const char*>(cr) : from + toLf) - data;
      line = std::string_view(data + pos, lineEnd - pos);
      pos = lineEnd + 1;
      // A CR at the end of the bytes available may be the first half of a CR LF.
      if (cr != nullptr && pos == end && !exhausted) {
        const std::size_t lineStart = static_cast<std::size_t>(line.data() - data);
        const std::size_t length = line.size();
        pos = lineStart;
        fill();  // keeps the line (the unread bytes from pos on) and moves it to the start
        line = std::string_view(data + pos, length);
        pos += length + 1;
      }
      if (cr != nullptr && pos < end && data[pos] == '\n') ++pos;
      return true;
    }
    searched = available;
    if (available == kMaxLineLength) break;  // damage, not a line: the input ends after it
    if (!fill()) break;
  }
  const std::size_t length = std::min(end - pos, kMaxLineLength);
  line = std::string_view(data + pos, length);  // the last line, without a line end
  pos += length;
  if (length == kMaxLineLength) endInput();
  return true;
}

void TextScanner::skipLine() {
  if (isFailed || (pos == end && !fill())) return;  // at the end of the input: nothing to skip
  std::string_view ignored;
  readLine(ignored);
}

}  // namespace kelvora
