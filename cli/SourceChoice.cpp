#include "cli/SourceChoice.h"

#include "cli/TerminalText.h"
#include "engine/DiskLayout.h"
#include "support/FormatFileSize.h"
#include "support/Messages.h"

namespace salvoran::cli {
namespace {

const DiskPartition* FindPartition(const PartitionTable& table, uint32_t number) {
  for (const DiskPartition& partition : table.Partitions) {
    if (partition.Span.Number == number) return &partition;
  }
  return nullptr;
}

}  // namespace

bool ReadSourceTable(const std::string& source, std::optional<PartitionTable>& table) {
  const OpenResult opened = OpenSource(source);
  if (!opened.Volume) {
    std::fprintf(stderr, "%s\n", TerminalText(OpenFailureText(messages::OpenToScanFailed, opened)).c_str());
    return false;
  }
  table = ReadDiskLayout(*opened.Volume);
  return true;
}

std::optional<VolumeLocation> ChooseVolume(const std::string& source, uint32_t partition) {
  std::optional<PartitionTable> table;
  if (!ReadSourceTable(source, table)) return std::nullopt;
  return ChooseVolume(source, table, partition);
}

std::optional<VolumeLocation> ChooseVolumeToDeepScan(const std::string& source, uint32_t partition) {
  std::optional<PartitionTable> table;
  if (!ReadSourceTable(source, table)) return std::nullopt;
  if (table && partition == NoPartitionGiven && NtfsPartitions(*table).empty()) return VolumeLocation(source);
  return ChooseVolume(source, table, partition);
}

std::optional<VolumeLocation> ChooseVolume(const std::string& source, const std::optional<PartitionTable>& table,
                                           uint32_t partition) {
  if (!table) {
    if (partition == NoPartitionGiven) return VolumeLocation(source);
    std::fprintf(stderr, "%s has no partition table: leave out --partition.\n", TerminalText(source).c_str());
    return std::nullopt;
  }
  if (partition != NoPartitionGiven) {
    if (const DiskPartition* chosen = FindPartition(*table, partition)) return VolumeLocation(source, chosen->Span);
    std::fprintf(stderr, "%s has no partition %u. Its partitions:\n", TerminalText(source).c_str(), partition);
    PrintPartitionTable(stderr, *table, false);
    return std::nullopt;
  }
  const std::vector<const DiskPartition*> ntfs = NtfsPartitions(*table);
  if (ntfs.size() == 1) return VolumeLocation(source, ntfs.front()->Span);
  if (ntfs.empty()) {
    std::fprintf(stderr, "%s\n%s holds no NTFS partition. Its partitions:\n", std::string(messages::NotNtfs).c_str(),
                 TerminalText(source).c_str());
    PrintPartitionTable(stderr, *table, false);
  } else {
    std::fprintf(stderr, "%s holds %zu NTFS partitions; choose one with --partition N:\n",
                 TerminalText(source).c_str(), ntfs.size());
    PrintPartitionTable(stderr, *table, true);
  }
  return std::nullopt;
}

void PrintPartitionTable(std::FILE* out, const PartitionTable& table, bool ntfsOnly) {
  std::fprintf(out, "  %9s  %14s  %12s  %-4s  %s\n", "Partition", "Offset", "Size", "NTFS", "Label");
  for (const DiskPartition& partition : table.Partitions) {
    if (ntfsOnly && !partition.IsNtfs) continue;
    std::fprintf(out, "  %9u  %14llu  %12s  %-4s  %s\n", partition.Span.Number,
                 static_cast<unsigned long long>(partition.Span.Offset),
                 FormatFileSize(static_cast<int64_t>(partition.Span.Size)).c_str(), partition.IsNtfs ? "yes" : "no",
                 TerminalText(partition.Label).c_str());
  }
}

}  // namespace salvoran::cli
