// The library's side of the frame bridge: the only place where calls from the exported classes
// enter the library, so the only place that has to stop exceptions.
#include "plugin/frame_bridge.h"

#include <cstdlib>
#include <new>

#include "log/plugin_log.h"
#include "plugin/plugin_lifecycle.h"

extern "C" {

void* kelvoraFrameAllocate(decltype(sizeof(0)) size) { return std::malloc(size == 0 ? 1 : size); }

void kelvoraFrameRelease(void* memory) { std::free(memory); }

bool kelvoraFrameInitPlugin() {
  try {
    return kelvora::startPlugin();
  } catch (...) {
    return false;
  }
}

bool kelvoraFrameExecute() {
  try {
    return kelvora::runPlugin();
  } catch (const std::bad_alloc&) {
    // The run has closed its findings file on the way out; the log still takes this line when
    // the memory for it can be had, and drops it otherwise.
    kelvora::pluginLog.closeFile();
    kelvora::logLine("!!!  Not enough memory: the inspection ended");
    return false;
  } catch (...) {
    // Whatever ended the run, its findings file must not stay attached to later entries.
    kelvora::pluginLog.closeFile();
    return false;
  }
}

void kelvoraFramePluginDestroyed() {
  try {
    kelvora::finishPlugin();
  } catch (...) {
  }
}

}  // extern "C"
