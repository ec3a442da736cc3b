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
// of its volume when that volume does not start the source ("f1c2b400@100000"). Carved files
// will take "c" and the offset of their first byte.
std::string FileIdOf(const FoundFile& file);

struct FileId {
  FileOrigin Origin = FileOrigin::Mft;
  int64_t Record = 0;              // Mft: the record number
  uint64_t RecordSourceOffset = 0; // Found: where the record lies in the source
  uint64_t VolumeOffset = 0;       // Found: where its volume starts in the source
};

// Nothing when the text is no id of that form.
std::optional<FileId> ParseFileId(std::string_view text);

}  // namespace salvoran
