#pragma once

#include <QString>
#include <string_view>

namespace salvoran {

// The string table and the engine speak UTF-8.
inline QString ToQString(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace salvoran
