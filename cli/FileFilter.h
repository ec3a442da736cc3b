#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/DeletedFileScan.h"

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace salvoran::cli {

// Which found files a scan lists and recover --all restores: both collect through the same
// filter, so they always agree. An empty filter passes every file.
struct FileFilter {
  std::string NameGlob;    // shell pattern on the name, letter case ignored
  std::string FolderGlob;  // the same on FoundFile::Folder; '*' also matches '/'
  std::vector<std::string> Categories;  // CategoryName values, any of them
  std::vector<std::string> Extensions;  // without the full stop, any of them, letter case ignored
  std::optional<uint64_t> MinSize;
  std::optional<uint64_t> MaxSize;
  std::optional<uint64_t> ModifiedAfter;   // NTFS file times: modified at or after it
  std::optional<uint64_t> ModifiedBefore;  // and before it
  bool Intact = false;  // no cluster in use by another file, none whose state is unknown

  bool Matches(const FoundFile& file) const;
};

// Adds --name, --folder, --category, --ext, --min-size, --max-size, --modified-after,
// --modified-before and --intact to a command; each refuses a value it cannot use. With needed,
// each needs that option too (recover's --all).
void AddFilterOptions(CLI::App& command, FileFilter& filter, CLI::Option* needed = nullptr);

// The NTFS file time an ISO 8601 date ("2024-05-01", midnight) or date-time
// ("2024-05-01T13:30", "2024-05-01 13:30:15") stands for: local time, or UTC with a final "Z".
std::optional<uint64_t> ParseIsoTime(const std::string& text);

}  // namespace salvoran::cli
