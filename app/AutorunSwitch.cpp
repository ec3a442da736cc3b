#include "app/AutorunSwitch.h"

#include <algorithm>

#include "support/StringTable.h"

namespace salvoran {
namespace {

bool IsSwitchMark(char c) { return c == '-' || c == '/' || c == '\\'; }

char LowerAsciiLetter(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool IsAutorunSwitch(std::string_view argument) {
  if (argument.empty() || !IsSwitchMark(argument.front())) return false;
  // The word has no letter outside ASCII, so an ASCII fold compares as a full case fold would.
  return std::ranges::equal(argument.substr(1), strings::AutorunSwitch,
                            [](char a, char b) { return LowerAsciiLetter(a) == LowerAsciiLetter(b); });
}

bool HasAutorunSwitch(int argc, const char* const argv[]) {
  for (int index = 1; index < argc; ++index) {
    if (IsAutorunSwitch(argv[index])) return true;
  }
  return false;
}

}  // namespace salvoran
