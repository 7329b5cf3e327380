// What the inspector needs to know of its standard streams (one implementation per platform):
// whether a person is at them, and byte-exact output streams.
#pragma once

namespace kelvora::cli {

// True when standard input is a terminal: the repair's questions may then be asked at a prompt.
bool standardInputIsTerminal();
// True when standard error is a terminal: progress may then be shown on it.
bool standardErrorIsTerminal();
// Makes standard output and standard error write bytes unchanged, so that every line kelvora writes
// ends in LF on every platform: the log's texts and paths pass through byte for byte, and both
// streams follow one convention (Windows consoles show a lone LF as a line end too). Files that
// belong to the host's world (the findings file) keep their own line ends.
void useBinaryStandardStreams();

}  // namespace kelvora::cli
