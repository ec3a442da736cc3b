#include "support/Diagnostics.h"

#include <cstdio>
#include <string>
#include <utility>

namespace salvoran {
namespace {

int PrintWarning(std::string_view text) {
  std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
  return 0;
}

bool traceEnabled = false;

WarningHandler& CurrentHandler() {
  static WarningHandler handler = PrintWarning;
  return handler;
}

}  // namespace

void DebugTrace(std::string_view text) {
  if (!traceEnabled) return;
  std::string line = "Corvath:";
  line.append(text);
  line.push_back('\n');
  std::fwrite(line.data(), 1, line.size(), stderr);
}

void EnableDebugTrace(bool enabled) { traceEnabled = enabled; }

int ShowWarning(std::string_view text) {
  WarningHandler& handler = CurrentHandler();
  return handler ? handler(text) : 0;
}

WarningHandler SetWarningHandler(WarningHandler handler) {
  return std::exchange(CurrentHandler(), std::move(handler));
}

}  // namespace salvoran
