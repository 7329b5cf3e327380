// Standard error as kelvora writes it: messages, prompts and the findings beyond the run. Their
// texts quote names from the files (SDM paths, predictor names) that a hostile MDM or SDM may
// fill with terminal control sequences, so every control byte but the line end and the tab is
// shown as \xNN instead: a file can change no terminal's title, colours or contents.
// Standard output is left alone: it carries the log's lines byte for byte.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace kelvora::report {

// `text` with each byte below 0x20 (but '\n' and '\t') and 0x7f written as \xNN.
std::string withControlBytesShown(std::string_view text);

// Writes withControlBytesShown(text) to `stream` (standard error unless a caller renders the same
// lines elsewhere) and flushes it.
void writeError(std::string_view text, std::FILE* stream = stderr);

}  // namespace kelvora::report
