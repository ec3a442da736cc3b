#include "cli/JsonText.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "support/Utf8Decode.h"

namespace salvoran::cli {

namespace {

constexpr std::string_view ReplacementCharacter = "\xEF\xBF\xBD";  // U+FFFD

bool IsAscii(char c) { return static_cast<unsigned char>(c) < 0x80; }
bool NeedsEscape(char c) { return c == '"' || c == '\\' || static_cast<unsigned char>(c) < 0x20; }

constexpr uint64_t EachByte = 0x0101010101010101;
constexpr uint64_t HighBits = 0x8080808080808080;

// Whether any of eight bytes of ASCII is below n (n at most 0x80).
constexpr uint64_t AnyBelow(uint64_t bytes, uint8_t n) { return (bytes - EachByte * n) & ~bytes & HighBits; }

// Whether any of the eight bytes at text needs a look of its own: not ASCII, or an escape.
bool AnyNotPlain(const char* text) {
  uint64_t bytes;
  std::memcpy(&bytes, text, sizeof bytes);
  return (bytes & HighBits) != 0 || AnyBelow(bytes, 0x20) != 0 || AnyBelow(bytes ^ (EachByte * '"'), 1) != 0 ||
         AnyBelow(bytes ^ (EachByte * '\\'), 1) != 0;
}

}  // namespace

void AppendJsonString(std::string& out, std::string_view text) {
  out.push_back('"');
  // Most names need no escape at all: copy the plain stretches whole.
  size_t plainStart = 0;
  for (size_t i = 0; i < text.size();) {
    // Eight plain bytes at a time while they last: times, folders and most names are all plain.
    while (text.size() - i >= sizeof(uint64_t) && !AnyNotPlain(text.data() + i)) i += sizeof(uint64_t);
    if (i == text.size()) break;
    const char c = text[i];
    if (IsAscii(c) && !NeedsEscape(c)) {
      ++i;
      continue;
    }
    if (!IsAscii(c)) {
      // JSON is UTF-8: a byte that starts no character of it becomes U+FFFD.
      const size_t start = i;
      if (DecodeUtf8(text, i)) continue;
      out.append(text.substr(plainStart, start - plainStart));
      out += ReplacementCharacter;
      plainStart = i;
      continue;
    }
    out.append(text.substr(plainStart, i - plainStart));
    plainStart = ++i;
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default: {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned char>(c));
        out += escaped;
      }
    }
  }
  out.append(text.substr(plainStart));
  out.push_back('"');
}

}  // namespace salvoran::cli
