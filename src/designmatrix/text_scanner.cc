#include "designmatrix/text_scanner.h"

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

}  // namespace

TextScanner::TextScanner(std::FILE* file, std::size_t chunkSize)
    : file(file), chunkSize(chunkSize < 1 ? 1 : chunkSize) {}

TextScanner::TextScanner(std::string_view bytes)
    : data(bytes.data()), end(bytes.size()), exhausted(true) {}

bool TextScanner::fill() {
  if (exhausted) return false;
  const std::size_t live = end - pos;
  if (storage == nullptr || live == capacity) {
    // Grows only while one token or line fills the whole buffer.
    const std::size_t grown = capacity == 0 ? chunkSize : capacity * 2;
    std::unique_ptr<char[]> bigger(new char[grown]);
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
// is whole and contiguous at data + pos.
template <typename Scan>
auto TextScanner::scanWhole(Scan scan) {
  for (;;) {
    const auto match = scan(data + pos, end - pos);
    if (match.length < end - pos || !fill()) return match;
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
  word.assign(data + pos, match.length);
  pos += match.length;
  return true;
}

bool TextScanner::readInt(std::int32_t& value) {
  if (isFailed || !skipSpace()) return fail();
  const IntMatch match = scanWhole(matchInt);
  pos += match.length;
  if (!match.hasDigits || match.outOfRange) return fail();
  value = match.negative ? static_cast<std::int32_t>(0u - match.magnitude)
                         : static_cast<std::int32_t>(match.magnitude);
  return true;
}

bool TextScanner::readFloat(float& value) {
  // Powers of ten that are exact as floats (5^10 < 2^24).
  static constexpr float kExactPowersOfTen[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f,
                                                1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
  if (isFailed || !skipSpace()) return fail();
  const FloatMatch match = scanWhole(matchFloat);
  const char* first = data + pos;
  const char* last = first + match.length;
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

bool TextScanner::readLine(std::string_view& line) {
  if (isFailed) return false;
  if (pos == end && !fill()) return fail();
  std::size_t searched = 0;  // bytes after pos known to hold no LF
  for (;;) {
    const void* found = std::memchr(data + pos + searched, '\n', end - pos - searched);
    if (found != nullptr) {
      const std::size_t lineEnd = static_cast<const char*>(found) - data;
      std::size_t length = lineEnd - pos;
      if (length > 0 && data[lineEnd - 1] == '\r') --length;
      line = std::string_view(data + pos, length);
      pos = lineEnd + 1;
      return true;
    }
    searched = end - pos;
    if (!fill()) break;
  }
  line = std::string_view(data + pos, end - pos);  // the last line, without a line end
  pos = end;
  return true;
}

void TextScanner::skipLine() {
  if (isFailed || (pos == end && !fill())) return;  // at the end of the input: nothing to skip
  std::string_view ignored;
  readLine(ignored);
}

}  // namespace kelvora
