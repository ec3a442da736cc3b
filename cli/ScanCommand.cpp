#include <algorithm>
#include <array>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "support/FormatFileSize.h"
#include "cli/Commands.h"
#include "cli/JsonText.h"
#include "cli/ScanCollector.h"
#include "cli/SourceChoice.h"
#include "cli/TerminalText.h"
#include "engine/DateTime.h"
#include "engine/FileNameText.h"
#include "engine/FileTime.h"

namespace salvoran::cli {
namespace {

std::string LocalTimeText(double dateTime) {
  const CivilDateTime civil = DecodeDateTime(dateTime);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", civil.Year, civil.Month, civil.Day, civil.Hour,
                civil.Minute, civil.Second);
  return text;
}

std::array<int, AllCategories.size()> CountPerCategory(const std::vector<FoundFile>& files) {
  std::array<int, AllCategories.size()> counts{};
  for (const FoundFile& file : files) ++counts[static_cast<size_t>(file.Category)];
  return counts;
}

void PrintListing(const std::vector<FoundFile>& files) {
  const auto counts = CountPerCategory(files);
  for (FileCategory category : AllCategories) {
    std::printf("%s(%d)\n", std::string(CategoryCaption(category)).c_str(), counts[static_cast<size_t>(category)]);
    for (const FoundFile& file : files) {
      if (file.Category != category) continue;
      std::printf("  %8d  %s  %s  %12s  %s\n", file.RecordIndex, LocalTimeText(file.Data.CreateTime).c_str(),
                  LocalTimeText(file.Data.ModifyTime).c_str(), FormatFileSize(file.Data.FileSize).c_str(),
                  TerminalText(ToUtf8(file.Data.FileName)).c_str());
    }
  }
}

void PrintSummary(const std::vector<FoundFile>& files, const ScanSummary& summary) {
  std::printf("Records scanned:      %d\n", summary.RecordsScanned);
  std::printf("Records unreadable:   %d\n", summary.UnreadableRecords);
  const auto counts = CountPerCategory(files);
  for (FileCategory category : AllCategories) {
    std::printf("%-22s%d\n", (std::string(CategoryCaption(category)) + ":").c_str(),
                counts[static_cast<size_t>(category)]);
  }
}

void AppendField(std::string& out, std::string_view name, std::string_view text) {
  out += ",\n      ";
  AppendJsonString(out, name);
  out += ": ";
  AppendJsonString(out, text);
}

void AppendField(std::string& out, std::string_view name, int64_t value) {
  out += ",\n      ";
  AppendJsonString(out, name);
  out += ": ";
  out += std::to_string(value);
}

void AppendFlag(std::string& out, std::string_view name, bool value) {
  out += ",\n      ";
  AppendJsonString(out, name);
  out += value ? ": true" : ": false";
}

// Only files that have named streams carry the list.
void AppendStreams(std::string& out, const std::vector<NamedStream>& streams) {
  if (streams.empty()) return;
  out += ",\n      \"streams\": [";
  for (size_t i = 0; i < streams.size(); ++i) {
    out += i == 0 ? "{\"name\": " : ", {\"name\": ";
    AppendJsonString(out, ToUtf8(streams[i].Name));
    out += ", \"size\": " + std::to_string(streams[i].Size) + "}";
  }
  out += "]";
}

nlohmann::ordered_json PartitionJson(const VolumeLocation& volume) {
  if (!volume.Partition) return nullptr;
  return {{"number", volume.Partition->Number}, {"offset", volume.Partition->Offset}, {"size", volume.Partition->Size}};
}

void PrintJson(const VolumeGeometry& geometry, const std::vector<FoundFile>& files,
               const ScanSummary& summary) {
  nlohmann::ordered_json head;
  head["source"] = geometry.DrivePath.Path;
  // Offsets below are the volume's own; a partition's offset on its disk is given here.
  head["volume"] = {{"partition", PartitionJson(geometry.DrivePath)},
                    {"bytes_per_sector", geometry.BytesPerSector},
                    {"sectors_per_cluster", geometry.SectorsPerCluster},
                    {"bytes_per_cluster", geometry.BytesPerCluster},
                    {"file_record_size", geometry.FileRecordSize},
                    {"mft_offset", geometry.MftOffset},
                    {"record_count", geometry.RecordCount}};
  head["records_scanned"] = summary.RecordsScanned;
  head["unreadable_records"] = summary.UnreadableRecords;
  std::string out = JsonDocumentText(head);
  out.resize(out.size() - 2);  // "\n}": the file list follows
  out += ",\n  \"files\": [";
  for (size_t i = 0; i < files.size(); ++i) {
    const FoundFile& file = files[i];
    out += i == 0 ? "\n    {\n      \"record\": " : ",\n    {\n      \"record\": ";
    out += std::to_string(file.RecordIndex);
    AppendField(out, "record_offset", file.Data.RecordOffset);
    AppendField(out, "name", ToUtf8(file.Data.FileName));
    AppendField(out, "extension", ToUtf8(file.Data.Extension));
    AppendField(out, "category", CategoryName(file.Category));
    AppendField(out, "size", file.Data.FileSize);
    AppendField(out, "created", FileTimeToIsoUtc(file.CreateFileTime));
    AppendField(out, "modified", FileTimeToIsoUtc(file.ModifyFileTime));
    AppendFlag(out, "encrypted", file.Encrypted);
    AppendStreams(out, file.Streams);
    out += "\n    }";
  }
  out += files.empty() ? "]\n}\n" : "\n  ]\n}\n";
  std::fwrite(out.data(), 1, out.size(), stdout);
}

}  // namespace

int RunScan(const std::string& source, uint32_t partition, ScanOutput output) {
  const std::optional<VolumeLocation> volume = ChooseVolume(source, partition);
  if (!volume) return UsageOrSourceError;
  VolumeGeometry geometry;
  ScanCollector collector;
  ScanSummary summary;
  if (!CollectScan(*volume, geometry, collector, summary)) return UsageOrSourceError;
  switch (output) {
    case ScanOutput::Listing: PrintListing(collector.Files()); break;
    case ScanOutput::Summary: PrintSummary(collector.Files(), summary); break;
    case ScanOutput::Json: PrintJson(geometry, collector.Files(), summary); break;
  }
  if (summary.UnreadableRecords > 0 && output != ScanOutput::Summary) {
    std::fprintf(stderr, "%d records could not be read and were skipped.\n", summary.UnreadableRecords);
  }
  return AllWell;
}

}  // namespace salvoran::cli
