#include "engine/FileNameText.h"

namespace salvoran {
namespace {

constexpr char32_t ReplacementCharacter = 0xFFFD;

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

}  // namespace

std::u16string_view ExtensionOf(std::u16string_view name) {
  const size_t last = name.find_last_of(u".\\:");
  if (last == std::u16string_view::npos || name[last] != u'.') return {};
  return name.substr(last);
}

std::u16string UpperAscii(std::u16string_view text) {
  std::u16string upper(text);
  for (char16_t& unit : upper) {
    if (unit >= u'a' && unit <= u'z') unit = static_cast<char16_t>(unit - u'a' + u'A');
  }
  return upper;
}

char32_t NextCodePoint(std::u16string_view text, size_t& index) {
  const char16_t unit = text[index++];
  if (IsHighSurrogate(unit) && index < text.size() && IsLowSurrogate(text[index])) {
    return 0x10000 + ((char32_t{unit} - 0xD800) << 10) + (char32_t{text[index++]} - 0xDC00);
  }
  return IsHighSurrogate(unit) || IsLowSurrogate(unit) ? ReplacementCharacter : char32_t{unit};
}

size_t EncodeUtf8(char32_t code, Utf8Sequence& bytes) {
  const auto byte = [](char32_t value) { return static_cast<uint8_t>(value); };
  if (code < 0x80) {
    bytes = {byte(code)};
    return 1;
  }
  if (code < 0x800) {
    bytes = {byte(0xC0 | (code >> 6)), byte(0x80 | (code & 0x3F))};
    return 2;
  }
  if (code < 0x10000) {
    bytes = {byte(0xE0 | (code >> 12)), byte(0x80 | ((code >> 6) & 0x3F)), byte(0x80 | (code & 0x3F))};
    return 3;
  }
  bytes = {byte(0xF0 | (code >> 18)), byte(0x80 | ((code >> 12) & 0x3F)), byte(0x80 | ((code >> 6) & 0x3F)),
           byte(0x80 | (code & 0x3F))};
  return 4;
}

std::string ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  Utf8Sequence bytes;
  for (size_t index = 0; index < text.size();) {
    const size_t length = EncodeUtf8(NextCodePoint(text, index), bytes);
    out.append(reinterpret_cast<const char*>(bytes.data()), length);
  }
  return out;
}

}  // namespace salvoran
