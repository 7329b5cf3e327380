// Module lookup on Windows: GetModuleHandleA finds an already loaded module by file name without
// loading it or taking a reference; GetProcAddress finds an export by its 8-bit name.
#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "plugin/host_function_table.h"

namespace kelvora {
namespace {

class WindowsModuleLookup : public ModuleLookup {
 public:
  void* findLoadedModule(const char* fileName) const override { return GetModuleHandleA(fileName); }

  HostProc findFunction(void* module, const char* name) const override {
    return reinterpret_cast<HostProc>(GetProcAddress(static_cast<HMODULE>(module), name));
  }

  void releaseModule(void*) const override {}
};

}  // namespace

const ModuleLookup& systemModuleLookup() {
  static const WindowsModuleLookup lookup;
  return lookup;
}

}  // namespace kelvora
