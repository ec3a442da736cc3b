#include <algorithm>
#include <array>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <type_traits>

#include "support/FormatFileSize.h"
#include "cli/Commands.h"
#include "cli/FoundFileFields.h"
#include "cli/JsonText.h"
#include "cli/ScanCollector.h"
#include "cli/ScanExports.h"
#include "cli/SourceChoice.h"
#include "cli/TerminalText.h"
#include "engine/ContentState.h"
#include "engine/DateTime.h"

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

// Only a file that other files have taken clusters of says so: " [Partly overwritten: 32 of 64
// clusters in use]".
std::string StateNote(const FoundFile& file) {
  const ContentState state = ContentStateOf(file.Clusters, file.OverwrittenClusters);
  if (state == ContentState::Good) return {};
  return "  [" + std::string(ContentStateCaption(state)) + ": " + std::to_string(file.OverwrittenClusters) + " of " +
         std::to_string(file.Clusters) + " clusters in use]";
}

void PrintListing(const std::vector<FoundFile>& files) {
  const auto counts = CountPerCategory(files);
  for (FileCategory category : AllCategories) {
    std::printf("%s(%d)\n", std::string(CategoryCaption(category)).c_str(), counts[static_cast<size_t>(category)]);
    for (const FoundFile& file : files) {
      if (file.Category != category) continue;
      std::printf("  %8d  %s  %s  %12s  %s%s\n", file.RecordIndex, LocalTimeText(file.Data.CreateTime).c_str(),
                  LocalTimeText(file.Data.ModifyTime).c_str(), FormatFileSize(file.Data.FileSize).c_str(),
                  TerminalText(FilePath(file)).c_str(), StateNote(file).c_str());
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

// One field of a file's object; the streams only for files that have some.
template <typename Value>
void AppendJsonField(std::string& out, std::string_view name, const Value& value, bool& first) {
  if constexpr (std::is_same_v<Value, std::vector<NamedStream>>) {
    if (value.empty()) return;
  }
  out += first ? "\n      " : ",\n      ";
  first = false;
  AppendJsonString(out, name);
  out += ": ";
  if constexpr (std::is_same_v<Value, std::string_view>) {
    AppendJsonString(out, value);
  } else if constexpr (std::is_same_v<Value, bool>) {
    out += value ? "true" : "false";
  } else if constexpr (std::is_same_v<Value, std::vector<NamedStream>>) {
    AppendStreamList(out, value);
  } else {
    out += std::to_string(value);
  }
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
    out += i == 0 ? "\n    {" : ",\n    {";
    bool first = true;
    VisitFileFields(file, [&](std::string_view name, const auto& value) { AppendJsonField(out, name, value, first); });
    out += "\n    }";
  }
  out += files.empty() ? "]\n}\n" : "\n  ]\n}\n";
  std::fwrite(out.data(), 1, out.size(), stdout);
}

}  // namespace

int RunScan(const std::string& source, uint32_t partition, ScanOutput output, const FileFilter& filter) {
  const std::optional<VolumeLocation> volume = ChooseVolume(source, partition);
  if (!volume) return UsageOrSourceError;
  VolumeGeometry geometry;
  ScanCollector collector(filter);
  ScanSummary summary;
  if (!CollectScan(*volume, geometry, collector, summary)) return UsageOrSourceError;
  switch (output) {
    case ScanOutput::Listing: PrintListing(collector.Files()); break;
    case ScanOutput::Summary: PrintSummary(collector.Files(), summary); break;
    case ScanOutput::Json: PrintJson(geometry, collector.Files(), summary); break;
    case ScanOutput::Csv: PrintCsv(collector.Files()); break;
    case ScanOutput::Bodyfile: PrintBodyfile(collector.Files()); break;
  }
  if (summary.UnreadableRecords > 0 && output != ScanOutput::Summary) {
    std::fprintf(stderr, "%d records could not be read and were skipped.\n", summary.UnreadableRecords);
  }
  return AllWell;
}

}  // namespace salvoran::cli
