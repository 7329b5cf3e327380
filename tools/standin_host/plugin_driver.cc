#include "plugin_driver.h"

#include "plugin/plugin_interface.h"

namespace {

using Factory = HVZRPluginInterface* (*)();

HVZRPluginInterface* asPlugin(void* plugin) { return static_cast<HVZRPluginInterface*>(plugin); }

}  // namespace

void* driverCreatePlugin(void* factory) { return reinterpret_cast<Factory>(factory)(); }

bool driverInitPlugin(void* plugin) { return asPlugin(plugin)->initPlugin(); }

bool driverExecute(void* plugin) { return asPlugin(plugin)->execute(); }

void driverDestroyPlugin(void* plugin) { delete asPlugin(plugin); }
