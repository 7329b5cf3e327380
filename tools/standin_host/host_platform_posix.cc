#include <dirent.h>
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

namespace {

// The entries of a folder of /proc/self, less the descriptor that reads it when `countsItself`.
int entriesOf(const char* folder, bool countsItself) {
  DIR* listing = opendir(folder);
  if (listing == nullptr) return 0;
  int count = 0;
  while (const dirent* entry = readdir(listing)) count += entry->d_name[0] != '.';
  closedir(listing);
  return countsItself ? count - 1 : count;
}

}  // namespace

ProcessResources processResources() {
  return ProcessResources{entriesOf("/proc/self/task", false), entriesOf("/proc/self/fd", true)};
}

void useBinaryStandardOutput() {}

}  // namespace standin
