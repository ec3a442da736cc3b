#include <unistd.h>

#include <charconv>
#include <optional>
#include <string>
#include <type_traits>

#include "cli/CsvText.h"
#include "cli/FoundFileFields.h"
#include "cli/OutputBuffer.h"
#include "cli/ScanPrinter.h"
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

// A time as Unix seconds, written in place.
void AppendUnixSeconds(std::string& out, uint64_t fileTime) {
  char digits[24];
  const int64_t seconds = fileTime == 0 ? 0 : FileTimeToUnix(fileTime).Seconds;
  out.append(digits, std::to_chars(digits, digits + sizeof digits, seconds).ptr);
}

class CsvPrinter : public ScanPrinter {
 public:
  CsvPrinter() {
    bool first = true;
    VisitFileFields(FoundFile{}, [&](std::string_view name, const auto&) {
      if (!first) out_.Text() += ',';
      first = false;
      out_.Text() += name;
    });
    out_.Text() += CsvRowEnd;
  }

  void Add(FoundFile&& file) override {
    std::string& out = out_.Text();
    bool first = true;
    VisitFileFields(file, [&](std::string_view, const auto& value) {
      using Value = std::decay_t<decltype(value)>;
      if (!first) out += ',';
      first = false;
      if constexpr (std::is_same_v<Value, std::string_view>) {
        AppendText(out, value);
      } else if constexpr (std::is_same_v<Value, bool>) {
        AppendText(out, value ? "true" : "false");
      } else if constexpr (std::is_same_v<Value, std::vector<NamedStream>>) {
        std::string text;
        if (!value.empty()) AppendStreamList(text, value);
        AppendText(out, text);
      } else if constexpr (std::is_same_v<Value, std::optional<int64_t>>) {
        if (value) {
          char digits[24];
          AppendText(out, std::string_view(digits, std::to_chars(digits, digits + sizeof digits, *value).ptr));
        } else {
          AppendText(out, "");
        }
      } else {
        char digits[24];
        AppendCsvField(out, std::string_view(digits, std::to_chars(digits, digits + sizeof digits, value).ptr));
      }
    });
    out += CsvRowEnd;
    out_.FlushWhenFull();
  }

  void Finish(const ScanSummary&) override { out_.Flush(); }

 private:
  void AppendText(std::string& out, std::string_view text) const {
    if (terminal_) {
      AppendCsvText(out, TerminalText(text));
    } else {
      AppendCsvText(out, text);
    }
  }

  // The values are the JSON's, texts guarded against spreadsheets (AppendCsvText); only on a
  // terminal are names kept from acting on it.
  const bool terminal_ = ::isatty(STDOUT_FILENO) == 1;
  OutputBuffer out_;
};

class BodyfilePrinter : public ScanPrinter {
 public:
  void Add(FoundFile&& file) override {
    // As The Sleuth Kit marks the names of deleted files; a found file by its id, which its record
    // number alone does not name.
    const bool found = file.Data.Origin != FileOrigin::Mft;
    std::string& out = out_.Text();
    out += "0|";
    out += BodyfileText(FilePath(file) + " (" + std::string(found ? OriginName(file.Data.Origin) : "deleted") + ")");
    out += '|';
    out += found ? FileIdOf(file) : std::to_string(file.RecordIndex);
    out += "|r/rrwxrwxrwx|0|0|";
    out += std::to_string(file.Data.FileSize);
    for (const uint64_t time : {file.AccessFileTime, file.ModifyFileTime, file.MftModifyFileTime, file.CreateFileTime}) {
      out += '|';
      AppendUnixSeconds(out, time);
    }
    out += '\n';
    out_.FlushWhenFull();
  }

  void Finish(const ScanSummary&) override { out_.Flush(); }

 private:
  OutputBuffer out_;
};

}  // namespace

std::unique_ptr<ScanPrinter> MakeCsvPrinter() { return std::make_unique<CsvPrinter>(); }

std::unique_ptr<ScanPrinter> MakeBodyfilePrinter() { return std::make_unique<BodyfilePrinter>(); }

}  // namespace salvoran::cli
