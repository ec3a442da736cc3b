#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/DeletedFileScan.h"

namespace salvoran {

// The id a listing gives each file, unique within a scan, which a restore takes back without a
// scan: "r" and the record number for a file of the MFT in use ("r70"); "f" and the hexadecimal
// offset in the source of a found record ("f1a2b400"), followed by "@" and the hexadecimal offset
// of its volume when that volume does not start the source ("f1c2b400@100000"); "c" and the
// hexadecimal offset in the source of a carved file's first byte, "-" and its length in bytes,
// also hexadecimal ("c3c0000-1f3a"): a carved file is that range of the source, so its id alone
// says what to restore.
std::string FileIdOf(const FoundFile& file);

struct FileId {
  FileOrigin Origin = FileOrigin::Mft;
  int64_t Record = 0;              // Mft: the record number
  uint64_t RecordSourceOffset = 0; // Found: where the record lies in the source; Carved: its first byte
  uint64_t VolumeOffset = 0;       // Found: where its volume starts in the source
  uint64_t Length = 0;             // Carved: its bytes
};

// Nothing when the text is no id of that form.
std::optional<FileId> ParseFileId(std::string_view text);

}  // namespace salvoran
