#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/CraftedVolume.h"

namespace salvoran::test {

// A volume of deleted files, all alike, in a chain of folders named with 255 CJK characters each:
// with five, every path is 4.6 KB long. What a listing that kept each path would pay for, file by
// file; with more, a folder deeper than a Linux path.
struct LongFoldersVolume {
  Bytes Image;
  std::string Folder;    // the files' folder, as a scan gives it
  std::string FileName;  // UTF-8
};
LongFoldersVolume FilesInLongFolders(int32_t files, int32_t depth = 5);
// The same in a chain of folders named as given, from the top.
LongFoldersVolume FilesInFolders(int32_t files, const std::vector<std::u16string>& folders);

}  // namespace salvoran::test
