#pragma once

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace salvoran::cli {

// Appends text as a JSON string literal; bytes that are not UTF-8 become U+FFFD. The scan listing
// writes its document directly: for a volume with a million deleted files, building a document
// tree first costs more than the scan.
void AppendJsonString(std::string& out, std::string_view text);

// A document as text; strings that are not UTF-8 (a path given on the command line) get U+FFFD
// where nlohmann's dump would throw.
inline std::string JsonDocumentText(const nlohmann::ordered_json& document) {
  return document.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace salvoran::cli
