// The bulk of a design matrix, read several numbers per vector instruction. A design matrix is
// mostly plain decimals ("-0.123456", "12.5", "0"), each followed by a blank or a line end; this
// unit reads runs of them straight into the matrix's columns, and leaves every other text to the
// scanner's general reading (TextScanner::readFloatRows calls it between values).
//
// A plain decimal here is a word of the text, that is, what follows whitespace up to the next
// whitespace byte, of the shape [+|-] digits [. digits] (or [+|-] . digits), at most 15 bytes
// long. For such a word the float grammar's longest match
// is the whole word, so the value stored is the one TextScanner::readFloat gives, bit for bit:
// the digits form an exact double, one multiplication by a power of ten is within two units in
// the last place of a double, and a word whose product lies that close to the midpoint of two
// floats is left to the general reading.
//
// The instruction set is chosen once, at the first call of plainDecimalReader(), from what the
// processor and the operating system offer: with AVX-512 (BW), four words are read per vector
// instruction. Any other processor gets a reader that reads nothing, and the scanner's own
// reading, eight bytes at a time in general-purpose registers, takes every value: an AVX2 form of
// this reader, two words per instruction, was no faster than that.
#pragma once

#include <cstddef>

namespace kelvora {

// A row-by-row matrix being filled: value c of row t goes to columns[c][t]. Not owned.
class FloatRows {
 public:
  FloatRows(float* const* columns, std::size_t columnCount, std::size_t rowCount)
      : columns(columns), columnCount(columnCount), rowCount(rowCount) {}

  bool full() const { return row == rowCount; }
  // How many values were stored.
  std::size_t count() const { return row * columnCount + column; }
  // How many values are still to come.
  std::size_t room() const { return (rowCount - row) * columnCount - column; }
  // The place of the next value; only while !full().
  float& next() const { return columns[column][row]; }
  void advance() {
    if (++column == columnCount) {
      column = 0;
      ++row;
    }
  }

 private:
  float* const* columns;
  std::size_t columnCount;  // at least 1
  std::size_t rowCount;
  std::size_t row = 0;
  std::size_t column = 0;
};

// Reads plain decimals from `text` (whitespace before each is skipped) into `rows` until the
// matrix is full or the next word is anything else: not plain, touching `end` (it may go on
// past the bytes available), or too near a float midpoint. Returns where reading stopped: the
// end of the last value stored, or `text` when none was. Reads up to kPlainDecimalReadAhead
// bytes past `end`, which must be readable and not whitespace (the scanner's NUL padding).
constexpr std::size_t kPlainDecimalReadAhead = 64;
using PlainDecimalReader = const char* (*)(const char* text, const char* end, FloatRows& rows);

// The reader for this processor, chosen at the first call (thread-safe).
PlainDecimalReader plainDecimalReader();

// Every reader this processor can run, the chosen one first, so that a test can compare them
// all; the last is the one that reads nothing. Sets `count`.
const PlainDecimalReader* availablePlainDecimalReaders(std::size_t& count);

}  // namespace kelvora
