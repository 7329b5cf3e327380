// The host's calls through the plug-in's interface pointer. On Windows the implementation is
// compiled for the Microsoft C++ ABI, exactly as the real host calls the plug-in; these plain C
// functions are all the rest of the stand-in host sees of it. Includes no standard header.
#ifndef STANDIN_PLUGIN_DRIVER_H_
#define STANDIN_PLUGIN_DRIVER_H_

extern "C" {
// Calls the plug-in's createPlugin export (`factory`); returns the object, or null.
void* driverCreatePlugin(void* factory);
bool driverInitPlugin(void* plugin);
bool driverExecute(void* plugin);
// Deletes the object through its virtual destructor.
void driverDestroyPlugin(void* plugin);
}

#endif  // STANDIN_PLUGIN_DRIVER_H_
