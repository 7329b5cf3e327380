// Module lookup on Linux: the main program counts under the file name of its executable; shared
// objects under the file name they were loaded from. Nothing is loaded: shared objects are only
// re-opened with RTLD_NOLOAD, and that reference is dropped again after the binding.
#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <string>

#include "designmatrix/path_names.h"
#include "plugin/host_function_table.h"

namespace kelvora {
namespace {

std::string mainProgramFileName() {
  char target[4096];
  const ssize_t length = readlink("/proc/self/exe", target, sizeof target - 1);
  if (length <= 0) return {};
  return fileNameOf(std::string_view(target, static_cast<std::size_t>(length)));
}

struct SharedObjectSearch {
  const char* fileName;
  std::string foundPath;
};

int matchSharedObject(dl_phdr_info* info, std::size_t, void* context) {
  auto* search = static_cast<SharedObjectSearch*>(context);
  if (info->dlpi_name == nullptr || info->dlpi_name[0] == '\0') return 0;
  if (fileNameOf(info->dlpi_name) != search->fileName) return 0;
  search->foundPath = info->dlpi_name;
  return 1;
}

class PosixModuleLookup : public ModuleLookup {
 public:
  void* findLoadedModule(const char* fileName) const override {
    if (mainProgramFileName() == fileName) return dlopen(nullptr, RTLD_LAZY);
    SharedObjectSearch search{fileName, {}};
    if (dl_iterate_phdr(&matchSharedObject, &search) == 0) return nullptr;
    return dlopen(search.foundPath.c_str(), RTLD_LAZY | RTLD_NOLOAD);
  }

  HostProc findFunction(void* module, const char* name) const override {
    return reinterpret_cast<HostProc>(dlsym(module, name));
  }

  void releaseModule(void* module) const override { dlclose(module); }
};

}  // namespace

const ModuleLookup& systemModuleLookup() {
  static const PosixModuleLookup lookup;
  return lookup;
}

}  // namespace kelvora
