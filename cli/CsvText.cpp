#include "cli/CsvText.h"

namespace salvoran::cli {
namespace {

constexpr std::string_view FormulaStarts = "=+-@\t\r";
constexpr char FormulaGuard = '\'';

void AppendQuoted(std::string& out, std::string_view prefix, std::string_view text) {
  out += '"';
  out += prefix;
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

}  // namespace

void AppendCsvField(std::string& out, std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
    out += text;
    return;
  }
  AppendQuoted(out, {}, text);
}

void AppendCsvText(std::string& out, std::string_view text) {
  if (text.empty() || FormulaStarts.find(text.front()) == std::string_view::npos) {
    AppendCsvField(out, text);
    return;
  }
  AppendQuoted(out, std::string_view(&FormulaGuard, 1), text);
}

}  // namespace salvoran::cli
