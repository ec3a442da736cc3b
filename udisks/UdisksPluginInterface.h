#pragma once

#include <cstddef>

// What the udisks2 plugin offers the program that loads it: plain C, since the two sides need not
// share a C++ runtime.
extern "C" {

// Opens the device read-only through udisks2. Answers the descriptor, owned by the caller, or -1
// with *errorCode set and why in explanation (cut to explanationSize bytes, ended by a zero).
using SalvoranUdisksOpenFunction = int(const char* devicePath, int* errorCode, char* explanation,
                                       size_t explanationSize);
// Ends the client and its connection, before the program ends.
using SalvoranUdisksCloseFunction = void();

SalvoranUdisksOpenFunction SalvoranUdisksOpen;
SalvoranUdisksCloseFunction SalvoranUdisksClose;
}

namespace salvoran {

inline constexpr char UdisksPluginOpenSymbol[] = "SalvoranUdisksOpen";
inline constexpr char UdisksPluginCloseSymbol[] = "SalvoranUdisksClose";

}  // namespace salvoran
