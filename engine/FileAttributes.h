#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/ByteView.h"

namespace salvoran {

// What gathering a file's attributes needs of the volume.
class RecordFetcher {
 public:
  virtual ~RecordFetcher() = default;
  // Fills record with MFT record index, its fixups applied. False when the record cannot be
  // read whole or fails its check.
  virtual bool FetchRecord(uint64_t index, std::vector<std::byte>& record) = 0;

  enum class ContentRead { Read, TooLarge, Unreadable };
  // Fills content with the data of a non-resident attribute (its data size, at most maxBytes).
  virtual ContentRead ReadNonResident(ByteView attribute, uint64_t maxBytes, std::vector<std::byte>& content) = 0;
};

// Why part of a file's attributes could not be taken.
enum class AttributeLoss {
  None,
  Reused,      // an extension record now belongs to another file
  Unreadable,  // an extension record could not be read, or lacks what the list names
  ListTooLarge,
};

// One $DATA stream of a file: its attributes across the file's records.
struct DataStream {
  std::u16string Name;           // empty: the file's own content
  std::vector<ByteView> Pieces;  // sorted by starting VCN; a resident stream has one
  AttributeLoss Loss = AttributeLoss::None;

  // The piece that starts at VCN 0 (or the resident one): its header holds the sizes and flags.
  ByteView First() const;
  uint64_t Size() const;  // 0 when the first piece is lost
};

// A file's attributes gathered from its base record and, through its $ATTRIBUTE_LIST, from the
// extension records it names. Views point into the base record or into ExtensionRecords.
class FileAttributes {
 public:
  ByteView StandardInformation;
  ByteView FileName;  // the first long name, as FindAttribute prefers it
  AttributeLoss ListLoss = AttributeLoss::None;  // the list itself could not be read
  std::vector<std::vector<std::byte>> ExtensionRecords;

  std::span<const DataStream> Streams() const { return {streams_.data(), streamCount_}; }
  const DataStream* Stream(std::u16string_view name) const;
  bool Encrypted() const;

  // Empties it for another file, keeping what it has allocated: a scan gathers into one object.
  void Clear();
  // The stream of that UTF-16LE name, added when it is not there yet.
  DataStream& StreamNamed(ByteView name);
  // Puts each stream's pieces in the order of their starting VCN.
  void SortPieces();

 private:
  std::vector<DataStream> streams_;
  size_t streamCount_ = 0;
};

inline constexpr uint64_t NoRecordIndex = UINT64_MAX;
// Largest attribute list followed; NTFS itself keeps them below 256 KiB.
inline constexpr uint64_t MaxAttributeListBytes = 256u << 10;
// Bounds the memory one file's extension records take.
inline constexpr uint64_t MaxExtensionRecordBytes = 16u << 20;

// Whether the file is deleted (its records free) or live (its records in use, as $MFT's own).
enum class FileState { Deleted, Live };

// Gathers the attributes of the base record at MFT index baseIndex (NoRecordIndex when unknown:
// no extension record is then accepted). An extension record counts only when its base-record
// field names baseIndex and its in-use flag agrees with the file's state; a free file's
// extension record in use belongs to another file now.
void GatherFileAttributes(ByteView baseRecord, uint64_t baseIndex, RecordFetcher& fetcher, FileAttributes& file,
                          FileState state = FileState::Deleted);
FileAttributes GatherFileAttributes(ByteView baseRecord, uint64_t baseIndex, RecordFetcher& fetcher,
                                    FileState state = FileState::Deleted);

}  // namespace salvoran
