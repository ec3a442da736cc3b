#include "support/Utf8Decode.h"

namespace salvoran {
namespace {

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

}  // namespace

std::optional<char32_t> DecodeUtf8(std::string_view text, size_t& index) {
  const auto byteAt = [&](size_t at) { return static_cast<unsigned char>(text[at]); };
  const unsigned char lead = byteAt(index);
  if (lead < 0x80) {
    ++index;
    return lead;
  }
  size_t length = 0;
  char32_t code = 0;
  char32_t smallest = 0;  // below it the form is overlong
  if ((lead & 0xE0) == 0xC0) {
    length = 2, code = lead & 0x1F, smallest = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, code = lead & 0x0F, smallest = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, code = lead & 0x07, smallest = 0x10000;
  }
  if (length == 0 || text.size() - index < length) {
    ++index;
    return std::nullopt;
  }
  for (size_t i = 1; i < length; ++i) {
    if (!IsContinuation(byteAt(index + i))) {
      ++index;
      return std::nullopt;
    }
    code = (code << 6) | (byteAt(index + i) & 0x3F);
  }
  if (code < smallest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
    ++index;
    return std::nullopt;
  }
  index += length;
  return code;
}

}  // namespace salvoran
