// The plug-in's name: the one definition behind the name export and the prefix of every progress
// line that the plug-in logs ("Kelvora>  ...").
#pragma once

namespace kelvora {

inline constexpr char kPluginName[] = "Kelvora";

}  // namespace kelvora
