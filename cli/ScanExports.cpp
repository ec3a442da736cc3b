#include "cli/ScanExports.h"

#include <unistd.h>

#include <cstdio>
#include <string>
#include <type_traits>

#include "cli/CsvText.h"
#include "cli/FoundFileFields.h"
#include "cli/TerminalText.h"

namespace salvoran::cli {
namespace {

// The body format's fields are split at '|' and its lines at line ends: both must stay out of a
// name, as must whatever could act on a terminal.
std::string BodyfileText(std::string_view text) {
  std::string safe;
  for (char c : TerminalText(text)) {
    if (c == '|') {
      safe += "\\x7c";
    } else {
      safe += c;
    }
  }
  return safe;
}

std::string UnixSeconds(uint64_t fileTime) {
  return fileTime == 0 ? "0" : std::to_string(FileTimeToUnix(fileTime).Seconds);
}

// Output goes out in pieces of about this size, so a million rows need no document in memory.
constexpr size_t FlushBytes = 1u << 20;

void Flush(std::string& out, size_t atLeast = 0) {
  if (out.size() < atLeast) return;
  std::fwrite(out.data(), 1, out.size(), stdout);
  out.clear();
}

}  // namespace

void PrintCsv(const std::vector<FoundFile>& files) {
  // The values are the JSON's; only on a terminal are names kept from acting on it.
  const bool terminal = ::isatty(STDOUT_FILENO) == 1;
  std::string out;
  bool first = true;
  VisitFileFields(FoundFile{}, [&](std::string_view name, const auto&) {
    if (!first) out += ',';
    first = false;
    out += name;
  });
  out += CsvRowEnd;
  for (const FoundFile& file : files) {
    first = true;
    VisitFileFields(file, [&](std::string_view, const auto& value) {
      using Value = std::decay_t<decltype(value)>;
      if (!first) out += ',';
      first = false;
      std::string text;
      if constexpr (std::is_same_v<Value, std::string_view>) {
        text = value;
      } else if constexpr (std::is_same_v<Value, bool>) {
        text = value ? "true" : "false";
      } else if constexpr (std::is_same_v<Value, std::vector<NamedStream>>) {
        if (!value.empty()) AppendStreamList(text, value);
      } else {
        text = std::to_string(value);
      }
      AppendCsvField(out, terminal ? TerminalText(text) : text);
    });
    out += CsvRowEnd;
    Flush(out, FlushBytes);
  }
  Flush(out);
}

void PrintBodyfile(const std::vector<FoundFile>& files) {
  std::string out;
  for (const FoundFile& file : files) {
    // As The Sleuth Kit marks the names of deleted files.
    out += "0|" + BodyfileText(FilePath(file) + " (deleted)") + "|" + std::to_string(file.RecordIndex) +
           "|r/rrwxrwxrwx|0|0|" + std::to_string(file.Data.FileSize) + "|" + UnixSeconds(file.AccessFileTime) + "|" +
           UnixSeconds(file.ModifyFileTime) + "|" + UnixSeconds(file.MftModifyFileTime) + "|" +
           UnixSeconds(file.CreateFileTime) + "\n";
    Flush(out, FlushBytes);
  }
  Flush(out);
}

}  // namespace salvoran::cli
