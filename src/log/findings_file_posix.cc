// POSIX implementation of findings_file.h.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "log/findings_file.h"

namespace kelvora {

FindingsFilePtr createFindingsFile(const std::string& path) {
  if (path.find('\0') != std::string::npos) return nullptr;
  struct stat info {};
  if (::lstat(path.c_str(), &info) == 0) {
    if (!S_ISREG(info.st_mode) && !S_ISLNK(info.st_mode)) return nullptr;
    if (::unlink(path.c_str()) != 0) return nullptr;
  }
  // O_EXCL refuses whatever took the name meanwhile, a link included: it is never followed.
  const int fd =
      ::open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0666);
  if (fd < 0) return nullptr;
  FindingsFilePtr file(::fdopen(fd, "w"));
  if (file == nullptr) ::close(fd);
  return file;
}

bool namesOpenFile(std::FILE* file, const std::string& path) {
  if (file == nullptr || path.find('\0') != std::string::npos) return false;
  struct stat open {};
  struct stat named {};
  return ::fstat(::fileno(file), &open) == 0 && ::stat(path.c_str(), &named) == 0 &&
         open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

}  // namespace kelvora
