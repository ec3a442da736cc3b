#pragma once

#include <filesystem>
#include <set>
#include <string>
#include <string_view>

namespace salvoran {

// A name from the volume made safe to create in a folder: UTF-8, no path separator, NUL or
// control character, never empty, "." or "..", and short enough for the file system.
std::string SafeFileName(std::u16string_view name);

// A path in folder for name that neither an earlier file of the same restore (taken) nor a file
// already in the folder holds: "name.ext", then "name (2).ext", "name (3).ext", ... The chosen
// name is added to taken.
std::filesystem::path UniqueTargetPath(const std::filesystem::path& folder, const std::string& name,
                                       std::set<std::string>& taken);

}  // namespace salvoran
