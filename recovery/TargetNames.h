#pragma once

#include <functional>
#include <set>
#include <string>
#include <string_view>

namespace salvoran {

// A name from the volume made safe to create in a folder: UTF-8, no path separator, NUL or
// control character, never empty, "." or "..", and short enough for the file system.
std::string SafeFileName(std::u16string_view name);
// The same for a UTF-8 name, such as a part of a file's original folder.
std::string SafeFileName(std::string_view name);

// A safe name with a number: "name (2).ext" for 2, the name itself for 1; cut to fit the file
// system's limit with the extension kept.
std::string NumberedName(const std::string& name, unsigned number);

// The first of "name.ext", "name (2).ext", "name (3).ext", ... that taken lacks and exists denies;
// it is added to taken.
std::string UniqueName(const std::string& name, std::set<std::string>& taken,
                       const std::function<bool(const std::string& candidate)>& exists);

}  // namespace salvoran
