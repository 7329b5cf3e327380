// What the plug-in object does, behind the exported classes: starting up against the host,
// running an inspection, and saying goodbye. Called through the frame bridge only, which keeps
// every exception inside the library.
#pragma once

namespace kelvora {

// Binds the host's functions (false at once, silently, when that fails), refuses hosts older
// than 2.8.0 with a message box, then shows the log tab and logs the greeting.
bool startPlugin();

// One inspection run; false, calling nothing, unless the latest startPlugin succeeded.
bool runPlugin();

// Logs the closing line of a destroyed plug-in object.
void finishPlugin();

}  // namespace kelvora
