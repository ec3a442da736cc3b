#pragma once

#include <algorithm>
#include <string_view>

namespace salvoran {

// Whether a libblkid TYPE value names NTFS. libblkid reports "ntfs"; any ASCII letter case is
// accepted so that a change there cannot hide every drive. Not std::tolower: it depends on the
// process locale.
constexpr bool IsNtfsTypeName(std::string_view typeName) {
  constexpr std::string_view NtfsTypeName = "ntfs";
  return std::ranges::equal(typeName, NtfsTypeName, [](char given, char lower) {
    return given == lower || (given >= 'A' && given <= 'Z' && given - 'A' + 'a' == lower);
  });
}

}  // namespace salvoran
