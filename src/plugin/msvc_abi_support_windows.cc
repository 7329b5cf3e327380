// Runtime support that the Microsoft-ABI frame expects from the library it is linked into. A
// pure virtual slot of the abstract interface points here; it is never called through a complete
// object.
#include <cstdlib>

extern "C" int _purecall() { std::abort(); }
