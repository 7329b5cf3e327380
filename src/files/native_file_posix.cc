// POSIX implementation of native_file.h.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "files/native_file.h"
#include "files/relative_paths.h"

namespace kelvora {
namespace {

bool holdsNul(const std::string& path) { return path.find('\0') != std::string::npos; }

std::string currentFolder() {
  std::string folder(256, '\0');
  while (::getcwd(folder.data(), folder.size()) == nullptr) {
    if (errno != ERANGE) return std::string();
    folder.resize(folder.size() * 2);
  }
  folder.resize(folder.find('\0'));
  return folder;
}

// `path` taken in the current folder, its empty, "." and ".." segments resolved by their names.
std::string lexicalFullPath(const std::string& path) {
  const std::string joined = path.front() == '/' ? path : currentFolder() + "/" + path;
  std::vector<std::string> segments;
  std::string::size_type start = 0;
  while (start <= joined.size()) {
    std::string::size_type end = joined.find('/', start);
    if (end == std::string::npos) end = joined.size();
    const std::string segment = joined.substr(start, end - start);
    if (segment == "..") {
      if (!segments.empty()) segments.pop_back();
    } else if (!segment.empty() && segment != ".") {
      segments.push_back(segment);
    }
    start = end + 1;
  }
  std::string full;
  for (const std::string& segment : segments) full += "/" + segment;
  return full.empty() ? "/" : full;
}

// The full path of a name that nothing has: its folder's real path where the folder exists (so
// that a folder reached through a link or by ".." counts once), the name joined to it.
std::string fullPathOfMissing(const std::string& path) {
  const std::string lexical = lexicalFullPath(path);
  const std::string::size_type slash = lexical.rfind('/');
  const std::string folder = slash == 0 ? "/" : lexical.substr(0, slash);
  char resolved[PATH_MAX];
  if (::realpath(folder.c_str(), resolved) == nullptr) return lexical;
  const std::string real = resolved;
  return (real == "/" ? "" : real) + lexical.substr(slash);
}

}  // namespace

FilePtr openForReading(const std::string& given, bool pipeToo, std::uint64_t& size,
                       bool& wrongKind) {
  wrongKind = false;
  const AnchoredPath anchored(given);
  const std::string& path = anchored.path();
  if (holdsNul(path)) return nullptr;
  // O_NONBLOCK: opening a pipe would otherwise wait for a writer before fstat could refuse it.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !(S_ISREG(info.st_mode) || (pipeToo && S_ISFIFO(info.st_mode)))) {
    wrongKind = true;
    ::close(fd);
    return nullptr;
  }
  // Reads then wait for a pipe's data; a pipe without a writer reads as its end.
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  FilePtr file(::fdopen(fd, "rb"));
  if (file == nullptr) {
    ::close(fd);
    return nullptr;
  }
  std::setvbuf(file.get(), nullptr, _IONBF, 0);
  size = S_ISREG(info.st_mode) ? static_cast<std::uint64_t>(info.st_size) : 0;
  return file;
}

FilePtr createNewFile(const std::string& given, WriteMode mode, bool& nameTaken) {
  const AnchoredPath anchored(given);
  const std::string& path = anchored.path();
  nameTaken = false;
  if (holdsNul(path)) return nullptr;
  // O_EXCL refuses any name that is taken, a link included: a link is never followed.
  const int fd =
      ::open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0666);
  if (fd < 0) {
    nameTaken = errno == EEXIST;
    return nullptr;
  }
  FilePtr file(::fdopen(fd, mode == WriteMode::kText ? "w" : "wb"));
  if (file == nullptr) {
    ::close(fd);
    ::unlink(path.c_str());
  }
  return file;
}

bool nameMayBeReplaced(const std::string& given) {
  const AnchoredPath anchored(given);
  const std::string& path = anchored.path();
  if (holdsNul(path)) return false;
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return errno == ENOENT;
  return S_ISREG(info.st_mode) || S_ISLNK(info.st_mode);
}

bool adoptPermissions(std::FILE* file, const std::string& givenModel) {
  const AnchoredPath anchoredModel(givenModel);
  const std::string& model = anchoredModel.path();
  if (holdsNul(model)) return false;
  struct stat info {};
  if (::lstat(model.c_str(), &info) != 0) return errno == ENOENT;
  if (!S_ISREG(info.st_mode)) return true;
  return ::fchmod(::fileno(file), info.st_mode & 0777) == 0;
}

bool syncToDisk(std::FILE* file) { return std::fflush(file) == 0 && ::fsync(::fileno(file)) == 0; }

bool moveFileOver(const std::string& givenFrom, const std::string& givenTo) {
  const AnchoredPath anchoredFrom(givenFrom);
  const std::string& from = anchoredFrom.path();
  const AnchoredPath anchoredTo(givenTo);
  const std::string& to = anchoredTo.path();
  if (holdsNul(from) || holdsNul(to)) return false;
  if (std::rename(from.c_str(), to.c_str()) != 0) return false;
  // The new name is durable once its folder is; a folder that cannot be synced (some file
  // systems refuse) does not undo the move.
  const std::string::size_type slash = to.rfind('/');
  const std::string folder = slash == std::string::npos ? "."
                             : slash == 0               ? "/"
                                                        : to.substr(0, slash);
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
  return true;
}

bool backslashSeparatesFolders() { return false; }

bool removeFile(const std::string& given) {
  const AnchoredPath anchored(given);
  const std::string& path = anchored.path();
  return !holdsNul(path) && ::unlink(path.c_str()) == 0;
}

FileKey fileKeyOf(const std::string& given) {
  const AnchoredPath anchored(given);
  const std::string& path = anchored.path();
  FileKey key;
  struct stat info {};
  if (!holdsNul(path) && ::stat(path.c_str(), &info) == 0) {
    key.exists = true;
    key.device = static_cast<std::uint64_t>(info.st_dev);
    key.index = static_cast<std::uint64_t>(info.st_ino);
  } else {
    key.fullPath = path.empty() || holdsNul(path) ? path : fullPathOfMissing(path);
  }
  return key;
}

bool hasFileKey(const std::string& given, const FileKey& key) {
  const AnchoredPath anchored(given);
  const std::string& path = anchored.path();
  struct stat info {};
  if (path.empty() || holdsNul(path)) return fileKeyOf(given) == key;
  if (::stat(path.c_str(), &info) == 0) {
    return key.exists && key.device == static_cast<std::uint64_t>(info.st_dev) &&
           key.index == static_cast<std::uint64_t>(info.st_ino);
  }
  if (key.exists) return false;
  // A missing file's full path ends in "/" and its own last name, unless that is "." or ".." or
  // empty.
  const std::string_view name = std::string_view(path).substr(path.rfind('/') + 1);
  const std::string_view full = key.fullPath;
  const bool plainName = !name.empty() && name != "." && name != "..";
  if (plainName && (full.size() <= name.size() || full.substr(full.size() - name.size()) != name ||
                    full[full.size() - name.size() - 1] != '/')) {
    return false;
  }
  return fullPathOfMissing(path) == key.fullPath;
}

bool namesOpenFile(std::FILE* file, const std::string& given) {
  const AnchoredPath anchored(given);
  const std::string& path = anchored.path();
  if (file == nullptr || holdsNul(path)) return false;
  struct stat open {};
  struct stat named {};
  return ::fstat(::fileno(file), &open) == 0 && ::stat(path.c_str(), &named) == 0 &&
         open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

FilePtr openToAppend(const std::string& given, const FileKey& expected, WriteMode) {
  const AnchoredPath anchored(given);
  const std::string& path = anchored.path();
  if (holdsNul(path) || !expected.exists) return nullptr;
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat info {};
  const bool expectedFile = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
                            static_cast<std::uint64_t>(info.st_dev) == expected.device &&
                            static_cast<std::uint64_t>(info.st_ino) == expected.index;
  FilePtr file(expectedFile ? ::fdopen(fd, "ab") : nullptr);
  if (file == nullptr) ::close(fd);
  return file;
}

}  // namespace kelvora
