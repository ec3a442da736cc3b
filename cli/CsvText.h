#pragma once

#include <string>
#include <string_view>

namespace salvoran::cli {

// Appends one field of a CSV row as RFC 4180 has it: in double quotes, with quotes doubled, when
// it holds a comma, a quote or a line break; as it is otherwise.
void AppendCsvField(std::string& out, std::string_view text);

// The same for a text that comes from the volume, such as a name. One that a spreadsheet would
// take for a formula (it starts with =, +, -, @, a tab or a carriage return) gets an apostrophe
// before it inside quotes, as spreadsheet makers advise: the cell shows the text, never runs it.
void AppendCsvText(std::string& out, std::string_view text);

// Rows end with CRLF, as RFC 4180 asks.
inline constexpr std::string_view CsvRowEnd = "\r\n";

}  // namespace salvoran::cli
