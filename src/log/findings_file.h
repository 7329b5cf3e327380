// Creating the findings file, the one file a run writes beside the user's MDM, in a folder that
// others may share. The file is always made anew: whatever link or file had its name is never
// written through, and nothing but a regular file or a link is ever removed. One implementation
// per operating system, chosen by the build: findings_file_posix.cc and findings_file_windows.cc.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

namespace kelvora {

struct FindingsFileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FindingsFilePtr = std::unique_ptr<std::FILE, FindingsFileCloser>;

// Replaces a regular file or a link (symbolic or hard: only the name goes) at `path` by a new
// file, created exclusively and without following links, open for writing in text mode (so each
// "\n" becomes the platform's line end) and without locking out other programs. POSIX removes
// the name, then creates the file; Windows creates it under a name of its own beside, then moves
// it over the name. Null, touching nothing, when anything else has the name (a folder; on POSIX
// also a pipe or a device, never opened, so a pipe without a reader cannot block), when the path
// holds a NUL byte, or when removing, creating or moving fails (also when someone else takes the
// name in between). Never throws.
FindingsFilePtr createFindingsFile(const std::string& path);

// True when `path` names the very file that `file` has open (the same file, however spelled or
// linked). False when nothing is at `path` or it cannot be examined.
bool namesOpenFile(std::FILE* file, const std::string& path);

}  // namespace kelvora
