#include <array>
#include <cstdio>

#include "cli/ByteSpool.h"
#include "cli/FoundFileFields.h"
#include "cli/OutputBuffer.h"
#include "cli/ScanPrinter.h"
#include "cli/TerminalText.h"
#include "engine/ContentState.h"
#include "engine/DateTime.h"
#include "engine/FileId.h"
#include "support/FormatFileSize.h"

namespace salvoran::cli {
namespace {

using CategoryCounts = std::array<int, AllCategories.size()>;

std::string LocalTimeText(double dateTime) {
  const CivilDateTime civil = DecodeDateTime(dateTime);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", civil.Year, civil.Month, civil.Day, civil.Hour,
                civil.Minute, civil.Second);
  return text;
}

// What a line of the listing shows besides the file's path, which follows it in the spool.
struct ListedLine {
  double CreateTime = 0;
  double ModifyTime = 0;
  int64_t FileSize = 0;
  uint64_t Clusters = 0;
  uint64_t OverwrittenClusters = 0;
  int32_t Record = 0;
  uint32_t PathBytes = 0;
  uint32_t IdBytes = 0;  // a found file's id, which stands in the record's column; 0 for the others
};

// Ends the line of a file found outside the MFT in use by the deep scan.
constexpr char FoundNote[] = "  [Found]";

// Only a file that other files have taken clusters of says so: " [Partly overwritten: 32 of 64
// clusters in use]".
std::string StateNote(const ListedLine& line) {
  const ContentState state = ContentStateOf(line.Clusters, line.OverwrittenClusters);
  if (state == ContentState::Good) return {};
  return "  [" + std::string(ContentStateCaption(state)) + ": " + std::to_string(line.OverwrittenClusters) + " of " +
         std::to_string(line.Clusters) + " clusters in use]";
}

// The listing groups files by category, so it keeps every file until the scan ends: each as a
// compact line and its path, in the spool of its category.
class ListingPrinter : public ScanPrinter {
 public:
  void Add(FoundFile&& file) override {
    const std::string path = TerminalText(FilePath(file));
    const std::string id = file.Data.Origin == FileOrigin::Found ? FileIdOf(file) : std::string();
    const ListedLine line{file.Data.CreateTime, file.Data.ModifyTime,          file.Data.FileSize,
                          file.Clusters,        file.OverwrittenClusters,      file.RecordIndex,
                          static_cast<uint32_t>(path.size()), static_cast<uint32_t>(id.size())};
    const auto category = static_cast<size_t>(file.Category);
    ++counts_[category];
    spools_[category].Append(&line, sizeof line);
    spools_[category].Append(id.data(), id.size());
    spools_[category].Append(path.data(), path.size());
  }

  void Finish(const ScanSummary&) override {
    OutputBuffer out;
    for (FileCategory category : AllCategories) {
      const auto index = static_cast<size_t>(category);
      out.Text() += std::string(CategoryCaption(category)) + "(" + std::to_string(counts_[index]) + ")\n";
      ByteSpool::Reader reader(spools_[index]);
      ListedLine line;
      std::string id;
      std::string path;
      while (reader.Read(&line, sizeof line)) {
        id.resize(line.IdBytes);
        reader.Read(id.data(), id.size());
        path.resize(line.PathBytes);
        reader.Read(path.data(), path.size());
        if (id.empty()) id = std::to_string(line.Record);
        char fixed[128];
        std::snprintf(fixed, sizeof fixed, "  %8s  %s  %s  %12s  ", id.c_str(), LocalTimeText(line.CreateTime).c_str(),
                      LocalTimeText(line.ModifyTime).c_str(), FormatFileSize(line.FileSize).c_str());
        out.Text() += fixed + path + StateNote(line) + (line.IdBytes != 0 ? FoundNote : "") + "\n";
        out.FlushWhenFull();
      }
    }
    out.Flush();
  }

 private:
  CategoryCounts counts_{};
  std::array<ByteSpool, AllCategories.size()> spools_;
};

class SummaryPrinter : public ScanPrinter {
 public:
  void Add(FoundFile&& file) override { ++counts_[static_cast<size_t>(file.Category)]; }

  void Finish(const ScanSummary& summary) override {
    std::printf("Records scanned:      %d\n", summary.RecordsScanned);
    std::printf("Records unreadable:   %d\n", summary.UnreadableRecords);
    for (FileCategory category : AllCategories) {
      std::printf("%-22s%d\n", (std::string(CategoryCaption(category)) + ":").c_str(),
                  counts_[static_cast<size_t>(category)]);
    }
  }

 private:
  CategoryCounts counts_{};
};

}  // namespace

std::unique_ptr<ScanPrinter> MakeListingPrinter() { return std::make_unique<ListingPrinter>(); }

std::unique_ptr<ScanPrinter> MakeSummaryPrinter() { return std::make_unique<SummaryPrinter>(); }

}  // namespace salvoran::cli
