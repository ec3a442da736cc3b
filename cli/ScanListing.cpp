#include <array>
#include <cctype>
#include <cstdio>

#include "cli/ByteSpool.h"
#include "cli/FolderTree.h"
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

// What a line of the listing shows besides the file's id, name and folder. A found file's id
// follows the line in the spool; the folder is a number in the listing's FolderTree, or when the
// tree is full, its text, which follows the id; the name follows that.
struct ListedLine {
  double CreateTime = 0;
  double ModifyTime = 0;
  int64_t FileSize = 0;
  uint64_t Clusters = 0;
  uint64_t OverwrittenClusters = 0;
  uint64_t UnknownClusters = 0;
  int32_t Record = 0;
  FolderTree::Id Folder = FolderTree::NotKept;
  uint32_t FolderBytes = 0;  // of the text when the folder is not kept in the tree
  uint32_t NameBytes = 0;
  uint32_t IdBytes = 0;  // a found file's id, which stands in the record's column; 0 for the others
  FileOrigin Origin = FileOrigin::Mft;
};

// Ends the line of a file the deep scan found outside the MFT in use: "  [Found]", "  [Carved]".
std::string OriginNote(FileOrigin origin) {
  if (origin == FileOrigin::Mft) return {};
  std::string note = "  [" + std::string(OriginName(origin)) + "]";
  note[3] = static_cast<char>(std::toupper(static_cast<unsigned char>(note[3])));
  return note;
}

// Only a file that other files have taken clusters of says so: " [Partly overwritten: 32 of 64
// clusters in use]"; or one of whose clusters the volume cannot tell: " [Unknown: 8 of 64
// clusters]".
std::string StateNote(const ListedLine& line) {
  const ContentState state = ContentStateOf(line.Clusters, line.OverwrittenClusters, line.UnknownClusters);
  if (state == ContentState::Good) return {};
  if (state == ContentState::Unknown) {
    return "  [" + std::string(ContentStateCaption(state)) + ": " + std::to_string(line.UnknownClusters) + " of " +
           std::to_string(line.Clusters) + " clusters]";
  }
  return "  [" + std::string(ContentStateCaption(state)) + ": " + std::to_string(line.OverwrittenClusters) + " of " +
         std::to_string(line.Clusters) + " clusters in use]";
}

// Reads count bytes of the spool as text.
std::string ReadText(ByteSpool::Reader& reader, size_t count) {
  std::string text(count, '\0');
  reader.Read(text.data(), text.size());
  return text;
}

// The listing groups files by category, so it keeps every file until the scan ends: each as a
// compact line, its folder (once per folder, in the tree) and its name, in the spool of its
// category. Neither grows with the length of the files' folders, and the spools go to temporary
// files past their memory.
class ListingPrinter : public ScanPrinter {
 public:
  void Add(FoundFile&& file) override {
    const std::string name = ToUtf8(file.Data.FileName);
    const std::string id = file.Data.Origin != FileOrigin::Mft ? FileIdOf(file) : std::string();
    const FolderTree::Id folder = folders_.Add(file.Folder);
    const std::string_view folderText = folder == FolderTree::NotKept ? std::string_view(file.Folder) : "";
    const ListedLine line{file.Data.CreateTime,
                          file.Data.ModifyTime,
                          file.Data.FileSize,
                          file.Clusters,
                          file.OverwrittenClusters,
                          file.UnknownClusters,
                          file.RecordIndex,
                          folder,
                          static_cast<uint32_t>(folderText.size()),
                          static_cast<uint32_t>(name.size()),
                          static_cast<uint32_t>(id.size()),
                          file.Data.Origin};
    const auto category = static_cast<size_t>(file.Category);
    ++counts_[category];
    spools_[category].Append(&line, sizeof line);
    spools_[category].Append(id.data(), id.size());
    spools_[category].Append(folderText.data(), folderText.size());
    spools_[category].Append(name.data(), name.size());
  }

  void Finish(const ScanSummary&) override {
    OutputBuffer out;
    FolderTree::Id shownFolder = FolderTree::NotKept;
    std::string folderText;
    for (FileCategory category : AllCategories) {
      const auto index = static_cast<size_t>(category);
      out.Text() += std::string(CategoryCaption(category)) + "(" + std::to_string(counts_[index]) + ")\n";
      ByteSpool::Reader reader(spools_[index]);
      ListedLine line;
      while (reader.Read(&line, sizeof line)) {
        std::string id = ReadText(reader, line.IdBytes);
        if (line.Folder == FolderTree::NotKept) {
          folderText = ReadText(reader, line.FolderBytes);
        } else if (line.Folder != shownFolder) {
          folderText = folders_.Text(line.Folder);
        }
        shownFolder = line.Folder;
        const std::string path = TerminalText(FilePath(folderText, ReadText(reader, line.NameBytes)));
        if (id.empty()) id = std::to_string(line.Record);
        char fixed[128];
        std::snprintf(fixed, sizeof fixed, "  %8s  %s  %s  %12s  ", id.c_str(), LocalTimeText(line.CreateTime).c_str(),
                      LocalTimeText(line.ModifyTime).c_str(), FormatFileSize(line.FileSize).c_str());
        out.Text() += fixed + path + StateNote(line) + OriginNote(line.Origin) + "\n";
        out.FlushWhenFull();
      }
    }
    out.Flush();
  }

 private:
  // The folders' share of the listing's memory; past it, folders are spooled as text.
  static constexpr size_t FolderTreeBytes = size_t{16} << 20;

  CategoryCounts counts_{};
  FolderTree folders_{FolderTreeBytes};
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
