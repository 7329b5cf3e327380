// The exported plug-in classes and their factory. Each member forwards to the library through the
// frame bridge; nothing else lives here, because on Windows this file alone is compiled for the
// host compiler's ABI.
#include "plugin/frame_bridge.h"
#include "plugin/plugin_interface.h"

HVZRPluginInterface::HVZRPluginInterface() {}

HVZRPluginInterface::HVZRPluginInterface(const HVZRPluginInterface&) {}

HVZRPluginInterface& HVZRPluginInterface::operator=(const HVZRPluginInterface&) { return *this; }

HVZRPluginInterface::~HVZRPluginInterface() {}

Kelvora::Kelvora() {}

Kelvora::~Kelvora() { kelvoraFramePluginDestroyed(); }

bool Kelvora::execute() { return kelvoraFrameExecute(); }

bool Kelvora::initPlugin() { return kelvoraFrameInitPlugin(); }

void* Kelvora::operator new(decltype(sizeof(0)) size) noexcept {
  return kelvoraFrameAllocate(size);
}

void Kelvora::operator delete(void* object) noexcept { kelvoraFrameRelease(object); }

HVZRPluginInterface* createPlugin() { return new Kelvora; }
