#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <string>

#include "files/relative_paths.h"
#include "inspector/user_paths.h"

namespace kelvora::inspector {

namespace {

bool isSeparator(char c) { return c == '/' || c == '\\'; }

// Rooted at a drive ("D:\x"), at the current drive's root ("\x", "/x") or a share ("\\host\x").
bool isFull(const std::string& path) {
  return (!path.empty() && isSeparator(path[0])) ||
         (path.size() >= 3 && path[1] == ':' && isSeparator(path[2]));
}

// The system's text for `error`, without its line end.
std::string systemMessage(DWORD error) {
  char text[512];
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                error, 0, text, sizeof text, nullptr);
  while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r' ||
                        text[length - 1] == '.' || text[length - 1] == ' ')) {
    --length;
  }
  return length > 0 ? std::string(text, length) : "error " + std::to_string(error);
}

}  // namespace

std::string fullPath(const std::string& given) {
  if (given.empty() || isFull(given)) return given;
  const std::string path = anchoredPath(given);
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

std::string withSeparator(std::string path, char separator) {
  if (separator != '/' && separator != '\\') return path;
  for (char& c : path) {
    if (isSeparator(c)) c = separator;
  }
  return path;
}

bool makeFolder(const std::string& path, std::string& reason, bool& parentMissing) {
  if (CreateDirectoryA(path.c_str(), nullptr) != 0) return true;
  const DWORD error = GetLastError();
  parentMissing = error == ERROR_PATH_NOT_FOUND;
  reason = systemMessage(error);
  return false;
}

std::string whyNoFileAt(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return "a folder has its name";
  }
  // A probe made and removed at once: the system's own answer to creating a file there.
  const std::string folder = folderOf(path);
  char probe[MAX_PATH];
  if (GetTempFileNameA(folder.empty() ? "." : folder.c_str(), "kv", 0, probe) == 0) {
    return systemMessage(GetLastError());
  }
  DeleteFileA(probe);
  return std::string();
}

}  // namespace kelvora::inspector
