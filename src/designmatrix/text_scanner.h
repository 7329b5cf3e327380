// Lenient reading of 8-bit text, shared by the MDM and SDM readers: whitespace-delimited words,
// decimal integers and floats, and lines, with the rules of formatted stream extraction in the
// classic locale, but implemented here so that they are the same on every platform and runtime.
//
// Bytes are taken as they are (the file is read in binary mode): whitespace is exactly space, \t,
// \n, \v, \f and \r; a line ends at LF, at CR LF, or at a lone CR (as old tools write them), so
// all three kinds of file read alike; a 0x1A byte or a NUL byte is an ordinary character. A UTF-8
// byte-order mark (EF BB BF) at the very start of the input is skipped.
//
// Failure state: a read that fails sets it, and while it is set every read fails at once and
// consumes nothing (whitespace included) until clearFailure(); skipLine() then does nothing. This
// is what lets the readers mirror a stream's failbit, which the SDM reader clears once and the MDM
// reader never does. The end of the input is not a failure in itself; a read that finds nothing
// there fails.
//
// Memory: a file is read in chunks of a fixed size; the buffer grows only to hold one token or one
// line that is longer than a chunk. Neither format has a token longer than kMaxTokenLength or a
// line longer than kMaxLineLength: such a text is damage, not content. A token that long fails
// and ends the input; a line that long yields its first kMaxLineLength bytes and ends the input.
// So the buffer stays below twice kMaxLineLength, and no such text is scanned to its end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "designmatrix/plain_decimals.h"

namespace kelvora {

class TextScanner {
 public:
  static constexpr std::size_t kDefaultChunkSize = 256 * 1024;
  // Far beyond a header key, a number or a path, and beyond a names line of thousands of long
  // predictor names.
  static constexpr std::size_t kMaxTokenLength = 64 * 1024;
  static constexpr std::size_t kMaxLineLength = 64 * 1024 * 1024;

  // Reads `file` (open in binary mode; not owned, not closed) from its current position. A read
  // error of the file counts as its end.
  explicit TextScanner(std::FILE* file, std::size_t chunkSize = kDefaultChunkSize);
  // Reads a copy of `bytes`.
  explicit TextScanner(std::string_view bytes);
  TextScanner(const TextScanner&) = delete;
  TextScanner& operator=(const TextScanner&) = delete;

  bool failed() const { return isFailed; }
  void clearFailure() { isFailed = false; }

  // Skips whitespace and reads the run of non-whitespace bytes after it into `word`. Fails, with
  // `word` untouched, at the end of the input.
  bool readWord(std::string& word);

  // Skips whitespace and reads [+|-]digits (decimal, leading zeros allowed) as far as they go:
  // "12abc" reads 12 and leaves "abc", "0x1A" reads 0 and leaves "x1A". Fails, with `value`
  // untouched, when no digit follows the sign (the sign is consumed) or when the value lies
  // outside the 32-bit range (all its digits are consumed).
  bool readInt(std::int32_t& value);

  // Skips whitespace and reads the longest text that fits
  //   [+|-] (digits [. [digits]] | . digits) [(e|E) [+|-] digits]
  // and converts it to the nearest 32-bit float. An 'e' after the digits always belongs to the
  // number, so "1e" and "1e+" are incomplete and fail. A value beyond the float range fails; one
  // too small for the smallest denormal becomes 0.0 with its sign. "inf", "nan" and hexadecimal
  // digits are no part of the grammar. Fails with `value` untouched; the scanned text is consumed.
  bool readFloat(float& value);

  // Reads a matrix that the text lists row by row into its columns: value c of row t goes to
  // columns[c][t]. Each value is read exactly as readFloat reads it, and reading stops at the
  // first that fails (the scanner is then failed). Returns how many values were read. Plain
  // decimals, the bulk of a design matrix, are read several at a time (plain_decimals.h), and
  // other short decimals are converted here without the general routine.
  std::size_t readFloatRows(float* const* columns, std::size_t columnCount, std::size_t rowCount);

  // After readFloat (or readFloatRows) failed on text: the whitespace-delimited word in which it
  // failed, at most `limit` bytes of it, and whether that word began before the failed number (so
  // that the read before it took the word's start, as "1" of "1,5"). Empty when the read failed at
  // the end of the input, or before any float read failed. Valid until the next read.
  std::string_view failedWord(std::size_t limit, bool& beganBefore) const;

  // True when non-whitespace text remains. Consumes the whitespace before it; fails nothing.
  bool hasMoreText();

  // Reads the rest of the current line, without its line end. Fails only at the end of the input
  // (nothing left to read). The view stays valid until the next call on the scanner.
  bool readLine(std::string_view& line);

  // Skips the rest of the current line, its line end included. Never fails.
  void skipLine();

 private:
  bool fail() {
    isFailed = true;
    return false;
  }
  bool skipSpace();
  bool fill();
  void skipByteOrderMark();
  // Drops what is buffered and reads nothing more: the input has ended.
  void endInput();
  template <typename Scan>
  auto scanWhole(Scan scan);

  std::FILE* file = nullptr;
  std::size_t chunkSize = 0;
  // The kPadding bytes from data[end] on are always NUL bytes. The first is a sentinel: a scan
  // for whitespace, digits or a number stops there without testing the bound on every byte (a NUL
  // byte of the text stops it too, and the position tells the two apart). The others let numbers
  // be read a vector at a time: as many as the widest load from a byte before the end reaches.
  static constexpr std::size_t kPadding = kPlainDecimalReadAhead;
  static constexpr char kNoBytes[kPadding] = {};
  std::unique_ptr<char[]> storage;  // capacity bytes and the padding
  std::size_t capacity = 0;
  const char* data = kNoBytes;  // storage, once there is any
  std::size_t pos = 0;          // next byte to read
  std::size_t end = 0;          // end of the bytes available
  bool exhausted = false;       // nothing more will come from the file
  // Where the last failed readFloat began scanning text (after whitespace), or kNoFailedFloat.
  static constexpr std::size_t kNoFailedFloat = static_cast<std::size_t>(-1);
  std::size_t failedFloatAt = kNoFailedFloat;
  bool isFailed = false;
};

}  // namespace kelvora
