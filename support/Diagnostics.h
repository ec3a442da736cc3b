#pragma once

#include <functional>
#include <string_view>

namespace salvoran {

// Writes "Corvath:" followed by the text to the diagnostic output (stderr), one line, once the
// trace is enabled. It is off by default: on a terminal the trace is noise, and the front ends
// turn it on only when asked (the command line's --debug, the desktop program's environment).
void DebugTrace(std::string_view text);
void EnableDebugTrace(bool enabled);

// Shows a failure to the user. The front end decides how: the desktop program installs a
// message box, the command line prints to stderr. Returns the handler's answer.
int ShowWarning(std::string_view text);

using WarningHandler = std::function<int(std::string_view)>;
// Installs a new handler and returns the previous one.
WarningHandler SetWarningHandler(WarningHandler handler);

}  // namespace salvoran
