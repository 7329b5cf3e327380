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
  // The same 8-bit system calls as moveFileOver and removeFile, so that a name this accepts (a
  // long one, say) can also be moved and removed.
  const HANDLE handle = CreateFileA(path.c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    nameTaken = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
    return nullptr;
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
  if (fd < 0) {
    CloseHandle(handle);
    DeleteFileA(path.c_str());
    return nullptr;
  }
  FilePtr file(::_fdopen(fd, "wb"));
  if (file == nullptr) {
    ::_close(fd);
    DeleteFileA(path.c_str());
  }
  return file;
}

bool namesNonRegularFile(const std::string& path) {
  if (holdsNul(path)) return false;
  struct _stati64 info {};
  return ::_stati64(path.c_str(), &info) == 0 && (info.st_mode & _S_IFMT) != _S_IFREG;
}

bool adoptPermissions(std::FILE*, const std::string&) { return true; }

bool syncToDisk(std::FILE* file) {
  return std::fflush(file) == 0 && ::_commit(::_fileno(file)) == 0;
}

bool moveFileOver(const std::string& from, const std::string& to) {
  if (holdsNul(from) || holdsNul(to)) return false;
  // The runtime's rename refuses an existing target. The 8-bit system call replaces it in one
  // step and reads both paths in the system code page, as the runtime's other file functions do
  // (the standard library's rename would read them as ISO 8859-1 and miss such a file).
  return MoveFileExA(from.c_str(), to.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool backslashSeparatesFolders() { return true; }

bool removeFile(const std::string& path) {
  return !holdsNul(path) && DeleteFileA(path.c_str()) != 0;
}

}  // namespace kelvora
