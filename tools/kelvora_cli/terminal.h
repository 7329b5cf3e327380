// What the inspector needs to know of its standard streams (one implementation per platform):
// whether a person is at them, and byte-exact standard output.
#pragma once

namespace kelvora::cli {

// True when standard input is a terminal: the repair's questions may then be asked at a prompt.
bool standardInputIsTerminal();
// True when standard error is a terminal: progress may then be shown on it.
bool standardErrorIsTerminal();
// Makes standard output write bytes unchanged, so that every line ends in LF on every platform
// (log texts and paths are passed through byte for byte).
void useBinaryStandardOutput();

}  // namespace kelvora::cli
