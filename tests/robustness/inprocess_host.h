// A host inside the test program, for tests that need the plug-in in their own process (to fail
// its allocations, to count its file descriptors, to unload and load it again). The program is
// named HalvaneZR.exe and exports the host's 190 functions: the seven that the plug-in calls
// answer from a script and record the log, the others do nothing. The plug-in library is loaded by path, so every call crosses
// the real boundary: createPlugin, the virtual methods, the host functions looked up by name.
//
// The host's own work (recording, answering) runs with allocations unchecked, so an allocation
// failure test fails only the library's allocations.
#pragma once

#include <deque>
#include <string>
#include <vector>

class HVZRPluginInterface;

namespace kelvora::testing {

// The scripted user and the recorded log. Dialogs without a queued answer are cancelled,
// questions without one are answered no.
struct HostScript {
  std::deque<std::string> opens;  // paths chosen in open dialogs; "" cancels
  std::deque<std::string> saves;  // paths chosen in save dialogs; "" cancels
  std::deque<bool> answers;       // yes/no answers
  std::vector<std::string> log;   // every text handed to hvLogText, in order
  std::vector<std::string> messages;
};

// The script that the exported host functions serve.
HostScript& hostScript();

// The plug-in library, loaded by path with the dynamic loader.
class PluginLibrary {
 public:
  explicit PluginLibrary(const std::string& path);
  ~PluginLibrary();
  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;

  bool loaded() const { return handle != nullptr; }
  // createPlugin's result: a new plug-in object, or null.
  HVZRPluginInterface* createPlugin() const;
  // Unloads the library (its log hands its last texts to hvLogText); idempotent.
  void unload();

 private:
  void* handle = nullptr;
};

// The plug-in library of this build (Kelvora.so beside the tests, from KELVORA_PLUGIN_PATH).
std::string builtPluginPath();

// How many file descriptors the process has open.
int openFileDescriptors();

}  // namespace kelvora::testing
