#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/FileAttributes.h"

namespace salvoran {

inline constexpr uint32_t RootFolderRecord = 5;
// The longest folder text given: the longest path Windows can make, 32,767 UTF-16 units, at three
// UTF-8 bytes each. Every real folder fits whole; only a crafted chain passes it.
inline constexpr size_t MaxFolderTextBytes = 32'767 * 3;

// Rebuilds the folder a deleted file was in from the parent reference of its $FILE_NAME, through
// directory records live or free, up to the root. A parent counts only when its record is a
// directory whose sequence number is the reference's, or one higher when the record is free
// (freeing raises it); any other record, a loop, or a folder longer than MaxFolderTextBytes ends
// the chain, and only the names below the end are given, so a reused record never names a
// wrong folder. Each directory record is read once: what it says is kept in a compact cache
// (about 50 bytes and the name per folder), emptied when it grows past MaxCacheBytes.
class OriginalFolders {
 public:
  explicit OriginalFolders(RecordFetcher& fetcher) : fetcher_(fetcher) {}

  // FoundFile::Folder for a name whose parent reference is parentReference: "/" or "/a/b" for a
  // whole chain, "a/b" below a break, "" when the parent itself is not known.
  std::string FolderOf(uint64_t parentReference);

  static constexpr size_t MaxCacheBytes = 32u << 20;

 private:
  enum class RecordKind : uint8_t { Unusable, LiveDirectory, FreeDirectory };
  enum class Chain : uint8_t { Unresolved, Resolving, Whole, Broken, Rejected };
  static constexpr uint32_t NoFolder = UINT32_MAX;

  // What one directory record says, and once resolved, where its chain leads.
  struct Folder {
    uint32_t Record = 0;
    uint32_t ParentRecord = NoFolder;  // from its name's reference; NoFolder when none
    uint32_t NameOffset = 0;           // in names_
    uint16_t NameBytes = 0;
    uint16_t Sequence = 0;
    uint16_t ParentSequence = 0;
    uint32_t TextBytes = 0;  // Whole or Broken: the length of its folder text
    RecordKind Kind = RecordKind::Unusable;
    Chain State = Chain::Unresolved;
    uint32_t Parent = NoFolder;  // the accepted parent's slot, once resolved
  };

  bool Accepts(const Folder& folder, uint16_t referenceSequence) const;
  uint32_t Lookup(uint32_t record);
  Folder Load(uint32_t record);
  void Resolve(uint32_t slot);
  std::string Text(uint32_t slot) const;
  size_t CacheBytes() const;
  void Clear();

  RecordFetcher& fetcher_;
  std::vector<Folder> folders_;
  std::string names_;
  // Open addressing: (record + 1) << 32 | slot, 0 for an empty place.
  std::vector<uint64_t> table_;
  std::vector<uint32_t> stack_;
  std::vector<std::byte> record_;
  FileAttributes attributes_;
  uint64_t lastReference_ = 0;
  std::string lastFolder_;
  bool haveLast_ = false;
};

}  // namespace salvoran
