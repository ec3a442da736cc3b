#pragma once

#include <string>
#include <string_view>

namespace salvoran::cli {

// Text for a terminal line, with everything that could act on the terminal instead of showing
// written out: control characters (\n, \t, \x1b, C1 controls as \u009b), the marks that turn
// text right to left (\u202e), and bytes that are not UTF-8 (\xff); a backslash doubles so that
// no name reads as an escape. Names from a volume are untrusted: without this, one could move
// the cursor, colour the terminal or print a line of its own.
std::string TerminalText(std::string_view text);

}  // namespace salvoran::cli
