#include "files/relative_paths.h"

#include <atomic>
#include <utility>

#include "files/native_file.h"

namespace kelvora {
namespace {

// A pointer, so that nothing of the thread's own needs destroying at its end.
thread_local const std::string* anchoredFolder = nullptr;
// Whether any thread ever anchored: until then no thread touches its thread-local slot, which the
// runtime may allocate at first use (a plug-in loaded into the host's process never anchors, and
// must not fail for want of that memory).
std::atomic<bool> everAnchored{false};

const std::string* currentAnchor() {
  return everAnchored.load(std::memory_order_acquire) ? anchoredFolder : nullptr;
}

bool isSeparator(char c) { return c == '/' || (c == '\\' && backslashSeparatesFolders()); }

bool startsWithDrive(const std::string& path) {
  return path.size() >= 2 && path[1] == ':' &&
         ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

bool sameDrive(const std::string& a, const std::string& b) {
  return (a[0] | 0x20) == (b[0] | 0x20);  // ASCII letters without regard to case
}

std::string joined(const std::string& folder, const std::string& name) {
  if (isSeparator(folder.back())) return folder + name;
  return folder + (backslashSeparatesFolders() ? '\\' : '/') + name;
}

// The root a "\x" path is taken on: the folder's drive ("D:"), or its share ("\\host\share").
std::string rootOf(const std::string& folder) {
  if (startsWithDrive(folder)) return folder.substr(0, 2);
  if (folder.size() < 2 || !isSeparator(folder[0]) || !isSeparator(folder[1])) return "";
  std::size_t end = 2;
  for (int part = 0; part < 2 && end < folder.size(); ++part) {
    while (end < folder.size() && !isSeparator(folder[end])) ++end;
    if (part == 0 && end < folder.size()) ++end;
  }
  return folder.substr(0, end);
}

}  // namespace

RelativePathFolder::RelativePathFolder(std::string folder) : folder(std::move(folder)) {
  if (this->folder.empty()) return;
  everAnchored.store(true, std::memory_order_release);
  replaced = anchoredFolder;
  anchoredFolder = &this->folder;
}

RelativePathFolder::~RelativePathFolder() {
  if (!folder.empty()) anchoredFolder = replaced;
}

std::string relativePathFolder() {
  const std::string* anchor = currentAnchor();
  return anchor == nullptr ? std::string() : *anchor;
}

AnchoredPath::AnchoredPath(const std::string& path) noexcept : chosen(&path) {
  static const std::string unusable(1, '\0');
  if (currentAnchor() == nullptr) return;
  try {
    joined = anchoredPath(path);
    chosen = &joined;
  } catch (...) {
    chosen = &unusable;
  }
}

std::string anchoredPath(const std::string& path) {
  const std::string* anchor = currentAnchor();
  if (anchor == nullptr || path.empty()) return path;
  const std::string& folder = *anchor;
  if (!backslashSeparatesFolders()) return path.front() == '/' ? path : joined(folder, path);
  const bool drive = startsWithDrive(path);
  if (drive && path.size() >= 3 && isSeparator(path[2])) return path;  // "D:\x"
  if (isSeparator(path[0])) {
    if (path.size() >= 2 && isSeparator(path[1])) return path;  // a share, "\\host\share\x"
    return rootOf(folder) + path;
  }
  if (drive)
    return startsWithDrive(folder) && sameDrive(folder, path) ? joined(folder, path.substr(2))
                                                              : path;
  return joined(folder, path);
}

}  // namespace kelvora
