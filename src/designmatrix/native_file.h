// The few file operations that differ between operating systems, on 8-bit paths exactly as the
// host and the files spell them (on Windows the runtime's 8-bit functions interpret them, as they
// do for every other file the host names). One implementation per OS, chosen by the build:
// native_file_posix.cc and native_file_windows.cc.
//
// Every function refuses a path that holds a NUL byte (the operating system would silently cut it
// there) and never throws.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace kelvora {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Opens `path` for reading in binary mode, unbuffered (callers read in large chunks of their own),
// without locking out other programs, when it names a regular file. Null for anything else: a
// missing file, a folder, a device, a pipe. The type is checked on the opened descriptor, and a
// pipe is opened without waiting for a writer, so the call never blocks. `size` receives the
// file's size in bytes when a file is returned.
FilePtr openRegularFileForReading(const std::string& path, std::uint64_t& size);

// Creates `path` as a new file for writing in binary mode. Fails, touching nothing, when anything
// already has that name; `nameTaken` then tells that this was the reason.
FilePtr createNewFile(const std::string& path, bool& nameTaken);

// True when something exists at `path` and is not a regular file (a folder, a device, a pipe).
// False for a regular file and for a name that nothing has.
bool namesNonRegularFile(const std::string& path);

// Gives the open `file` the permission bits of the file at `model` (POSIX: owner, group and
// others; Windows keeps no such bits, and a read-only target refuses to be replaced). True when
// done, or when nothing exists at `model`.
bool adoptPermissions(std::FILE* file, const std::string& model);

// Flushes `file` and has the system write it to the disk. True on success.
bool syncToDisk(std::FILE* file);

// Moves the file `from` to `to` in one step, replacing a file at `to`, and makes the move itself
// durable where the platform allows (POSIX: the folder is synced; Windows: the move is written
// through). True once the move was made.
bool moveFileOver(const std::string& from, const std::string& to);

// True where '\' separates folders as '/' does (Windows); false where it is an ordinary
// character of a file name (POSIX).
bool backslashSeparatesFolders();

// Removes the file `path`, with the same path rules as the calls above. True on success.
bool removeFile(const std::string& path);

}  // namespace kelvora
