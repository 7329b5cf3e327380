#include "designmatrix/plain_decimals.h"

#include <immintrin.h>

#include <cstdint>
#include <cstring>

#include "designmatrix/vector_extensions.h"

namespace kelvora {
namespace {

// Text is looked at 64 bytes at a time (one bit per byte in a word) to find where words start;
// each word is then read from a 16-byte lane loaded at its start, two lanes per instruction.
constexpr int kBlock = 64;
constexpr int kLane = 16;
static_assert(kPlainDecimalReadAhead >= kBlock, "a block or a lane is read from any byte before the end");
constexpr int kNoPoint = kLane;

// Byte shuffles that take the digits of a lane's first `length` bytes, without the point, and put
// them at the end of the lane, the bytes before them zero (a control byte with its high bit set
// gives zero): kShuffles.control[length][point], point kNoPoint when there is none.
struct Shuffles {
  alignas(16) std::uint8_t control[kLane][kLane + 1][kLane];
};

constexpr Shuffles makeShuffles() {
  Shuffles shuffles{};
  for (int length = 0; length < kLane; ++length) {
    for (int point = 0; point <= kLane; ++point) {
      const bool hasPoint = point < length;
      const int digits = length - static_cast<int>(hasPoint);
      for (int byte = 0; byte < kLane; ++byte) {
        const int digit = byte - (kLane - digits);  // which digit lands here, or negative
        const int from = hasPoint && digit >= point ? digit + 1 : digit;
        shuffles.control[length][point][byte] =
            static_cast<std::uint8_t>(digit < 0 ? 0x80 : from);
      }
    }
  }
  return shuffles;
}

constexpr Shuffles kShuffles = makeShuffles();

// Everything the AVX2 reader calls is compiled for AVX2 too and inlined: a call from it to code
// compiled for SSE would pay for the switch between the two encodings.
#define KELVORA_AVX2 __attribute__((target("avx2,bmi,bmi2"), always_inline)) inline

// One lane's bytes by class, bit i for byte i.
struct LaneBits {
  unsigned space;
  unsigned digit;
  unsigned point;
  unsigned sign;
  unsigned minus;
};

// What a lane holds when its word is a plain decimal: [+|-] digits [. digits], at most 15
// bytes, then whitespace.
struct PlainWord {
  int length = 0;  // up to the whitespace; 0 when the word is not plain
  int fractionDigits = 0;
  bool negative = false;
  const std::uint8_t* shuffle = nullptr;
};

KELVORA_AVX2 PlainWord plainWord(const LaneBits& bits) {
  PlainWord word;
  if (bits.space == 0) return word;  // longer than a lane, or going on past the end
  const int length = __builtin_ctz(bits.space);
  const unsigned below = (1u << length) - 1;
  const unsigned points = bits.point & below;
  // The sign counts as a leading zero digit; at least one true digit, at most one point.
  if ((below & ~(bits.digit | bits.point | (bits.sign & 1u))) != 0 ||
      (bits.digit & below) == 0 || (points & (points - 1)) != 0) {
    return word;
  }
  const int point = points == 0 ? kNoPoint : __builtin_ctz(points);
  word.length = length;
  word.fractionDigits = points == 0 ? 0 : length - 1 - point;
  word.negative = bits.minus & 1u;
  word.shuffle = kShuffles.control[length][point];
  return word;
}

// Stores the value of a plain word, rounded to a float, unless its product lies within the
// margin of a float midpoint (readShortDecimal in text_scanner.cc gives the argument; here the
// significand has at most 15 digits and so is an exact double too).
KELVORA_AVX2 bool storeValue(const PlainWord& word, std::uint64_t significand, FloatRows& rows) {
  static constexpr double kInversePowersOfTen[] = {1e0,  1e-1, 1e-2,  1e-3,  1e-4,
                                                   1e-5, 1e-6, 1e-7,  1e-8,  1e-9,
                                                   1e-10, 1e-11, 1e-12, 1e-13, 1e-14};
  constexpr std::uint64_t kFloatMidpoint = 0x10000000u;
  constexpr std::uint64_t kBelowFloat = 0x1FFFFFFFu;
  constexpr std::uint64_t kMargin = 3;
  const double product =
      static_cast<double>(significand) * kInversePowersOfTen[word.fractionDigits];
  std::uint64_t bits = 0;
  std::memcpy(&bits, &product, sizeof bits);
  if ((bits & kBelowFloat) - (kFloatMidpoint - kMargin) <= 2 * kMargin) return false;
  const float magnitude = static_cast<float>(product);
  rows.next() = word.negative ? -magnitude : magnitude;
  rows.advance();
  return true;
}

// The significand of a lane after the digit arithmetic: its first two 32-bit values hold the
// high and the low eight of its sixteen digits.
KELVORA_AVX2 std::uint64_t significandOf(std::uint64_t lane) {
  return (lane & 0xFFFFFFFFu) * 100000000u + (lane >> 32);
}

KELVORA_AVX2 __m256i atMost(__m256i bytes, char limit) {
  return _mm256_cmpeq_epi8(_mm256_min_epu8(bytes, _mm256_set1_epi8(limit)), bytes);
}

KELVORA_AVX2 __m256i whitespace(__m256i bytes) {
  return _mm256_or_si256(_mm256_cmpeq_epi8(bytes, _mm256_set1_epi8(' ')),
                         atMost(_mm256_sub_epi8(bytes, _mm256_set1_epi8('\t')), '\r' - '\t'));
}

KELVORA_AVX2 unsigned bitsOf(__m256i bytes) {
  return static_cast<unsigned>(_mm256_movemask_epi8(bytes));
}

// Two 16-byte lanes, each from anywhere.
KELVORA_AVX2 __m256i lanes(const void* first, const void* second) {
  return _mm256_inserti128_si256(
      _mm256_castsi128_si256(_mm_loadu_si128(static_cast<const __m128i*>(first))),
      _mm_loadu_si128(static_cast<const __m128i*>(second)), 1);
}

// The whitespace bits of the 64 bytes from `block`.
KELVORA_AVX2 std::uint64_t spaceBits(const char* block) {
  const auto* const vectors = reinterpret_cast<const __m256i*>(block);
  return bitsOf(whitespace(_mm256_loadu_si256(vectors))) |
         std::uint64_t{bitsOf(whitespace(_mm256_loadu_si256(vectors + 1)))} << 32;
}

// Reads the words that start at `first` and `second` (the same word when only one is left),
// both lanes at once. Returns where reading stopped, or nullptr when both were stored (or the
// one) and reading goes on.
KELVORA_AVX2 const char* readPair(const char* first, const char* second, FloatRows& rows) {
  const __m256i bytes = lanes(first, second);
  const __m256i digit = atMost(_mm256_sub_epi8(bytes, _mm256_set1_epi8('0')), 9);
  const unsigned space = bitsOf(whitespace(bytes));
  const unsigned digits = bitsOf(digit);
  const unsigned points = bitsOf(_mm256_cmpeq_epi8(bytes, _mm256_set1_epi8('.')));
  const unsigned minuses = bitsOf(_mm256_cmpeq_epi8(bytes, _mm256_set1_epi8('-')));
  const unsigned signs = minuses | bitsOf(_mm256_cmpeq_epi8(bytes, _mm256_set1_epi8('+')));
  const PlainWord words[2] = {
      plainWord({space & 0xFFFF, digits & 0xFFFF, points & 0xFFFF, signs & 0xFFFF,
                 minuses & 0xFFFF}),
      plainWord({space >> 16, digits >> 16, points >> 16, signs >> 16, minuses >> 16})};
  if (words[0].length == 0) return first;
  // Digits, without sign and point, right-aligned; then pairs, fours and eights of them.
  const __m256i shuffle =
      lanes(words[0].shuffle, words[1].length != 0 ? words[1].shuffle : words[0].shuffle);
  __m256i value = _mm256_shuffle_epi8(
      _mm256_and_si256(_mm256_sub_epi8(bytes, _mm256_set1_epi8('0')), digit), shuffle);
  value = _mm256_maddubs_epi16(value, _mm256_set1_epi16(0x010A));
  value = _mm256_madd_epi16(value, _mm256_set1_epi32(0x00010064));
  value = _mm256_packus_epi32(value, value);
  value = _mm256_madd_epi16(value, _mm256_set1_epi32(0x00012710));
  if (!storeValue(words[0], significandOf(_mm256_extract_epi64(value, 0)), rows)) return first;
  if (rows.full()) return first + words[0].length;
  if (second == first) return nullptr;
  if (words[1].length == 0 ||
      !storeValue(words[1], significandOf(_mm256_extract_epi64(value, 2)), rows)) {
    return second;
  }
  return rows.full() ? second + words[1].length : nullptr;
}

KELVORA_AVX2 const char* readBatches(const char* text, const char* end, FloatRows& rows) {
  // Word starts are listed for a batch of blocks, then read in pairs: fewer branches that end
  // a loop at an unforeseeable count. The NUL padding after the end is no whitespace, so the
  // word that reaches it is never plain, and reading stops there at the latest.
  constexpr int kBatch = 4 * kBlock;
  std::uint32_t starts[kBatch / 2 + 8];  // a word takes two bytes at least; 8 written at a time
  std::uint64_t carry = 0;  // the last byte of the block before is no whitespace
  for (const char* batch = text;; batch += kBatch) {
    int count = 0;
    for (int block = 0; block < kBatch && batch + block < end; block += kBlock) {
      const std::uint64_t nonSpace = ~spaceBits(batch + block);
      std::uint64_t bits = nonSpace & ~((nonSpace << 1) | carry);
      carry = nonSpace >> 63;
      const int found = __builtin_popcountll(bits);
      for (int i = 0; i < found; i += 8) {  // most blocks hold at most eight words
        for (int j = 0; j < 8; ++j) {
          starts[count + i + j] = static_cast<std::uint32_t>(block + __builtin_ctzll(bits));
          bits &= bits - 1;
        }
      }
      count += found;
    }
    for (int i = 0; i < count; i += 2) {
      const char* const first = batch + starts[i];
      const char* const second = i + 1 < count ? batch + starts[i + 1] : first;
      if (const char* const stop = readPair(first, second, rows)) return stop;
    }
  }
}

__attribute__((target("avx2,bmi,bmi2"))) const char* readPlainDecimalsAvx2(const char* text,
                                                                           const char* end,
                                                                           FloatRows& rows) {
  FloatRows local = rows;  // its position stays in registers, not in memory a store might touch
  const char* const stop = readBatches(text, end, local);
  rows = local;
  return stop;
}

const char* readNothing(const char* text, const char*, FloatRows&) { return text; }

struct Readers {
  PlainDecimalReader list[3];
  std::size_t count = 0;
};

Readers detectReaders() {
  Readers readers;
  if (hasAvx2()) readers.list[readers.count++] = readPlainDecimalsAvx2;
  readers.list[readers.count++] = readNothing;
  return readers;
}

const Readers& readers() {
  static const Readers detected = detectReaders();
  return detected;
}

}  // namespace

PlainDecimalReader plainDecimalReader() { return readers().list[0]; }

const PlainDecimalReader* availablePlainDecimalReaders(std::size_t& count) {
  count = readers().count;
  return readers().list;
}

}  // namespace kelvora
