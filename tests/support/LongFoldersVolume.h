#pragma once

#include <cstdint>
#include <string>

#include "tests/support/CraftedVolume.h"

namespace salvoran::test {

// A volume of deleted files, all alike, in a chain of five folders named with 255 CJK characters
// each: every path is 4.6 KB long. What a listing that kept each path would pay for, file by file.
struct LongFoldersVolume {
  Bytes Image;
  std::string Folder;    // the files' folder, as a scan gives it
  std::string FileName;  // UTF-8
};
LongFoldersVolume FilesInLongFolders(int32_t files);

}  // namespace salvoran::test
