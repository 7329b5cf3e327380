#include "plugin/plugin_lifecycle.h"

#include "inspection/inspection_run.h"
#include "log/plugin_log.h"
#include "log/plugin_name.h"
#include "plugin/host_calls.h"
#include "plugin/host_dialogs.h"
#include "plugin/host_function_table.h"
#include "plugin/version_check.h"

namespace kelvora {
namespace {

constexpr int kRequiredMajor = 2;
constexpr int kRequiredMinor = 8;
constexpr int kRequiredPatch = 0;
constexpr char kHostTooOld[] =
    "Can not execute this plugin - HalvaneZR version 2.8 or higher required.";

// Library-wide, like everything the plug-in keeps between calls: the objects own no state.
bool hostAccepted = false;

}  // namespace

bool startPlugin() {
  hostAccepted = false;
  if (!bindHostFunctions(hostFunctionTable, systemModuleLookup())) return false;
  setLogTextSink(&hostLogText);
  // A host that writes nothing is refused rather than judged by whatever the stack held.
  int major = 0;
  int minor = 0;
  int patch = 0;
  hostGetVersion(major, minor, patch);
  if (!versionAtLeast(major, minor, patch, kRequiredMajor, kRequiredMinor, kRequiredPatch)) {
    hostMessageBox(kHostTooOld);
    return false;
  }
  hostShowLogTab();
  pluginLog << "\n" << kPluginName << ">  Running...\n" << std::flush;
  hostAccepted = true;
  return true;
}

bool runPlugin() {
  if (!hostAccepted) return false;
  HostDialogs dialogs;
  return runInspection(dialogs).complete;
}

void finishPlugin() { pluginLog << "\n" << kPluginName << ">  Plugin finished!\n" << std::flush; }

}  // namespace kelvora
