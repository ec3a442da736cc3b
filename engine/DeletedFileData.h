#pragma once

#include <cstdint>
#include <string>

namespace salvoran {

// Where a listed file was found: in the volume's MFT in use, or in a record the deep scan found
// outside it (the old MFT of a formatted volume, the MFT of a volume no partition table names), or
// carved: found by its content in clusters no record names any more.
enum class FileOrigin : uint8_t { Mft, Found, Carved };

// The data of every result-tree node. A category root carries only its caption and IsFileEntry 0.
struct TDeletedFileData {
  std::u16string FileName;
  std::u16string Extension;  // full stop included, in the name's own letter case
  double CreateTime = 0;     // local date-time, days since 30 December 1899
  double ModifyTime = 0;
  int64_t FileSize = 0;
  int64_t RecordOffset = 0;  // absolute byte offset of the file record on the volume; carved: of its content in the source
  int32_t IsFileEntry = 0;
  FileOrigin Origin = FileOrigin::Mft;
};

}  // namespace salvoran
