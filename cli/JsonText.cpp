#include "cli/JsonText.h"

#include <cstdio>

#include "cli/Utf8Decode.h"

namespace salvoran::cli {

namespace {

constexpr std::string_view ReplacementCharacter = "\xEF\xBF\xBD";  // U+FFFD

bool IsAscii(char c) { return static_cast<unsigned char>(c) < 0x80; }
bool NeedsEscape(char c) { return c == '"' || c == '\\' || static_cast<unsigned char>(c) < 0x20; }

}  // namespace

void AppendJsonString(std::string& out, std::string_view text) {
  out.push_back('"');
  // Most names need no escape at all: copy the plain stretches whole.
  size_t plainStart = 0;
  for (size_t i = 0; i < text.size();) {
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
