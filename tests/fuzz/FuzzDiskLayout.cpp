// Feeds a small disk (the input's bytes) through the reading of its partition table, the chain
// of extended boot records and the NTFS boot sectors and labels of its partitions.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/DiskLayout.h"

using namespace salvoran;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::byte> bytes(size);
  if (size != 0) std::memcpy(bytes.data(), data, size);
  MemoryVolume disk(std::move(bytes));
  if (const std::optional<PartitionTable> table = ReadDiskLayout(disk)) (void)NtfsPartitions(*table);
  (void)ReadVolumeLabel(disk);
  return 0;
}
