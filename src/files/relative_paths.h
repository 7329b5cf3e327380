// Where a relative path leads. The file calls of native_file.h (and so everything that opens,
// creates, replaces or compares files) take a relative path in the folder that the calling thread
// has anchored with RelativePathFolder, and in the process's current folder when it has anchored
// none. An inspection anchors its MDM's folder, so that the relative paths an MDM lists lead where
// they always have, while the process's current folder, which every thread shares, never changes.
// The anchor belongs to one thread: a thread that works for another (a run's reader) anchors the
// same folder itself. Nothing here throws but std::bad_alloc.
#pragma once

#include <string>

namespace kelvora {

// Anchors this thread's relative paths in `folder` (a full path) for the object's lifetime, then
// restores the anchor it replaced. An empty `folder` changes nothing (the thread's anchor, or
// none, stays). Objects nest; destroy them on the thread that made them, in reverse order. Until
// the first anchor in the process, no file call touches thread-local storage.
class RelativePathFolder {
 public:
  explicit RelativePathFolder(std::string folder);
  ~RelativePathFolder();
  RelativePathFolder(const RelativePathFolder&) = delete;
  RelativePathFolder& operator=(const RelativePathFolder&) = delete;

 private:
  std::string folder;
  const std::string* replaced = nullptr;
};

// The folder this thread's relative paths are anchored in; empty when none.
std::string relativePathFolder();

// `path` as the file calls take it on this thread: a relative path joined to the anchored folder
// (on Windows, a path rooted at the current drive, "\x", is taken on the anchored folder's drive
// or share, and "D:x" in the anchored folder when that is on D:); unchanged when nothing is
// anchored, and for a full or an empty path.
std::string anchoredPath(const std::string& path);

// `path` as this thread's file calls take it (anchoredPath), copied only when a folder is
// anchored. When memory runs out for the copy, it is a path holding a NUL byte, which every file
// call refuses (native_file.h). Never throws; it refers to `path`, which must outlive it.
class AnchoredPath {
 public:
  explicit AnchoredPath(const std::string& path) noexcept;
  AnchoredPath(const AnchoredPath&) = delete;
  AnchoredPath& operator=(const AnchoredPath&) = delete;

  const std::string& path() const { return *chosen; }

 private:
  std::string joined;
  const std::string* chosen;
};

}  // namespace kelvora
