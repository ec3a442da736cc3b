#pragma once

#include <cstdint>
#include <optional>
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
struct FileAttributes {
  ByteView StandardInformation;
  ByteView FileName;  // the first long name, as FindAttribute prefers it
  std::vector<DataStream> Streams;
  AttributeLoss ListLoss = AttributeLoss::None;  // the list itself could not be read
  std::vector<std::vector<std::byte>> ExtensionRecords;

  const DataStream* Stream(std::u16string_view name) const;
  bool Encrypted() const;
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
FileAttributes GatherFileAttributes(ByteView baseRecord, uint64_t baseIndex, RecordFetcher& fetcher,
                                    FileState state = FileState::Deleted);

}  // namespace salvoran
