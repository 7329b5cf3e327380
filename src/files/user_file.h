// The files a user names for a call's settings (kelvora's --config and --contrasts, and the same
// arguments of the Python package): one rule for all of them, so that the command and Python
// accept and refuse the same files with the same words. Such a file may be a regular file or a pipe
// (so that a shell's process substitution, --config <(make_config), serves), and is read whole up
// to kMostUserFileBytes. The files a study lists keep their own rule: regular files only
// (native_file.h).
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace kelvora {

inline constexpr std::size_t kMostUserFileBytes = 1 << 20;

// The bytes of the file or pipe `path`; nullopt with `error` ending a sentence that begins with
// the path (" cannot be read", " is neither a file nor a pipe", " is larger than 1048576 bytes")
// otherwise. Reads at most kMostUserFileBytes + 1 bytes, in chunks. A pipe is read until its
// writer closes it, so the call waits as long as the writer keeps it open; a named pipe that no
// program has open for writing reads as empty. Never throws except std::bad_alloc.
std::optional<std::string> readUserFile(const std::string& path, std::string& error);

}  // namespace kelvora
