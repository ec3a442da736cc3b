#include <nlohmann/json.hpp>
#include <optional>
#include <type_traits>

#include "cli/FoundFileFields.h"
#include "cli/JsonText.h"
#include "cli/OutputBuffer.h"
#include "cli/ScanPrinter.h"
#include "engine/VolumeRepair.h"

namespace salvoran::cli {
namespace {

// One field of a file's object; the streams only for files that have some.
template <typename Value>
void AppendJsonField(std::string& out, std::string_view name, const Value& value, bool& first) {
  if constexpr (std::is_same_v<Value, std::vector<NamedStream>>) {
    if (value.empty()) return;
  }
  // The names are the program's own plain words: no escape to look for.
  out += first ? "\n      \"" : ",\n      \"";
  first = false;
  out += name;
  out += "\": ";
  if constexpr (std::is_same_v<Value, std::string_view>) {
    AppendJsonString(out, value);
  } else if constexpr (std::is_same_v<Value, bool>) {
    out += value ? "true" : "false";
  } else if constexpr (std::is_same_v<Value, std::vector<NamedStream>>) {
    AppendStreamList(out, value);
  } else if constexpr (std::is_same_v<Value, std::optional<int64_t>>) {
    out += value ? std::to_string(*value) : "null";
  } else {
    out += std::to_string(value);
  }
}

// Which copies stood in for a damaged boot sector or MFT head, or null.
nlohmann::ordered_json RepairedFromJson(uint8_t repairs) {
  if (repairs == NotRepaired) return nullptr;
  return RepairedFromText(repairs);
}

nlohmann::ordered_json PartitionJson(const VolumeLocation& volume) {
  if (!volume.Partition) return nullptr;
  return {{"number", volume.Partition->Number}, {"offset", volume.Partition->Offset}, {"size", volume.Partition->Size}};
}

// The document goes out as the scan goes: the volume first, then each file as it is found, and
// the counts of the scan, known only at its end, after the files.
class JsonPrinter : public ScanPrinter {
 public:
  void Started(const VolumeGeometry& geometry) override {
    nlohmann::ordered_json head;
    head["source"] = geometry.DrivePath.Path;
    // Offsets below are the volume's own; a partition's offset on its disk is given here.
    head["volume"] = {{"partition", PartitionJson(geometry.DrivePath)},
                      {"bytes_per_sector", geometry.BytesPerSector},
                      {"sectors_per_cluster", geometry.SectorsPerCluster},
                      {"bytes_per_cluster", geometry.BytesPerCluster},
                      {"file_record_size", geometry.FileRecordSize},
                      {"mft_offset", geometry.MftOffset},
                      {"record_count", geometry.RecordCount},
                      {"repaired_from", RepairedFromJson(geometry.RepairedFrom)}};
    std::string& out = out_.Text();
    out = JsonDocumentText(head);
    out.resize(out.size() - 2);  // "\n}": the file list follows
    out += ",\n  \"files\": [";
  }

  void Add(FoundFile&& file) override {
    std::string& out = out_.Text();
    out += anyFile_ ? ",\n    {" : "\n    {";
    anyFile_ = true;
    bool first = true;
    VisitFileFields(file, [&](std::string_view name, const auto& value) { AppendJsonField(out, name, value, first); });
    out += "\n    }";
    out_.FlushWhenFull();
  }

  void Finish(const ScanSummary& summary) override {
    std::string& out = out_.Text();
    out += anyFile_ ? "\n  ],\n" : "],\n";
    out += "  \"records_scanned\": " + std::to_string(summary.RecordsScanned) + ",\n";
    out += "  \"unreadable_records\": " + std::to_string(summary.UnreadableRecords) + "\n}\n";
    out_.Flush();
  }

 private:
  OutputBuffer out_;
  bool anyFile_ = false;
};

}  // namespace

std::unique_ptr<ScanPrinter> MakeJsonPrinter() { return std::make_unique<JsonPrinter>(); }

}  // namespace salvoran::cli
