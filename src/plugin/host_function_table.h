// The library-wide table of the host's 190 exported functions, and the binding that fills it by
// looking each name up in the host's executable module. Every call into the host goes through
// this table (see host_calls.h); an empty entry is never called.
#pragma once

#include "plugin/host_functions.h"

namespace kelvora {

using HostProc = void (*)();

struct HostFunctionTable {
#define KELVORA_TABLE_ENTRY(name) HostProc name = nullptr;
  KELVORA_HOST_FUNCTIONS(KELVORA_TABLE_ENTRY, KELVORA_TABLE_ENTRY)
#undef KELVORA_TABLE_ENTRY
};

// Filled by the first successful binding; never cleared. Read on the host's thread only.
extern HostFunctionTable hostFunctionTable;

// How the binding sees the operating system's loaded modules; lookups never load a module.
class ModuleLookup {
 public:
  virtual ~ModuleLookup() = default;
  // A handle of the already loaded module with this file name, or null.
  virtual void* findLoadedModule(const char* fileName) const = 0;
  // The function exported under `name` by `module`, or null.
  virtual HostProc findFunction(void* module, const char* name) const = 0;
  // Drops whatever reference findLoadedModule took, so the lookup keeps none.
  virtual void releaseModule(void* module) const = 0;
};

// The operating system's module lookup (one implementation per platform).
const ModuleLookup& systemModuleLookup();

// Finds the host's module ("HalvaneZR.exe", else "Halvane.exe") and stores every function's
// address in `table`. False, changing nothing, when neither module is loaded; false, with the
// other entries unchanged, when the host lacks hvGetVersionOfHalvaneZR. Any other missing function
// leaves an empty entry and the binding still succeeds.
bool bindHostFunctions(HostFunctionTable& table, const ModuleLookup& lookup);

}  // namespace kelvora
