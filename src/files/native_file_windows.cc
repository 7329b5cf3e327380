// Windows implementation of native_file.h, on the system's and the C runtime's 8-bit file
// functions, which interpret a path in the system's 8-bit code page as the host does. Files are
// opened sharing everything, so other programs may keep them open meanwhile.
#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>

#include "files/native_file.h"
#include "files/relative_paths.h"

namespace kelvora {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool holdsNul(const std::string& path) { return path.find('\0') != std::string::npos; }

// The file's volume and ID, read on a handle opened for nothing but that (a folder too).
bool identityOf(HANDLE handle, FileKey& key) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(handle, &info)) return false;
  key.exists = true;
  key.device = info.dwVolumeSerialNumber;
  key.index = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return true;
}

// The system's full path ("." and ".." resolved), with '/' for '\' and in lower case: Windows
// names differ in neither.
std::string normalisedFullPath(const std::string& path) {
  char buffer[MAX_PATH * 4];
  const DWORD length = GetFullPathNameA(path.c_str(), sizeof buffer, buffer, nullptr);
  std::string full = length > 0 && length < sizeof buffer ? std::string(buffer, length) : path;
  for (char& c : full) {
    if (c == '/') c = '\\';
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return full;
}

}  // namespace

FilePtr openForReading(const std::string& given, bool pipeToo, std::uint64_t& size,
                       bool& wrongKind) {
  wrongKind = false;
  const AnchoredPath anchored(given);
  const std::string& path = anchored.path();
  if (holdsNul(path)) return nullptr;
  const int fd = ::_sopen(path.c_str(), _O_RDONLY | _O_BINARY, _SH_DENYNO);
  if (fd < 0) return nullptr;
  struct _stati64 info {};
  const int type = ::_fstati64(fd, &info) == 0 ? (info.st_mode & _S_IFMT) : 0;
  if (!(type == _S_IFREG || (pipeToo && type == _S_IFIFO))) {
    wrongKind = true;
    ::_close(fd);  // a device such as NUL or CON, or a pipe where none is taken
    return nullptr;
  }
  FilePtr file(::_fdopen(fd, "rb"));
  if (file == nullptr) {
    ::_close(fd);
    return nullptr;
  }
  std::setvbuf(file.get(), nullptr, _IONBF, 0);
  size = type == _S_IFREG ? static_cast<std::uint64_t>(info.st_size) : 0;
  return file;
}

FilePtr createNewFile(const std::string& given, WriteMode mode, bool& nameTaken) {
  const AnchoredPath anchored(given);
  const std::string& path = anchored.path();
  nameTaken = false;
  if (holdsNul(path)) return nullptr;
  // The same 8-bit system calls as moveFileOver and removeFile, so that a name this accepts (a
  // long one, say) can also be moved and removed. CREATE_NEW never follows a link. Reading the
  // attributes lets the file's identity be taken from the open handle (namesOpenFile).
  const HANDLE handle = CreateFileA(path.c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES, kShareAll,
                                    nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    nameTaken = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
    return nullptr;
  }
  const bool text = mode == WriteMode::kText;
  const int fd =
      _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | (text ? _O_TEXT : _O_BINARY));
  if (fd < 0) {
    CloseHandle(handle);
    DeleteFileA(path.c_str());
    return nullptr;
  }
  FilePtr file(::_fdopen(fd, text ? "w" : "wb"));
  if (file == nullptr) {
    ::_close(fd);
    DeleteFileA(path.c_str());
  }
  return file;
}

bool nameMayBeReplaced(const std::string& given) {
  const AnchoredPath anchored(given);
  const std::string& path = anchored.path();
  if (holdsNul(path)) return false;
  // A link (to a folder too) is a reparse point, and the move replaces the link itself.
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return true;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return false;
  }
  struct _stati64 info {};
  if (::_stati64(path.c_str(), &info) != 0) return attributes == INVALID_FILE_ATTRIBUTES;
  return (info.st_mode & _S_IFMT) == _S_IFREG;  // not a device such as NUL or CON
}

bool adoptPermissions(std::FILE*, const std::string&) { return true; }

bool syncToDisk(std::FILE* file) {
  return std::fflush(file) == 0 && ::_commit(::_fileno(file)) == 0;
}

bool moveFileOver(const std::string& givenFrom, const std::string& givenTo) {
  const AnchoredPath anchoredFrom(givenFrom);
  const std::string& from = anchoredFrom.path();
  const AnchoredPath anchoredTo(givenTo);
  const std::string& to = anchoredTo.path();
  if (holdsNul(from) || holdsNul(to)) return false;
  // The runtime's rename refuses an existing target. The 8-bit system call replaces it in one
  // step (a link itself, never what it leads to) and reads both paths in the system code page, as
  // the runtime's other file functions do.
  return MoveFileExA(from.c_str(), to.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool backslashSeparatesFolders() { return true; }

bool removeFile(const std::string& given) {
  const AnchoredPath anchored(given);
  const std::string& path = anchored.path();
  return !holdsNul(path) && DeleteFileA(path.c_str()) != 0;
}

FileKey fileKeyOf(const std::string& given) {
  const AnchoredPath anchored(given);
  const std::string& path = anchored.path();
  FileKey key;
  if (holdsNul(path)) {
    key.fullPath = path;
    return key;
  }
  const HANDLE named = CreateFileA(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (named != INVALID_HANDLE_VALUE) {
    const bool known = identityOf(named, key);
    CloseHandle(named);
    if (known) return key;
    key = FileKey();
  }
  key.fullPath = path.empty() ? path : normalisedFullPath(path);
  return key;
}

// A missing file's key is a lexical full path here, which costs no look-up on the disk.
bool hasFileKey(const std::string& path, const FileKey& key) { return fileKeyOf(path) == key; }

bool namesOpenFile(std::FILE* file, const std::string& given) {
  const AnchoredPath anchored(given);
  const std::string& path = anchored.path();
  if (file == nullptr) return false;
  const auto open = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
  FileKey openKey;
  if (open == INVALID_HANDLE_VALUE || !identityOf(open, openKey)) return false;
  const FileKey named = fileKeyOf(path);
  // A handle opened before its file was moved to its name (createFileAnew) may report volume 0
  // (seen under Wine): the file index then decides alone.
  return named.exists && named.index == openKey.index &&
         (openKey.device == 0 || named.device == openKey.device);
}

FilePtr openToAppend(const std::string& given, const FileKey& expected, WriteMode mode) {
  const AnchoredPath anchored(given);
  const std::string& path = anchored.path();
  if (holdsNul(path) || !expected.exists) return nullptr;
  // FILE_FLAG_OPEN_REPARSE_POINT opens a link itself, which the checks below then refuse; the
  // checks read the file's attributes, which a handle opened to append alone may not.
  const HANDLE handle =
      CreateFileA(path.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                  OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  BY_HANDLE_FILE_INFORMATION info{};
  FileKey key;
  const bool expectedFile =
      GetFileType(handle) == FILE_TYPE_DISK && GetFileInformationByHandle(handle, &info) &&
      (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) == 0 &&
      identityOf(handle, key) && key.device == expected.device && key.index == expected.index;
  const bool text = mode == WriteMode::kText;
  const int fd = expectedFile
                     ? _open_osfhandle(reinterpret_cast<intptr_t>(handle),
                                       _O_WRONLY | _O_APPEND | (text ? _O_TEXT : _O_BINARY))
                     : -1;
  if (fd < 0) {
    CloseHandle(handle);
    return nullptr;
  }
  FilePtr file(::_fdopen(fd, text ? "a" : "ab"));
  if (file == nullptr) ::_close(fd);
  return file;
}

}  // namespace kelvora
