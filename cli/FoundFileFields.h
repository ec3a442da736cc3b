#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/DeletedFileScan.h"
#include "engine/FileCategory.h"
#include "engine/FileId.h"
#include "engine/FileNameText.h"
#include "engine/FileTime.h"

namespace salvoran::cli {

// "mft", "found" or "carved": where the file was found.
std::string_view OriginName(FileOrigin origin);

// The fields scan prints for a found file, in order: the one list that --json and --csv both
// write. visit(name, value) is called with a std::string_view, an int64_t, a bool, an optional
// int64_t (null when empty), or the file's named streams.
template <typename Visitor>
void VisitFileFields(const FoundFile& file, Visitor&& visit) {
  visit("record", int64_t{file.RecordIndex});
  visit("record_offset", file.Data.RecordOffset);
  visit("name", std::string_view(ToUtf8(file.Data.FileName)));
  visit("extension", std::string_view(ToUtf8(file.Data.Extension)));
  visit("category", CategoryName(file.Category));
  visit("size", file.Data.FileSize);
  visit("created", std::string_view(FileTimeToIsoUtc(file.CreateFileTime)));
  visit("modified", std::string_view(FileTimeToIsoUtc(file.ModifyFileTime)));
  visit("mft_modified", std::string_view(FileTimeToIsoUtc(file.MftModifyFileTime)));
  visit("accessed", std::string_view(FileTimeToIsoUtc(file.AccessFileTime)));
  visit("folder", std::string_view(file.Folder));
  visit("clusters", static_cast<int64_t>(file.Clusters));
  visit("overwritten_clusters", static_cast<int64_t>(file.OverwrittenClusters));
  visit("unknown_clusters", static_cast<int64_t>(file.UnknownClusters));
  visit("encrypted", file.Encrypted);
  visit("origin", OriginName(file.Data.Origin));
  visit("id", std::string_view(FileIdOf(file)));
  visit("volume_offset", file.FoundIn ? std::optional<int64_t>(static_cast<int64_t>(VolumeOffsetInSource(*file.FoundIn)))
                                      : std::optional<int64_t>());
  visit("streams", file.Streams);
}

// The file's folder and name joined: "/a/b/name", "b/name" below a break, "name" alone when not
// even its folder is known.
std::string FilePath(const FoundFile& file);
std::string FilePath(std::string_view folder, std::string_view name);

// [{"name": "Zone.Identifier", "size": 26}, ...]
void AppendStreamList(std::string& out, const std::vector<NamedStream>& streams);

}  // namespace salvoran::cli
