#pragma once

#include <filesystem>
#include <string>

namespace salvoran {

// True when writing at path could land on the device being recovered from: the source is a
// block device and path's file system lives on it (or on one of its partitions). Writing there
// can overwrite the very data being restored. An image file as source answers false.
bool PathIsOnSourceDevice(const std::filesystem::path& path, const std::string& sourcePath);

}  // namespace salvoran
