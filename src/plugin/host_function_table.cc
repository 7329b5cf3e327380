#include "plugin/host_function_table.h"

namespace kelvora {
namespace {

constexpr const char* kHostModuleNames[] = {"HalvaneZR.exe", "Halvane.exe"};

void* findHostModule(const ModuleLookup& lookup) {
  for (const char* name : kHostModuleNames) {
    if (void* module = lookup.findLoadedModule(name)) return module;
  }
  return nullptr;
}

}  // namespace

HostFunctionTable hostFunctionTable;

bool bindHostFunctions(HostFunctionTable& table, const ModuleLookup& lookup) {
  void* module = findHostModule(lookup);
  if (module == nullptr) return false;
  table.hvGetVersionOfHalvaneZR = lookup.findFunction(module, "hvGetVersionOfHalvaneZR");
  const bool hostHasVersion = table.hvGetVersionOfHalvaneZR != nullptr;
  if (hostHasVersion) {
#define KELVORA_BIND(name) table.name = lookup.findFunction(module, #name);
    KELVORA_HOST_FUNCTIONS(KELVORA_BIND, KELVORA_BIND)
#undef KELVORA_BIND
  }
  lookup.releaseModule(module);
  return hostHasVersion;
}

}  // namespace kelvora
