// The stand-in host's command line:
//   HalvaneZR.exe [--version X.Y.Z] [--open TEXT | --cancel-open]... [--save TEXT |
//   --cancel-save]...
//                 [--yesno N]... [--runs N] PLUGIN_LIBRARY
// and, for the rarer binding and dialog cases:
//   --open-result N TEXT / --save-result N TEXT  the next dialog writes TEXT as is (512 bytes or
//                                                more: the whole buffer, no NUL) and returns N
//   --objects N      create N plug-in objects, initialise and run each, then delete them in order
//   --no-init        call execute without initPlugin
//   --also-load PATH load another module beside the host before the plug-in
//   --comma-locale   set a global C++ locale with ',' as decimal point and '.' as digit grouping
//   --load-cycles N  load, drive and unload the plug-in N times, each time followed by an event
//                    "resources" that counts the process's threads and handles
// Dialog answers are queued in order; an empty queue answers 0 (cancel, or no).
#pragma once

#include <string>

#include "host_state.h"

namespace standin {

struct HostOptions {
  std::string pluginLibrary;
  int runs = 1;
  int loadCycles = 1;
  bool countResources = false;  // --load-cycles was given
  int objects = 1;
  bool initPlugin = true;
  bool commaLocale = false;
  std::string sideModule;
};

// Parses the arguments into `options` and the scripted answers into `state`. False, with a
// message in `error`, on a usage error.
bool parseHostOptions(int argc, char** argv, HostOptions& options, HostState& state,
                      std::string& error);

}  // namespace standin
