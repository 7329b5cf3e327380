// Windows implementation of native_file.h, on the C runtime's 8-bit file functions, which
// interpret a path in the system's 8-bit code page as the host does. Files are opened with
// _SH_DENYNO, so other programs may keep them open meanwhile.
#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>

#include "designmatrix/native_file.h"

namespace kelvora {
namespace {

bool holdsNul(const std::string& path) { return path.find('\0') != std::string::npos; }

}  // namespace

FilePtr openRegularFileForReading(const std::string& path, std::uint64_t& size) {
  if (holdsNul(path)) return nullptr;
  const int fd = ::_sopen(path.c_str(), _O_RDONLY | _O_BINARY, _SH_DENYNO);
  if (fd < 0) return nullptr;
  struct _stati64 info {};
  if (::_fstati64(fd, &info) != 0 || (info.st_mode & _S_IFMT) != _S_IFREG) {
    ::_close(fd);  // a device such as NUL or CON, or a pipe
    return nullptr;
  }
  FilePtr file(::_fdopen(fd, "rb"));
  if (file == nullptr) {
    ::_close(fd);
    return nullptr;
  }
  std::setvbuf(file.get(), nullptr, _IONBF, 0);
  size = static_cast<std::uint64_t>(info.st_size);
  return file;
}

FilePtr createNewFile(const std::string& path, bool& nameTaken) {
  nameTaken = false;
  if (holdsNul(path)) return nullptr;
  // The runtime's "x" mode flag is ignored by msvcrt (an existing file would be truncated), so
  // the exclusive creation goes through _O_EXCL.
  const int fd = ::_sopen(path.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _SH_DENYNO,
                          _S_IREAD | _S_IWRITE);
  if (fd < 0) {
    nameTaken = errno == EEXIST;
    return nullptr;
  }
  FilePtr file(::_fdopen(fd, "wb"));
  if (file == nullptr) {
    ::_close(fd);
    ::remove(path.c_str());
  }
  return file;
}

bool namesNonRegularFile(const std::string& path) {
  if (holdsNul(path)) return false;
  struct _stati64 info {};
  return ::_stati64(path.c_str(), &info) == 0 && (info.st_mode & _S_IFMT) != _S_IFREG;
}

bool moveFileOver(const std::string& from, const std::string& to) {
  if (holdsNul(from) || holdsNul(to)) return false;
  // The runtime's rename refuses an existing target. The 8-bit system call replaces it in one
  // step and reads both paths in the system code page, as the runtime's other file functions do
  // (the standard library's rename would read them as ISO 8859-1 and miss such a file).
  return MoveFileExA(from.c_str(), to.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

}  // namespace kelvora
