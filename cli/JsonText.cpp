#include "cli/JsonText.h"

#include <cstdio>

namespace salvoran::cli {

namespace {

bool NeedsEscape(char c) { return c == '"' || c == '\\' || static_cast<unsigned char>(c) < 0x20; }

}  // namespace

void AppendJsonString(std::string& out, std::string_view text) {
  out.push_back('"');
  // Most names need no escape at all: copy the plain stretches whole.
  size_t plainStart = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (!NeedsEscape(c)) continue;
    out.append(text.substr(plainStart, i - plainStart));
    plainStart = i + 1;
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
