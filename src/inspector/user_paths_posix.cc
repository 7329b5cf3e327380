#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>

#include "files/relative_paths.h"
#include "inspector/user_paths.h"

namespace kelvora::inspector {

namespace {

std::string currentFolder() {
  std::string folder(256, '\0');
  while (getcwd(folder.data(), folder.size()) == nullptr) {
    if (errno != ERANGE) return std::string();
    folder.resize(folder.size() * 2);
  }
  folder.resize(folder.find('\0'));
  return folder;
}

}  // namespace

std::string fullPath(const std::string& path) {
  if (path.empty() || path.front() == '/') return path;
  std::string full = relativePathFolder();
  if (full.empty()) full = currentFolder();
  if (full.empty()) return path;  // the current folder is gone: nothing to anchor the path to
  std::string_view rest = path;
  while (!rest.empty()) {
    const std::size_t end = rest.find('/');
    const std::string_view segment = rest.substr(0, end);
    if (!segment.empty() && segment != ".") {
      if (full.back() != '/') full += '/';
      full += segment;
    }
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
  if (path.back() == '/' && full.back() != '/') full += '/';
  return full;
}

std::string folderOf(const std::string& path) {
  return path.substr(0, path.rfind('/') + 1);  // npos + 1 is 0
}

std::string pathInFolder(const std::string& folder, const std::string& name) {
  if (folder.empty() || folder.back() == '/') return folder + name;
  return folder + '/' + name;
}

PathKind kindOf(const std::string& path) {
  struct stat info {};
  if (path.empty() || ::stat(path.c_str(), &info) != 0) return PathKind::kNothing;
  return S_ISDIR(info.st_mode) ? PathKind::kFolder : PathKind::kFile;
}

std::string withSeparator(std::string path, char) { return path; }

bool makeFolder(const std::string& path, std::string& reason, bool& parentMissing) {
  if (::mkdir(path.c_str(), 0777) == 0) return true;
  parentMissing = errno == ENOENT;
  reason = std::strerror(errno);
  return false;
}

std::string whyNoFileAt(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISLNK(info.st_mode)) {
    return S_ISDIR(info.st_mode) ? "a folder has its name"
                                 : "something other than a file has its name";
  }
  const std::string folder = folderOf(path);
  if (::access(folder.empty() ? "." : folder.c_str(), W_OK | X_OK) != 0)
    return std::strerror(errno);
  return std::string();
}

}  // namespace kelvora::inspector
