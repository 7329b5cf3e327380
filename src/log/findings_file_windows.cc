// Windows implementation of findings_file.h, on the system's 8-bit calls, which read a path in
// the system code page as the runtime's file functions do.
#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "log/findings_file.h"

namespace kelvora {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Removes a plain file or a link (a reparse point, whichever kind of entry it is); leaves a
// folder alone. True when the name is free afterwards, or was.
bool removeFileOrLink(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  // Nothing there, or nothing that may be examined: the exclusive creation then decides.
  if (attributes == INVALID_FILE_ATTRIBUTES) return true;
  const bool link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return link && RemoveDirectoryA(path.c_str()) != 0;
  }
  return DeleteFileA(path.c_str()) != 0;
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

FindingsFilePtr createFindingsFile(const std::string& path) {
  if (path.find('\0') != std::string::npos || !removeFileOrLink(path)) return nullptr;
  // CREATE_NEW refuses whatever has the name, a link included; FILE_FLAG_OPEN_REPARSE_POINT keeps
  // one that appears meanwhile from being followed.
  const HANDLE handle = CreateFileA(path.c_str(), GENERIC_WRITE, kShareAll, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  if (GetFileType(handle) != FILE_TYPE_DISK) {  // a device name such as NUL or CON
    CloseHandle(handle);
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
