#pragma once

#include <cstdint>
#include <string>

namespace salvoran {

struct NumberSeparators {
  std::string Thousands;
  std::string Decimal;
};

// The separators of a named locale ("" means the user's environment), read without touching the
// process locale. A locale without digit grouping (C, POSIX) or one that is not installed gives
// "," and ".".
NumberSeparators NumberSeparatorsOfLocale(const char* localeName);

// The user's separators, read once and kept for the life of the process.
NumberSeparators UserNumberSeparators();

// The size as the file list shows it: "1,023 Bytes", "1.5 KB", "1,024.0 MB", "2.0 GB", with one
// decimal place from KB on and GB as the largest unit. A negative size gives an empty text.
std::string FormatFileSize(int64_t size, const NumberSeparators& separators = UserNumberSeparators());

}  // namespace salvoran
