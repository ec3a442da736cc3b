#include "support/FormatFileSize.h"

#include <langinfo.h>
#include <locale.h>

#include <charconv>
#include <climits>
#include <iterator>
#include <limits>
#include <string_view>

namespace salvoran {
namespace {

constexpr int64_t BytesPerKilobyte = 1024;
constexpr int64_t BytesPerMegabyte = BytesPerKilobyte * 1024;
constexpr int64_t BytesPerGigabyte = BytesPerMegabyte * 1024;
constexpr int64_t TenthsPerUnit = 10;
constexpr size_t DigitsPerGroup = 3;
constexpr size_t LongestSizeText = 48;  // INT64_MAX in GB with multi-byte separators

constexpr std::string_view DefaultThousands = ",";
constexpr std::string_view DefaultDecimal = ".";

struct SizeUnit {
  int64_t Bytes;
  std::string_view Name;
};

constexpr SizeUnit Kilobytes{BytesPerKilobyte, "KB"};
constexpr SizeUnit Megabytes{BytesPerMegabyte, "MB"};
constexpr SizeUnit Gigabytes{BytesPerGigabyte, "GB"};
constexpr std::string_view ByteUnitName = "Bytes";

NumberSeparators DefaultSeparators() {
  return {std::string(DefaultThousands), std::string(DefaultDecimal)};
}

// A grouping string whose first size is 0 or CHAR_MAX groups nothing.
bool GroupsDigits(const char* grouping) {
  return grouping != nullptr && grouping[0] > 0 && grouping[0] != CHAR_MAX;
}

// Appends the decimal digits of value with the separator between groups of three.
void AppendGrouped(std::string& text, int64_t value, std::string_view thousands) {
  char digits[std::numeric_limits<int64_t>::digits10 + 1];
  const char* end = std::to_chars(std::begin(digits), std::end(digits), value).ptr;
  const size_t count = static_cast<size_t>(end - digits);
  for (size_t i = 0; i < count; ++i) {
    if (i > 0 && (count - i) % DigitsPerGroup == 0) text.append(thousands);
    text.push_back(digits[i]);
  }
}

// size / unitBytes in tenths, halves rounded up. Worked in integers so that sizes beyond the 53
// bits a double holds still round exactly.
int64_t TenthsOf(int64_t size, int64_t unitBytes) {
  const int64_t whole = size / unitBytes;
  const int64_t rest = size % unitBytes;
  return whole * TenthsPerUnit + (rest * TenthsPerUnit + unitBytes / 2) / unitBytes;
}

}  // namespace

NumberSeparators NumberSeparatorsOfLocale(const char* localeName) {
  // newlocale/nl_langinfo_l rather than std::numpunct<char>, which narrows multi-byte separators
  // such as U+202F to a single byte, and rather than setlocale/localeconv, which change or read
  // process-wide state.
  const locale_t locale = newlocale(LC_NUMERIC_MASK, localeName, static_cast<locale_t>(0));
  if (locale == static_cast<locale_t>(0)) return DefaultSeparators();
  NumberSeparators separators = DefaultSeparators();
  const std::string_view thousands = nl_langinfo_l(THOUSEP, locale);
  const std::string_view decimal = nl_langinfo_l(RADIXCHAR, locale);
  if (GroupsDigits(nl_langinfo_l(GROUPING, locale)) && !thousands.empty() && !decimal.empty()) {
    separators = {std::string(thousands), std::string(decimal)};
  }
  freelocale(locale);
  return separators;
}

NumberSeparators UserNumberSeparators() {
  static const NumberSeparators userSeparators = NumberSeparatorsOfLocale("");
  return userSeparators;
}

std::string FormatFileSize(int64_t size, const NumberSeparators& separators) {
  std::string text;
  if (size < 0) return text;
  text.reserve(LongestSizeText);
  if (size < BytesPerKilobyte) {
    AppendGrouped(text, size, separators.Thousands);
    text.push_back(' ');
    text.append(ByteUnitName);
    return text;
  }
  const SizeUnit& unit = size < BytesPerMegabyte   ? Kilobytes
                         : size < BytesPerGigabyte ? Megabytes
                                                   : Gigabytes;
  const int64_t tenths = TenthsOf(size, unit.Bytes);
  AppendGrouped(text, tenths / TenthsPerUnit, separators.Thousands);
  text.append(separators.Decimal);
  text.push_back(static_cast<char>('0' + tenths % TenthsPerUnit));
  text.push_back(' ');
  text.append(unit.Name);
  return text;
}

}  // namespace salvoran
