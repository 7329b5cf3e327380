#include "designmatrix/plain_decimals.h"

#include <immintrin.h>

#include <cstdint>

#include "designmatrix/vector_extensions.h"

namespace kelvora {
namespace {

// Text is looked at 64 bytes at a time (one bit per byte in a word) to find where words start;
// each word is then read from a 16-byte lane loaded at its start, four lanes per instruction.
constexpr int kBlock = 64;
static_assert(kPlainDecimalReadAhead >= kBlock, "a block is read from any byte up to the end");

// Everything the reader calls is compiled for AVX-512 too and inlined: a call from it to code
// compiled for SSE would pay for the switch between the two encodings.
#define KELVORA_AVX512 __attribute__((target("avx512f,avx512bw,avx2,bmi,bmi2,popcnt")))
#define KELVORA_AVX512_INLINE KELVORA_AVX512 __attribute__((always_inline)) inline

// The byte classes of four lanes are 64-bit masks, worked on as four 16-bit fields at once.
constexpr std::uint64_t kLaneFirstBytes = 0x0001000100010001u;
constexpr std::uint64_t kLaneLastBytes = kLaneFirstBytes << 15;

// In each 16-bit field, every bit at or after a set bit is set.
KELVORA_AVX512_INLINE std::uint64_t fromFirstSetBit(std::uint64_t bits) {
  bits |= (bits << 1) & ~(kLaneFirstBytes * 0x0001);
  bits |= (bits << 2) & ~(kLaneFirstBytes * 0x0003);
  bits |= (bits << 4) & ~(kLaneFirstBytes * 0x000F);
  return bits | ((bits << 8) & ~(kLaneFirstBytes * 0x00FF));
}

struct QuadValues {
  alignas(32) float values[8];  // word i at values[2 * i]
  unsigned lengths[4];          // up to the whitespace after each; 0 when it is not plain
};

// Four words converted at once, one per 16-byte lane loaded at its first byte. Each is read as a
// 16-digit number N, the sign, the point and the bytes from the whitespace on counting as zero
// digits and the digits before the point (all of them in a word without one) moved up by one byte:
// "-12.5 " gives 0012500000000000, "75 " 0750000000000000. The value is N / 10^m, m the count of
// digit places after the last digit: after the point when there is one, else from the whitespace
// on, less the byte moved in. The first place thus always holds 0, so N < 10^15 < 2^52 whatever the
// word's first digit (an integer read from the first place, "9" as 9 x 10^15, would pass 2^52 and
// leave every word from "5" to "9..." to the general reading). N < 2^52 is an exact double;
// 10^-m rounded to a double and the product rounded once more lie within two units in the last
// place of a double from the exact value, so rounding to a float is correct unless a float
// midpoint lies within that margin, and such a word counts as not plain (readShortDecimal in
// text_scanner.cc gives the argument).
KELVORA_AVX512_INLINE void convertQuad(const char* const* words, QuadValues& quad) {
  // 10^-m for m from 0 to 15: a word has at most 15 bytes, so at most 15 places follow its
  // last digit.
  static constexpr double kInversePowersOfTen[] = {1e0,   1e-1,  1e-2,  1e-3, 1e-4,  1e-5,
                                                   1e-6,  1e-7,  1e-8,  1e-9, 1e-10, 1e-11,
                                                   1e-12, 1e-13, 1e-14, 1e-15};
  constexpr long long kExactBelow = 1ll << 52;
  constexpr long long kFloatMidpoint = 0x10000000;
  constexpr long long kBelowFloat = 0x1FFFFFFF;
  constexpr long long kMargin = 3;
  // The masked forms with every lane set: the plain forms leave a source undefined, which
  // GCC 12 warns of inside its own header.
  constexpr __mmask8 kAll = 0xFF;
  __m512i bytes =
      _mm512_castsi128_si512(_mm_loadu_si128(reinterpret_cast<const __m128i*>(words[0])));
  bytes = _mm512_inserti32x4(bytes, _mm_loadu_si128(reinterpret_cast<const __m128i*>(words[1])), 1);
  bytes = _mm512_inserti32x4(bytes, _mm_loadu_si128(reinterpret_cast<const __m128i*>(words[2])), 2);
  bytes = _mm512_inserti32x4(bytes, _mm_loadu_si128(reinterpret_cast<const __m128i*>(words[3])), 3);
  const __m512i fromZero = _mm512_sub_epi8(bytes, _mm512_set1_epi8('0'));
  const std::uint64_t space = _mm512_cmpeq_epi8_mask(bytes, _mm512_set1_epi8(' ')) |
                              _mm512_cmple_epu8_mask(_mm512_sub_epi8(bytes, _mm512_set1_epi8('\t')),
                                                     _mm512_set1_epi8('\r' - '\t'));
  const std::uint64_t digit = _mm512_cmple_epu8_mask(fromZero, _mm512_set1_epi8(9));
  const std::uint64_t minus =
      _mm512_cmpeq_epi8_mask(bytes, _mm512_set1_epi8('-')) & kLaneFirstBytes;
  const std::uint64_t sign =
      minus | (_mm512_cmpeq_epi8_mask(bytes, _mm512_set1_epi8('+')) & kLaneFirstBytes);
  const std::uint64_t after = fromFirstSetBit(space);
  const std::uint64_t point = _mm512_cmpeq_epi8_mask(bytes, _mm512_set1_epi8('.')) & ~after;
  const std::uint64_t fromPoint = fromFirstSetBit(point);
  const std::uint64_t afterPoint = (fromPoint << 1) & ~kLaneFirstBytes;
  const std::uint64_t hasPoint = ((fromPoint & kLaneLastBytes) >> 15) * 0xFFFF;
  const std::uint64_t stray =
      ~(after | digit | point | sign) | (afterPoint & point) | (~after & kLaneLastBytes);
  const std::uint64_t digitInWord = digit & ~after;

  __m512i digits = _mm512_maskz_mov_epi8(digitInWord, fromZero);
  digits = _mm512_mask_mov_epi8(digits, ~afterPoint, _mm512_bslli_epi128(digits, 1));
  digits = _mm512_maddubs_epi16(digits, _mm512_set1_epi16(0x010A));
  digits = _mm512_madd_epi16(digits, _mm512_set1_epi32(0x00010064));
  digits = _mm512_packus_epi32(digits, digits);
  digits = _mm512_madd_epi16(digits, _mm512_set1_epi32(0x00012710));
  const __m512i number =
      _mm512_add_epi64(_mm512_maskz_mul_epu32(kAll, digits, _mm512_set1_epi64(100000000)),
                       _mm512_maskz_srli_epi64(kAll, digits, 32));
  const __m512i places = _mm512_sad_epu8(
      _mm512_maskz_mov_epi8((afterPoint & hasPoint) | ((after << 1) & ~kLaneFirstBytes & ~hasPoint),
                            _mm512_set1_epi8(1)),
      _mm512_setzero_si512());
  const __m512d scale =
      _mm512_permutex2var_pd(_mm512_loadu_pd(kInversePowersOfTen),
                             _mm512_add_epi64(places, _mm512_bsrli_epi128(places, 8)),
                             _mm512_loadu_pd(kInversePowersOfTen + 8));
  const __m512d exactNumber = _mm512_sub_pd(
      _mm512_castsi512_pd(_mm512_or_si512(number, _mm512_set1_epi64(0x4330000000000000))),
      _mm512_set1_pd(4503599627370496.0));
  __m512d product = _mm512_mul_pd(exactNumber, scale);
  const __m512i below =
      _mm512_and_si512(_mm512_castpd_si512(product), _mm512_set1_epi64(kBelowFloat));
  const unsigned doubtful =
      _mm512_cmpgt_epi64_mask(number, _mm512_set1_epi64(kExactBelow - 1)) |
      (_mm512_cmpgt_epi64_mask(below, _mm512_set1_epi64(kFloatMidpoint - kMargin - 1)) &
       _mm512_cmpgt_epi64_mask(_mm512_set1_epi64(kFloatMidpoint + kMargin + 1), below));
  product = _mm512_castsi512_pd(_mm512_or_si512(
      _mm512_castpd_si512(product),
      _mm512_maskz_slli_epi64(kAll, _mm512_maskz_mov_epi8(minus, _mm512_set1_epi8(1)), 63)));
  _mm256_store_ps(quad.values, _mm512_maskz_cvtpd_ps(kAll, product));

  for (int lane = 0; lane < 4; ++lane) {
    const unsigned shift = 16 * static_cast<unsigned>(lane);
    const bool plain = ((stray >> shift) & 0xFFFF) == 0 && ((digitInWord >> shift) & 0xFFFF) != 0 &&
                       ((doubtful >> (2 * lane)) & 1) == 0;
    quad.lengths[lane] =
        plain ? static_cast<unsigned>(__builtin_popcountll((~after >> shift) & 0xFFFF)) : 0;
  }
}

// Reads the words that start at words[0..count) (count 1 to 4). Returns where reading stopped, or
// nullptr when all were stored and reading goes on.
KELVORA_AVX512_INLINE const char* readQuad(const char* const* words, int count, FloatRows& rows) {
  QuadValues quad;
  convertQuad(words, quad);
  for (int i = 0; i < count; ++i) {
    if (quad.lengths[i] == 0) return words[i];
    rows.next() = quad.values[2 * i];
    rows.advance();
    if (rows.full()) return words[i] + quad.lengths[i];
  }
  return nullptr;
}

// The whitespace bits of the 64 bytes from `block`.
KELVORA_AVX512_INLINE std::uint64_t spaceBits(const char* block) {
  const __m512i bytes = _mm512_loadu_si512(block);
  return _mm512_cmpeq_epi8_mask(bytes, _mm512_set1_epi8(' ')) |
         _mm512_cmple_epu8_mask(_mm512_sub_epi8(bytes, _mm512_set1_epi8('\t')),
                                _mm512_set1_epi8('\r' - '\t'));
}

KELVORA_AVX512 const char* readPlainDecimalsAvx512(const char* text, const char* end,
                                                   FloatRows& rows) {
  // Word starts are listed for a batch of blocks, then read four at a time: fewer branches that
  // end a loop at an unforeseeable count. The NUL padding after the end is no whitespace, so the
  // word that reaches it is never plain, and reading stops there at the latest.
  FloatRows local = rows;  // its position stays in registers, not in memory a store might touch
  const char* stop = nullptr;
  constexpr int kBatch = 4 * kBlock;
  const char* starts[kBatch / 2 + 8];  // a word takes two bytes at least; 8 written at a time
  std::uint64_t carry = 0;             // the last byte of the block before is no whitespace
  for (const char* batch = text; stop == nullptr; batch += kBatch) {
    int count = 0;
    for (int block = 0; block < kBatch && batch + block <= end; block += kBlock) {
      const std::uint64_t nonSpace = ~spaceBits(batch + block);
      std::uint64_t bits = nonSpace & ~((nonSpace << 1) | carry);
      carry = nonSpace >> 63;
      const int found = __builtin_popcountll(bits);
      for (int i = 0; i < found; i += 8) {  // most blocks hold at most eight words
        for (int j = 0; j < 8; ++j) {
          starts[count + i + j] = batch + block + _tzcnt_u64(bits);  // 64 once none is left
          bits &= bits - 1;
        }
      }
      count += found;
    }
    for (int i = 0; i < count && stop == nullptr; i += 4) {
      const int left = count - i < 4 ? count - i : 4;
      for (int j = left; j < 4; ++j) starts[i + j] = starts[i];  // loaded, never stored
      stop = readQuad(starts + i, left, local);
    }
  }
  rows = local;
  return stop;
}

const char* readNothing(const char* text, const char*, FloatRows&) { return text; }

struct Readers {
  PlainDecimalReader list[2];
  std::size_t count = 0;
};

Readers detectReaders() {
  Readers readers;
  if (hasAvx512bw()) readers.list[readers.count++] = readPlainDecimalsAvx512;
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
