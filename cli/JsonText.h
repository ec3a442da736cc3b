#pragma once

#include <string>
#include <string_view>

namespace salvoran::cli {

// Appends text as a JSON string literal. The scan listing writes its document directly: for a
// volume with a million deleted files, building a document tree first costs more than the scan.
void AppendJsonString(std::string& out, std::string_view text);

}  // namespace salvoran::cli
