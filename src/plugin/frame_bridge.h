// The plain C functions through which the plug-in classes reach the rest of the library. The
// classes are compiled for the host compiler's C++ ABI, the library by another compiler; only
// these functions cross between the two, and none of them lets an exception out.
// Includes no standard header.
#ifndef KELVORA_PLUGIN_FRAME_BRIDGE_H_
#define KELVORA_PLUGIN_FRAME_BRIDGE_H_

extern "C" {
// Memory for plug-in objects, allocated and freed on the library's side. Null when exhausted.
void* kelvoraFrameAllocate(decltype(sizeof(0)) size);
void kelvoraFrameRelease(void* memory);

bool kelvoraFrameInitPlugin();
bool kelvoraFrameExecute();
// Logs the closing line of one destroyed plug-in object.
void kelvoraFramePluginDestroyed();
}

#endif  // KELVORA_PLUGIN_FRAME_BRIDGE_H_
