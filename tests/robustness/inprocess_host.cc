#include "inprocess_host.h"

#include <dirent.h>
#include <dlfcn.h>

#include <algorithm>
#include <cstring>

#include "plugin/host_functions.h"
#include "plugin/plugin_interface.h"

#ifdef KELVORA_FAILING_ALLOCATOR
#include "failing_allocator.h"
#define KELVORA_HOST_CALL kelvora::testing::AllocationsUnchecked unchecked
#else
#define KELVORA_HOST_CALL
#endif

#define HOST_EXPORT extern "C" __attribute__((visibility("default")))

namespace kelvora::testing {
namespace {

constexpr std::size_t kDialogBufferSize = 512;

int fileDialog(std::deque<std::string>& answers, char* buffer) {
  if (answers.empty()) return 0;
  const std::string answer = std::move(answers.front());
  answers.pop_front();
  if (answer.empty()) return 0;
  const std::size_t length = std::min(answer.size(), kDialogBufferSize - 1);
  std::memcpy(buffer, answer.data(), length);
  buffer[length] = '\0';
  return 1;
}

}  // namespace

HostScript& hostScript() {
  static HostScript script;
  return script;
}

PluginLibrary::PluginLibrary(const std::string& path)
    : handle(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {}

PluginLibrary::~PluginLibrary() { unload(); }

HVZRPluginInterface* PluginLibrary::createPlugin() const {
  using Factory = HVZRPluginInterface* (*)();
  const auto factory = reinterpret_cast<Factory>(dlsym(handle, "createPlugin"));
  return factory == nullptr ? nullptr : factory();
}

void PluginLibrary::unload() {
  if (handle != nullptr) dlclose(handle);
  handle = nullptr;
}

std::string builtPluginPath() { return KELVORA_PLUGIN_PATH; }

int openFileDescriptors() {
  DIR* folder = opendir("/proc/self/fd");
  if (folder == nullptr) return -1;
  int count = 0;
  while (readdir(folder) != nullptr) ++count;
  closedir(folder);
  return count - 3;  // ".", ".." and the descriptor of the listing itself
}

}  // namespace kelvora::testing

using kelvora::testing::hostScript;

HOST_EXPORT void hvGetVersionOfHalvaneZR(int* major, int* minor, int* patch) {
  *major = 2;
  *minor = 8;
  *patch = 0;
}

HOST_EXPORT void hvShowLogTab() {}

HOST_EXPORT void hvLogText(const char* text) {
  KELVORA_HOST_CALL;
  hostScript().log.emplace_back(text);
}

HOST_EXPORT void hvMessageBox(const char* text) {
  KELVORA_HOST_CALL;
  hostScript().messages.emplace_back(text);
}

HOST_EXPORT int hvYesNoMessageBox(const char*) {
  KELVORA_HOST_CALL;
  auto& answers = hostScript().answers;
  if (answers.empty()) return 0;
  const bool yes = answers.front();
  answers.pop_front();
  return yes ? 1 : 0;
}

HOST_EXPORT int hvGetOpenFileName(const char*, const char*, const char*, char* buffer) {
  KELVORA_HOST_CALL;
  return kelvora::testing::fileDialog(hostScript().opens, buffer);
}

HOST_EXPORT int hvGetSaveFileName(const char*, const char*, const char*, char* buffer) {
  KELVORA_HOST_CALL;
  return kelvora::testing::fileDialog(hostScript().saves, buffer);
}

// The host functions that the plug-in never calls, so that the binding finds all 190.
#define KELVORA_IMPLEMENTED(name)
#define KELVORA_STUB(name) \
  HOST_EXPORT void name() {}
KELVORA_HOST_FUNCTIONS(KELVORA_IMPLEMENTED, KELVORA_STUB)
