#pragma once

#include <string_view>

namespace salvoran {

// "-autorun", "/autorun" or "\autorun", the word in any letter case: the start made at log-in,
// which keeps the window hidden and never disturbs a running instance.
bool IsAutorunSwitch(std::string_view argument);

// Looks at the arguments after the program's own name (argv[0]), in order.
bool HasAutorunSwitch(int argc, const char* const argv[]);

}  // namespace salvoran
