// What the stand-in host needs of the operating system (one implementation per platform):
// loading the plug-in library by path, finding its exports, and a byte-exact standard output.
#pragma once

#include <string>

namespace standin {

class PluginLibrary {
 public:
  // Loads the library at `path`; loaded() tells whether that worked.
  explicit PluginLibrary(const std::string& path);
  ~PluginLibrary();
  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;

  bool loaded() const { return handle != nullptr; }
  // The export's address, or null.
  void* symbol(const char* name) const;
  // Unloads now (the library's static destructors run during this call).
  void unload();

 private:
  void* handle;
};

// Loads another module into the process beside the host and leaves it loaded; false when it
// cannot be loaded.
bool loadSideModule(const std::string& path);

// What the process holds at this moment: its threads, and its open handles (Windows) or file
// descriptors.
struct ProcessResources {
  int threads = 0;
  int handles = 0;
};
ProcessResources processResources();

// Makes standard output write bytes unchanged, so transcript lines end in LF on every platform.
void useBinaryStandardOutput();

}  // namespace standin
