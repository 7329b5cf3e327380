// POSIX implementation of native_file.h.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "designmatrix/native_file.h"

namespace kelvora {
namespace {

bool holdsNul(const std::string& path) { return path.find('\0') != std::string::npos; }

}  // namespace

FilePtr openRegularFileForReading(const std::string& path, std::uint64_t& size) {
  if (holdsNul(path)) return nullptr;
  // O_NONBLOCK: opening a pipe would otherwise wait for a writer before fstat could refuse it.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  FilePtr file(::fdopen(fd, "rb"));
  if (file == nullptr) {
    ::close(fd);
    return nullptr;
  }
  std::setvbuf(file.get(), nullptr, _IONBF, 0);
  size = static_cast<std::uint64_t>(info.st_size);
  return file;
}

FilePtr createNewFile(const std::string& path, bool& nameTaken) {
  nameTaken = false;
  if (holdsNul(path)) return nullptr;
  const int fd = ::open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
  if (fd < 0) {
    nameTaken = errno == EEXIST;
    return nullptr;
  }
  FilePtr file(::fdopen(fd, "wb"));
  if (file == nullptr) {
    ::close(fd);
    ::unlink(path.c_str());
  }
  return file;
}

bool namesNonRegularFile(const std::string& path) {
  if (holdsNul(path)) return false;
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode);
}

bool adoptPermissions(std::FILE* file, const std::string& model) {
  if (holdsNul(model)) return false;
  struct stat info {};
  if (::stat(model.c_str(), &info) != 0) return errno == ENOENT;
  return ::fchmod(::fileno(file), info.st_mode & 07777) == 0;
}

bool syncToDisk(std::FILE* file) { return std::fflush(file) == 0 && ::fsync(::fileno(file)) == 0; }

bool moveFileOver(const std::string& from, const std::string& to) {
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

bool removeFile(const std::string& path) { return !holdsNul(path) && ::unlink(path.c_str()) == 0; }

}  // namespace kelvora
