#include <blkid/blkid.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

#include "engine/MbrChain.h"
#include "engine/PartitionTable.h"

namespace salvoran {
namespace {

// Partition tables live at a disk's start (MBR, primary GPT) and end (backup GPT); extended boot
// records lie along the disk and are copied one by one.
constexpr uint64_t TableAreaBytes = 1u << 20;
constexpr uint64_t BlkidSectorBytes = 512;  // libblkid gives starts and sizes in these units
constexpr std::array<uint32_t, 2> SectorSizes = {512, 4096};
constexpr size_t BootRecordBytes = 512;
// An MBR slot of this type is unused, whatever its start and size say, as partitioning tools
// read it; libblkid lists it all the same.
constexpr int EmptyMbrSlotType = 0;

struct ProbeDeleter {
  void operator()(blkid_probe probe) const { blkid_free_probe(probe); }
};
using ProbeHandle = std::unique_ptr<std::remove_pointer_t<blkid_probe>, ProbeDeleter>;

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int Get() const { return fd_; }

 private:
  int fd_;
};

void CopyStretch(VolumeSource& disk, int mirror, uint64_t offset, uint64_t length) {
  std::vector<std::byte> bytes(length);
  const ReadOutcome outcome = disk.ReadAt(offset, bytes);
  for (size_t written = 0; written < outcome.BytesRead;) {
    const ssize_t count = ::pwrite(mirror, bytes.data() + written, outcome.BytesRead - written,
                                   static_cast<off_t>(offset + written));
    if (count <= 0) return;
    written += static_cast<size_t>(count);
  }
}

// libblkid reads only through a descriptor, and an E01 image has none: every disk is probed
// through a sparse copy in memory of the places where partition tables live, the same size as
// the disk so that a GPT's backup header is where the primary one says.
Descriptor MirrorTableAreas(VolumeSource& disk, uint64_t size, uint32_t bytesPerSector) {
  Descriptor mirror(::memfd_create("salvoran-partition-table", MFD_CLOEXEC));
  if (mirror.Get() < 0 || ::ftruncate(mirror.Get(), static_cast<off_t>(size)) != 0) return Descriptor(-1);
  const uint64_t area = std::min(size, TableAreaBytes);
  CopyStretch(disk, mirror.Get(), 0, area);
  CopyStretch(disk, mirror.Get(), size - area, area);
  for (const uint64_t offset : ExtendedBootRecordOffsets(disk, bytesPerSector)) {
    if (offset < size) CopyStretch(disk, mirror.Get(), offset, BootRecordBytes);
  }
  return mirror;
}

std::optional<PartitionTable> ProbeTable(int fd, uint64_t size, uint32_t bytesPerSector) {
  const ProbeHandle probe(blkid_new_probe());
  if (!probe || blkid_probe_set_device(probe.get(), fd, 0, static_cast<blkid_loff_t>(size)) != 0) return std::nullopt;
  blkid_probe_set_sectorsize(probe.get(), bytesPerSector);
  const blkid_partlist list = blkid_probe_get_partitions(probe.get());
  const blkid_parttable table = list != nullptr ? blkid_partlist_get_table(list) : nullptr;
  if (table == nullptr) return std::nullopt;
  PartitionTable result;
  result.Kind = blkid_parttable_get_type(table);
  const bool mbr = result.Kind == "dos";
  const int count = blkid_partlist_numof_partitions(list);
  for (int i = 0; i < count; ++i) {
    const blkid_partition partition = blkid_partlist_get_partition(list, i);
    // Containers hold logical partitions; nested tables (a BSD label inside a slice) hold no
    // volume of their own disk.
    if (partition == nullptr || blkid_partition_is_extended(partition) ||
        (blkid_partition_get_table(partition) != table && !blkid_partition_is_logical(partition)) ||
        (mbr && blkid_partition_get_type(partition) == EmptyMbrSlotType)) {
      continue;
    }
    const blkid_loff_t start = blkid_partition_get_start(partition);
    const blkid_loff_t length = blkid_partition_get_size(partition);
    const int number = blkid_partition_get_partno(partition);
    DiskPartition entry;
    if (start < 0 || length <= 0 || number <= 0 ||
        __builtin_mul_overflow(static_cast<uint64_t>(start), BlkidSectorBytes, &entry.Span.Offset) ||
        __builtin_mul_overflow(static_cast<uint64_t>(length), BlkidSectorBytes, &entry.Span.Size)) {
      continue;
    }
    entry.Span.Number = static_cast<uint32_t>(number);
    result.Partitions.push_back(std::move(entry));
  }
  return result;
}

}  // namespace

std::optional<PartitionTable> ReadPartitionTable(VolumeSource& disk) {
  const uint64_t size = disk.Size() != 0 ? disk.Size() : TableAreaBytes;
  for (const uint32_t bytesPerSector : SectorSizes) {
    const Descriptor mirror = MirrorTableAreas(disk, size, bytesPerSector);
    if (mirror.Get() < 0) return std::nullopt;
    if (auto table = ProbeTable(mirror.Get(), size, bytesPerSector)) return table;
  }
  return std::nullopt;
}

}  // namespace salvoran
