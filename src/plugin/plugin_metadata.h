// What the library says about itself. The version lives here only; the command-line inspector
// prints the same text.
#pragma once

namespace kelvora {

inline constexpr char kPluginVersion[] = "2.1";

}  // namespace kelvora
