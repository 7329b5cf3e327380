// The reference SDM reader: the reader's algorithm written out step by step with a standard input
// stream (`std::ifstream` in the classic locale, formatted extraction of words, integers and
// floats, `std::getline` for the names line). It is slow on purpose and plain on purpose: the
// differential test compares readSdm with it on every input, and the benchmark measures it as the
// stream reader that readSdm replaces.
//
// What it shares with readSdm, and why:
// - The size rule `sdmTooLargeToRead` and the record type `SdmFile`: the rule is a policy of the
//   system (how much memory a header may claim), not part of the file grammar.
// - Nothing of the number grammar. Words, integers and floats are the stream's own extraction
//   (libstdc++'s num_get, whose float conversion ends in the C runtime's strtof). On both of our
//   runtimes (glibc, and MinGW-w64's under Wine) that extraction accepts the same texts, and it
//   rounds correctly with one known exception: MinGW-w64's strtof gives FLT_MIN for some long
//   texts of denormal values (3 * 2^-150 written out with its 45 zeros, which is 2^-148). On that
//   runtime differenceBetween lets such a FLT_MIN stand for a denormal of the same sign; the
//   scanner's own test pins those texts on both legs. Any other difference fails the test rather
//   than passing silently.
//
// Where the stream's own behaviour is not the system's documented one, the reference follows the
// documentation explicitly (doc/file-formats.md), each place marked where it happens:
// - The file is opened in binary mode, a line ends at LF, CR LF or a lone CR, so that every kind
//   of file reads alike on every platform and a 0x1A byte is an ordinary character, and a UTF-8
//   byte-order mark at the start is skipped. The scanner's length limits for one token or line
//   (tens of kilobytes and more) are not mirrored: no compared input comes near them.
// - A failed extraction stores nothing: a stream stores 0 or the type's largest value there, the
//   system keeps what the field held (values then stay 0.0).
// - Only regular files are opened; anything else reads as a file that cannot be opened, without
//   the log line (the differential test compares records, and the log line is tested elsewhere).
#pragma once

#include <string>

#include "designmatrix/sdm_file.h"

namespace kelvora::testing {

SdmFile readSdmWithStreams(const std::string& path);

// The first field in which readSdm's record `fast` differs from the reference's, as a short text
// ("values[3][17]: 0.5 against 0.25"), or an empty text when they are identical. Floats are
// compared bit for bit, so -0 and 0 differ (with the one exception above, on MinGW-w64 only).
std::string differenceBetween(const SdmFile& fast, const SdmFile& reference);

}  // namespace kelvora::testing
