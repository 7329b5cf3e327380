#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <utility>

#include "user_paths.h"

namespace kelvora::cli {
namespace {

bool isSeparator(char c) { return c == '/' || c == '\\'; }

// Rooted at a drive ("D:\x"), at the current drive's root ("\x", "/x") or a share ("\\host\x").
bool isFull(const std::string& path) {
  return (!path.empty() && isSeparator(path[0])) ||
         (path.size() >= 3 && path[1] == ':' && isSeparator(path[2]));
}

std::string currentFolder() {
  const DWORD size = GetCurrentDirectoryA(0, nullptr);
  std::string folder(size, '\0');
  const DWORD length = GetCurrentDirectoryA(size, folder.data());
  if (length == 0 || length >= size) return std::string();
  folder.resize(length);
  return folder;
}

}  // namespace

std::string fullPath(const std::string& path) {
  if (path.empty() || isFull(path)) return path;
  const DWORD size = GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
  if (size == 0) return path;
  std::string full(size, '\0');
  const DWORD length = GetFullPathNameA(path.c_str(), size, full.data(), nullptr);
  if (length == 0 || length >= size) return path;
  full.resize(length);
  return full;
}

std::string folderOf(const std::string& path) {
  return path.substr(0, path.find_last_of("/\\") + 1);  // npos + 1 is 0
}

std::string pathInFolder(const std::string& folder, const std::string& name) {
  if (folder.empty() || isSeparator(folder.back())) return folder + name;
  return folder + '\\' + name;
}

PathKind kindOf(const std::string& path) {
  const DWORD attributes =
      path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return PathKind::kNothing;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? PathKind::kFolder : PathKind::kFile;
}

CurrentFolder::CurrentFolder(const std::string& folder) {
  std::string here = currentFolder();
  if (!here.empty() && SetCurrentDirectoryA(folder.c_str()) != 0) left = std::move(here);
}

CurrentFolder::~CurrentFolder() {
  if (!left.empty()) SetCurrentDirectoryA(left.c_str());
}

}  // namespace kelvora::cli
