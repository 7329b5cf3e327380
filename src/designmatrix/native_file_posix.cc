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

bool moveFileOver(const std::string& from, const std::string& to) {
  if (holdsNul(from) || holdsNul(to)) return false;
  return std::rename(from.c_str(), to.c_str()) == 0;
}

}  // namespace kelvora
