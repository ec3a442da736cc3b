#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace salvoran {

// The text cut to maxBytes at a character boundary, so that it stays valid UTF-8: file systems
// that check names (ntfs-3g, exFAT) refuse a cut character.
std::string CutUtf8(std::string text, size_t maxBytes);

// A name from the volume made safe to create in a folder: UTF-8, no path separator, NUL or
// control character, never empty, "." or "..", and short enough for the file system.
std::string SafeFileName(std::u16string_view name);
// The same for a UTF-8 name, such as a part of a file's original folder.
std::string SafeFileName(std::string_view name);

// A safe name with a number: "name (2).ext" for 2, the name itself for 1; cut to fit the file
// system's limit with the extension kept.
std::string NumberedName(const std::string& name, unsigned number);

// The names given in one folder of a restore, and for each name the number it has reached, so
// that the ten thousandth file called Thumbs.db costs what the first did.
class FolderNames {
 public:
  // The first of "name.ext", "name (2).ext", "name (3).ext", ..., from the number name reached
  // last time on, that no earlier call gave and exists denies.
  std::string Unique(const std::string& name, const std::function<bool(const std::string& candidate)>& exists);

 private:
  std::unordered_set<std::string> given_;
  std::unordered_map<std::string, unsigned> reached_;
};

}  // namespace salvoran
