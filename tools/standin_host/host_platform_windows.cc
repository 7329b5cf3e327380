#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// after windows.h
#include <tlhelp32.h>

#include <cstdint>
#include <cstdio>

#include "host_platform.h"

namespace standin {

PluginLibrary::PluginLibrary(const std::string& path) : handle(LoadLibraryA(path.c_str())) {}

PluginLibrary::~PluginLibrary() { unload(); }

void* PluginLibrary::symbol(const char* name) const {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
}

void PluginLibrary::unload() {
  if (handle != nullptr) FreeLibrary(static_cast<HMODULE>(handle));
  handle = nullptr;
}

bool loadSideModule(const std::string& path) {
  // Mapped as an image only: its code is never run, only its name and exports are visible.
  return LoadLibraryExA(path.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES) != nullptr;
}

// Far above the handles of a process like this one, which holds a few dozen.
constexpr std::uintptr_t kHighestHandleProbed = 16384;

ProcessResources processResources() {
  ProcessResources held;
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot != INVALID_HANDLE_VALUE) {
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
      if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++held.threads;
    }
    CloseHandle(snapshot);
  }
  // Handles are counted by asking after each possible value: not every system keeps the count
  // that GetProcessHandleCount reports.
  for (std::uintptr_t value = 4; value < kHighestHandleProbed; value += 4) {
    DWORD flags = 0;
    held.handles += GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags) ? 1 : 0;
  }
  return held;
}

void useBinaryStandardOutput() { _setmode(_fileno(stdout), _O_BINARY); }

}  // namespace standin
