// Windows implementation of findings_file.h, on the system's 8-bit calls, which read a path in
// the system code page as the runtime's file functions do.
#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <string>

#include "log/findings_file.h"

namespace kelvora {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// True when something that must be left alone has the name: a folder (a link to one is a reparse
// point and may go).
bool namesFolder(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
         (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

bool sameFileInformation(HANDLE a, HANDLE b) {
  BY_HANDLE_FILE_INFORMATION first{};
  BY_HANDLE_FILE_INFORMATION second{};
  return GetFileInformationByHandle(a, &first) && GetFileInformationByHandle(b, &second) &&
         first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
         first.nFileIndexHigh == second.nFileIndexHigh &&
         first.nFileIndexLow == second.nFileIndexLow;
}

}  // namespace

// The new file is created under a name of its own and then moved over the findings name: a move
// replaces the entry itself, a link included, and never what it leads to (deleting first would
// not do: a file system seen through a compatibility layer may delete a link's target instead).
FindingsFilePtr createFindingsFile(const std::string& path) {
  if (path.find('\0') != std::string::npos || namesFolder(path)) return nullptr;
  const std::string fresh = path + "." + std::to_string(GetCurrentProcessId()) + ".new";
  const HANDLE handle = CreateFileA(fresh.c_str(), GENERIC_WRITE, kShareAll, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  if (!MoveFileExA(fresh.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    CloseHandle(handle);
    DeleteFileA(fresh.c_str());
    return nullptr;
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_TEXT);
  if (fd < 0) {
    CloseHandle(handle);
    return nullptr;
  }
  FindingsFilePtr file(_fdopen(fd, "w"));
  if (file == nullptr) _close(fd);
  return file;
}

bool namesOpenFile(std::FILE* file, const std::string& path) {
  if (file == nullptr || path.find('\0') != std::string::npos) return false;
  const HANDLE named = CreateFileA(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (named == INVALID_HANDLE_VALUE) return false;
  const auto open = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
  const bool same = open != INVALID_HANDLE_VALUE && sameFileInformation(open, named);
  CloseHandle(named);
  return same;
}

}  // namespace kelvora
