// The few file operations that differ between operating systems, on 8-bit paths exactly as the
// host and the files spell them (on Windows the system's and the runtime's 8-bit functions
// interpret them, as they do for every other file the host names). One implementation per OS,
// chosen by the build: native_file_posix.cc and native_file_windows.cc. Files are created only
// through safe_file.h, which builds on these.
//
// Every function refuses a path that holds a NUL byte (the operating system would silently cut it
// there) and never throws. A relative path is taken in the folder the calling thread anchored
// (relative_paths.h), or else in the current folder.
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
// without locking out other programs, when it names a regular file or (`pipeToo`) a pipe. Null for
// anything else: a missing file, a folder, a device, a pipe when not `pipeToo`; `wrongKind` tells
// that something of another kind was found there. The type is checked on the opened descriptor,
// and a pipe is opened without waiting for a writer, so opening never blocks. `size` receives a
// regular file's size in bytes (0 for a pipe).
FilePtr openForReading(const std::string& path, bool pipeToo, std::uint64_t& size,
                       bool& wrongKind);

// A regular file only: what a study lists (SDMs, MDMs) is read this way.
inline FilePtr openRegularFileForReading(const std::string& path, std::uint64_t& size) {
  bool wrongKind = false;
  return openForReading(path, false, size, wrongKind);
}

// A file or a pipe: a named pipe, or the one a shell passes for a process substitution
// ("<(make_config)" gives /dev/fd/63). A named pipe that no program has open for writing reads as
// empty; reading an open pipe waits for its data.
inline FilePtr openFileOrPipeForReading(const std::string& path, bool& wrongKind) {
  std::uint64_t size = 0;
  return openForReading(path, true, size, wrongKind);
}

// kText: each "\n" written becomes the platform's line end; kBinary: bytes as they are.
enum class WriteMode { kBinary, kText };

// Creates `path` as a new file for writing, never following a link and without locking out other
// programs (they may read it, and move or delete its name, meanwhile). Fails, touching nothing,
// when anything already has that name; `nameTaken` then tells that this was the reason.
FilePtr createNewFile(const std::string& path, WriteMode mode, bool& nameTaken);

// True when the name `path` may be given to a new file: nothing has it, or a regular file or a
// link has it (the link itself is replaced, never what it leads to). False for a folder, a pipe, a
// device or anything else, which is never opened to find out, so that a pipe cannot block.
bool nameMayBeReplaced(const std::string& path);

// Gives the open `file` the permission bits (owner, group and others: 0777, never setuid, setgid
// or sticky) of the regular file at `model`, so that a replaced file keeps who may read and write
// it and gains no privilege. Windows keeps no such bits (a read-only target refuses to be
// replaced). True when done, or when no regular file is at `model` (a link is not followed).
bool adoptPermissions(std::FILE* file, const std::string& model);

// Flushes `file` and has the system write it to the disk. True on success.
bool syncToDisk(std::FILE* file);

// Moves the file `from` to `to` in one step, replacing a file or link at `to`, and makes the move
// itself durable where the platform allows (POSIX: the folder is synced; Windows: the move is
// written through). True once the move was made.
bool moveFileOver(const std::string& from, const std::string& to);

// True where '\' separates folders as '/' does (Windows); false where it is an ordinary
// character of a file name (POSIX).
bool backslashSeparatesFolders();

// Removes the file `path`, with the same path rules as the calls above. True on success.
bool removeFile(const std::string& path);

// What tells files apart. Two keys are equal when both name existing files and these are one
// file (POSIX: device and inode; Windows: volume and file ID), however spelled or linked; or when
// neither exists and their normalised full paths are equal (the folder's own links resolved where
// it exists; on Windows without regard to case or to '/' against '\'). A key costs one or two
// system calls.
struct FileKey {
  bool exists = false;
  std::uint64_t device = 0;
  std::uint64_t index = 0;
  std::string fullPath;  // only when nothing exists at the path

  bool operator==(const FileKey& other) const {
    return exists == other.exists && device == other.device && index == other.index &&
           fullPath == other.fullPath;
  }
  bool operator!=(const FileKey& other) const { return !(*this == other); }
};

// The key of the file at `path` (links followed; a relative path taken as relative_paths.h says).
FileKey fileKeyOf(const std::string& path);

// True when fileKeyOf(path) == key, where `key` comes from fileKeyOf too; cheaper where the two
// cannot be one (a name of nothing compared with an existing file, or two names of nothing with
// different file names): for checking one output against the many files a study lists.
bool hasFileKey(const std::string& path, const FileKey& key);

// True when `path` names the very file that `file` has open (the same file, however spelled or
// linked). False when nothing is at `path` or it cannot be examined.
bool namesOpenFile(std::FILE* file, const std::string& path);

// Opens the existing file `path` for adding to its end (in `mode`), only when the name itself is
// a regular file (a link at the name is never followed) and that file is `expected` (same device
// and index): a program adds to a file it made earlier, never to whatever took its name since.
// Null otherwise, touching nothing; never blocks on a pipe.
FilePtr openToAppend(const std::string& path, const FileKey& expected, WriteMode mode);

}  // namespace kelvora
