// The stand-in host: loads the plug-in library the way the host application does, drives its
// whole lifecycle and writes what happens as a transcript (see transcript.h and host_options.h).
// Exit status 0 when the library loaded and the lifecycle ran; 1 when it did not load; 64 on a
// usage error.
#include <cstdio>
#include <locale>
#include <vector>

#include "host_options.h"
#include "host_platform.h"
#include "host_state.h"
#include "plugin_driver.h"

namespace standin {
namespace {

using TextExport = const char* (*)();

constexpr const char* kMetadataExports[] = {"getPluginName",    "getPluginDescription",
                                            "getPluginVersion", "getAuthor",
                                            "getHelpFile",      "getGUIScript"};

struct CommaDecimalPoint : std::numpunct<char> {
  char do_decimal_point() const override { return ','; }
  char do_thousands_sep() const override { return '.'; }
  std::string do_grouping() const override { return "\3"; }
};

void recordMetadata(const PluginLibrary& library, Transcript& transcript) {
  for (const char* name : kMetadataExports) {
    Transcript::Event event = Transcript::event("export");
    event["name"] = name;
    const auto function = reinterpret_cast<TextExport>(library.symbol(name));
    if (function == nullptr) {
      event["value"] = nullptr;
      event["stable"] = false;
    } else {
      const char* first = function();
      event["value"] = first == nullptr ? nlohmann::ordered_json() : Transcript::bytes(first);
      event["stable"] = function() == first;
    }
    transcript.write(event);
  }
}

void writeResult(Transcript& transcript, const char* name, bool result) {
  Transcript::Event event = Transcript::event(name);
  event["result"] = result;
  transcript.write(event);
}

void driveLifecycle(const PluginLibrary& library, const HostOptions& options,
                    Transcript& transcript) {
  void* factory = library.symbol("createPlugin");
  std::vector<void*> plugins;
  for (int i = 0; i < options.objects && factory != nullptr; ++i) {
    void* plugin = driverCreatePlugin(factory);
    transcript.write(Transcript::event(plugin == nullptr ? "createFailed" : "create"));
    if (plugin != nullptr) plugins.push_back(plugin);
  }
  for (void* plugin : plugins) {
    bool ready = true;
    if (options.initPlugin) {
      ready = driverInitPlugin(plugin);
      writeResult(transcript, "initPlugin", ready);
    }
    for (int run = 0; ready && run < options.runs; ++run) {
      writeResult(transcript, "execute", driverExecute(plugin));
    }
  }
  for (void* plugin : plugins) {
    driverDestroyPlugin(plugin);
    transcript.write(Transcript::event("destroy"));
  }
}

}  // namespace
}  // namespace standin

int main(int argc, char** argv) {
  using namespace standin;
  useBinaryStandardOutput();
  HostOptions options;
  std::string error;
  if (!parseHostOptions(argc, argv, options, hostState(), error)) {
    std::fprintf(stderr, "HalvaneZR.exe: %s\n", error.c_str());
    return 64;
  }
  if (options.commaLocale) std::locale::global(std::locale(std::locale(), new CommaDecimalPoint));
  if (!options.sideModule.empty() && !loadSideModule(options.sideModule)) {
    std::fprintf(stderr, "HalvaneZR.exe: cannot load %s\n", options.sideModule.c_str());
    return 1;
  }
  Transcript& transcript = hostState().transcript;
  for (int cycle = 0; cycle < options.loadCycles; ++cycle) {
    PluginLibrary library(options.pluginLibrary);
    Transcript::Event load = Transcript::event("load");
    load["ok"] = library.loaded();
    transcript.write(load);
    if (!library.loaded()) return 1;
    recordMetadata(library, transcript);
    driveLifecycle(library, options, transcript);
    library.unload();
    transcript.write(Transcript::event("unload"));
    if (options.countResources) {
      const ProcessResources held = processResources();
      Transcript::Event resources = Transcript::event("resources");
      resources["threads"] = held.threads;
      resources["handles"] = held.handles;
      transcript.write(resources);
    }
  }
  return 0;
}
