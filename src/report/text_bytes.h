// Byte strings of the design-matrix files (8-bit, no declared encoding) as text for JSON and HTML:
// each byte is the code point of the same number (ISO 8859-1), as the inspector's JSON has it.
#pragma once

#include <string>
#include <string_view>

namespace kelvora::report {

// UTF-8 of `bytes` read as Latin-1.
std::string latin1ToUtf8(std::string_view bytes);

// latin1ToUtf8, with &, <, >, " and ' written as character references for HTML text and
// attribute values.
std::string htmlText(std::string_view bytes);

// `value` with `digits` decimals ("%.*f").
std::string decimalText(double value, int digits);

}  // namespace kelvora::report
