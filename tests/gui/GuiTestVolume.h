#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/CraftedVolume.h"

namespace salvoran::test {

struct SampleFile {
  std::u16string Name;
  uint64_t Created = SampleCreated;  // NTFS file times, UTC
  uint64_t Modified = SampleModified;
  size_t Size = 16;  // resident content
};

// Writes an NTFS image whose MFT holds recordCount records (at least enough for the files), the
// given deleted files one per record from the first user record on.
void WriteVolumeImage(const std::filesystem::path& path, const std::vector<SampleFile>& files, int32_t recordCount = 0);

// As above, then cuts the image short after the given MFT record, so that the records beyond it
// cannot be read.
void WriteTruncatedVolumeImage(const std::filesystem::path& path, const std::vector<SampleFile>& files,
                               int32_t recordCount, int32_t lastReadableRecord);

}  // namespace salvoran::test
