#include "support/TextDetection.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "support/Utf8Decode.h"

namespace salvoran {
namespace {

// Text may hold a stray control character (a form feed, an escape of a coloured log); binary
// content is full of them.
constexpr size_t MaxControlsPerThousand = 10;
constexpr size_t MinPrintablePercent = 95;
constexpr size_t LongestUtf8Sequence = 4;

bool IsControl(uint8_t byte) {
  const bool whitespace = byte == '\t' || byte == '\n' || byte == '\v' || byte == '\f' || byte == '\r';
  return (byte < 0x20 && !whitespace) || byte == 0x7F;
}

bool StartsWith(std::span<const std::byte> bytes, std::initializer_list<uint8_t> mark) {
  return bytes.size() >= mark.size() &&
         std::equal(mark.begin(), mark.end(), bytes.begin(), [](uint8_t a, std::byte b) { return a == uint8_t(b); });
}

// Drops a sequence that the end of a sample cut in two.
std::string_view WithoutCutSequence(std::string_view text) {
  const size_t tail = std::min(text.size(), LongestUtf8Sequence - 1);
  for (size_t back = 1; back <= tail; ++back) {
    const auto byte = static_cast<uint8_t>(text[text.size() - back]);
    if ((byte & 0xC0) == 0x80) continue;  // a continuation byte: look further back
    const size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
    return length > back ? text.substr(0, text.size() - back) : text;
  }
  return text;
}

bool IsFewControls(size_t controls, size_t total) { return controls * 1000 <= total * MaxControlsPerThousand; }

bool IsUtf8Text(std::string_view text) {
  size_t controls = 0;
  for (size_t index = 0; index < text.size();) {
    const auto byte = static_cast<uint8_t>(text[index]);
    if (byte == 0 || !DecodeUtf8(text, index)) return false;
    controls += IsControl(byte) ? 1 : 0;
  }
  return IsFewControls(controls, text.size());
}

bool IsMostlyPrintable(std::span<const std::byte> bytes) {
  size_t printable = 0;
  for (const std::byte value : bytes) {
    const auto byte = static_cast<uint8_t>(value);
    if (byte == 0) return false;
    // Letters of a code page lie from 0xA0 on; 0x80 to 0x9F are controls in most of them.
    printable += (!IsControl(byte) && (byte < 0x80 || byte >= 0xA0)) ? 1 : 0;
  }
  return printable * 100 >= bytes.size() * MinPrintablePercent;
}

}  // namespace

TextEncoding DetectTextEncoding(std::span<const std::byte> bytes, bool cutShort) {
  if (StartsWith(bytes, {0xFF, 0xFE})) return TextEncoding::Utf16LittleEndian;
  if (StartsWith(bytes, {0xFE, 0xFF})) return TextEncoding::Utf16BigEndian;
  std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (cutShort) text = WithoutCutSequence(text);
  if (IsUtf8Text(text)) return TextEncoding::Utf8;
  return IsMostlyPrintable(bytes) ? TextEncoding::SingleByte : TextEncoding::Binary;
}

}  // namespace salvoran
