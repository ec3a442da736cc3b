#include "cli/FileFilter.h"

#include <fnmatch.h>
#include <locale.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <ctime>

#include "cli/HelpText.h"
#include "engine/FileCategory.h"
#include "engine/FileNameText.h"
#include "engine/FileTime.h"

namespace salvoran::cli {
namespace {

// Letter case is folded beyond ASCII ("RÉSUMÉ*" finds "Résumé.txt") only in a UTF-8 locale;
// the program's own is "C".
locale_t Utf8Locale() {
  static const locale_t locale = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
  return locale;
}

bool MatchesGlob(const std::string& pattern, const std::string& text) {
  const locale_t utf8 = Utf8Locale();
  const locale_t previous = utf8 ? ::uselocale(utf8) : static_cast<locale_t>(0);
  const bool matches = ::fnmatch(pattern.c_str(), text.c_str(), FNM_CASEFOLD) == 0;
  if (utf8) ::uselocale(previous);
  return matches;
}

std::string UpperAsciiText(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; });
  return text;
}

bool HasExtension(const FoundFile& file, const std::vector<std::string>& extensions) {
  const std::string own = UpperAsciiText(ToUtf8(file.Data.Extension));
  return std::any_of(extensions.begin(), extensions.end(), [&](const std::string& extension) {
    return own == "." + UpperAsciiText(extension.starts_with('.') ? extension.substr(1) : extension);
  });
}

std::string CheckIsoTime(const std::string& text) {
  return ParseIsoTime(text) ? std::string() : "not a date: give 2024-05-01, 2024-05-01T13:30 or 2024-05-01T13:30:00Z";
}

}  // namespace

std::optional<uint64_t> ParseIsoTime(const std::string& text) {
  std::tm parts{};
  int consumed = 0;
  if (std::sscanf(text.c_str(), "%4d-%2d-%2d%n", &parts.tm_year, &parts.tm_mon, &parts.tm_mday, &consumed) != 3 ||
      consumed != 10) {
    return std::nullopt;
  }
  std::string_view rest = std::string_view(text).substr(static_cast<size_t>(consumed));
  if (!rest.empty() && (rest.front() == 'T' || rest.front() == ' ')) {
    const std::string clock(rest.substr(1));
    int minutesEnd = 0;
    int secondsEnd = 0;
    if (std::sscanf(clock.c_str(), "%2d:%2d%n:%2d%n", &parts.tm_hour, &parts.tm_min, &minutesEnd, &parts.tm_sec,
                    &secondsEnd) < 2 ||
        (minutesEnd != 5)) {
      return std::nullopt;
    }
    rest.remove_prefix(1 + static_cast<size_t>(secondsEnd == 8 ? 8 : 5));
  }
  const bool utc = rest == "Z";
  if (!rest.empty() && !utc) return std::nullopt;

  const std::tm given = parts;
  parts.tm_year -= 1900;
  parts.tm_mon -= 1;
  parts.tm_isdst = -1;
  const std::time_t seconds = utc ? ::timegm(&parts) : std::mktime(&parts);
  // A day or hour out of range comes back moved ("2024-02-30" as March 1st): refused.
  if (seconds == -1 || parts.tm_year != given.tm_year - 1900 || parts.tm_mon != given.tm_mon - 1 ||
      parts.tm_mday != given.tm_mday || parts.tm_hour != given.tm_hour || parts.tm_min != given.tm_min) {
    return std::nullopt;
  }
  return UnixSecondsToFileTime(seconds);
}

bool FileFilter::Matches(const FoundFile& file) const {
  if (!NameGlob.empty() && !MatchesGlob(NameGlob, ToUtf8(file.Data.FileName))) return false;
  if (!FolderGlob.empty() && !MatchesGlob(FolderGlob, file.Folder)) return false;
  if (!Categories.empty() &&
      std::find(Categories.begin(), Categories.end(), CategoryName(file.Category)) == Categories.end()) {
    return false;
  }
  if (!Extensions.empty() && !HasExtension(file, Extensions)) return false;
  const uint64_t size = static_cast<uint64_t>(std::max<int64_t>(file.Data.FileSize, 0));
  if ((MinSize && size < *MinSize) || (MaxSize && size > *MaxSize)) return false;
  if (ModifiedAfter && file.ModifyFileTime < *ModifiedAfter) return false;
  if (ModifiedBefore && file.ModifyFileTime >= *ModifiedBefore) return false;
  return !Intact || (file.OverwrittenClusters == 0 && file.UnknownClusters == 0);
}

void AddFilterOptions(CLI::App& command, FileFilter& filter, CLI::Option* needed) {
  std::vector<std::string> categories;
  for (FileCategory category : AllCategories) categories.emplace_back(CategoryName(category));
  // The help names each value in its own words: no validator adds to them.
  const CLI::Validator isoTime(CheckIsoTime, "");
  CLI::AsSizeValue size(false);
  size.description("");
  const auto dateOption = [&](const char* name, std::optional<uint64_t>& time, std::string_view description) {
    return command
        .add_option_function<std::string>(
            name, [&time](const std::string& text) { time = ParseIsoTime(text); }, std::string(description))
        ->type_name("DATE")
        ->check(isoTime);
  };
  const std::vector<CLI::Option*> options = {
      command.add_option("--name", filter.NameGlob, std::string(help::FilterName))->type_name("GLOB"),
      command.add_option("--folder", filter.FolderGlob, std::string(help::FilterFolder))->type_name("GLOB"),
      command.add_option("--category", filter.Categories, std::string(help::FilterCategory))
          ->type_name("NAME")
          ->transform(CLI::IsMember(categories, CLI::ignore_case)),
      command.add_option("--ext", filter.Extensions, std::string(help::FilterExtension))->type_name("EXT"),
      command.add_option("--min-size", filter.MinSize, std::string(help::FilterMinSize))
          ->type_name("SIZE")
          ->transform(size),
      command.add_option("--max-size", filter.MaxSize, std::string(help::FilterMaxSize))
          ->type_name("SIZE")
          ->transform(size),
      dateOption("--modified-after", filter.ModifiedAfter, help::FilterModifiedAfter),
      dateOption("--modified-before", filter.ModifiedBefore, help::FilterModifiedBefore),
      command.add_flag("--intact", filter.Intact, std::string(help::FilterIntact)),
  };
  for (CLI::Option* option : options) {
    option->group("Filters");
    if (needed) option->needs(needed);
  }
}

}  // namespace salvoran::cli
