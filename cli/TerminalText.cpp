#include "cli/TerminalText.h"

#include <cstdint>
#include <cstdio>

#include "support/Utf8Decode.h"

namespace salvoran::cli {
namespace {

constexpr char32_t Delete = 0x7F;
constexpr char32_t LastC1Control = 0x9F;

// Embedding, override and isolate marks: they reorder what follows them on the line.
bool IsDirectionMark(char32_t code) { return (code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069); }

void AppendHex(std::string& out, const char* format, unsigned value) {
  char escaped[12];
  std::snprintf(escaped, sizeof escaped, format, value);
  out += escaped;
}

}  // namespace

std::string TerminalText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t index = 0; index < text.size();) {
    const size_t start = index;
    const std::optional<char32_t> code = DecodeUtf8(text, index);
    if (!code) {
      AppendHex(out, "\\x%02x", static_cast<unsigned char>(text[start]));
      continue;
    }
    switch (*code) {
      case '\\': out += "\\\\"; continue;
      case '\n': out += "\\n"; continue;
      case '\r': out += "\\r"; continue;
      case '\t': out += "\\t"; continue;
      default: break;
    }
    if (*code < 0x20 || *code == Delete) {
      AppendHex(out, "\\x%02x", static_cast<unsigned>(*code));
    } else if ((*code > Delete && *code <= LastC1Control) || IsDirectionMark(*code)) {
      AppendHex(out, "\\u%04x", static_cast<unsigned>(*code));
    } else {
      out.append(text.substr(start, index - start));
    }
  }
  return out;
}

}  // namespace salvoran::cli
