#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <fcntl.h>
#include <io.h>
#include <windows.h>

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

void useBinaryStandardOutput() { _setmode(_fileno(stdout), _O_BINARY); }

}  // namespace standin
