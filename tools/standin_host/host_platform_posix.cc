#include <dlfcn.h>

#include "host_platform.h"

namespace standin {

PluginLibrary::PluginLibrary(const std::string& path)
    : handle(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {}

PluginLibrary::~PluginLibrary() { unload(); }

void* PluginLibrary::symbol(const char* name) const { return dlsym(handle, name); }

void PluginLibrary::unload() {
  if (handle != nullptr) dlclose(handle);
  handle = nullptr;
}

bool loadSideModule(const std::string& path) {
  return dlopen(path.c_str(), RTLD_NOW | RTLD_GLOBAL) != nullptr;
}

void useBinaryStandardOutput() {}

}  // namespace standin
