#include <cstring>

#include "engine/SystemError.h"

namespace salvoran {

std::string SystemErrorText(int errorCode) {
  char buffer[256] = {};
  // The GNU strerror_r may return a static string instead of filling the buffer.
  std::string text = ::strerror_r(errorCode, buffer, sizeof buffer);
  while (!text.empty() && (static_cast<unsigned char>(text.back()) <= 0x20 || text.back() == '.')) {
    text.pop_back();
  }
  return text;
}

}  // namespace salvoran
