#include <unistd.h>

#include "terminal.h"

namespace kelvora::cli {

bool standardInputIsTerminal() { return isatty(STDIN_FILENO) == 1; }

bool standardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

void useBinaryStandardStreams() {}

}  // namespace kelvora::cli
