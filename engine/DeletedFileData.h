#pragma once

#include <cstdint>
#include <string>

namespace salvoran {

// The data of every result-tree node. A category root carries only its caption and IsFileEntry 0.
struct TDeletedFileData {
  std::u16string FileName;
  std::u16string Extension;  // full stop included, in the name's own letter case
  double CreateTime = 0;     // local date-time, days since 30 December 1899
  double ModifyTime = 0;
  int64_t FileSize = 0;
  int64_t RecordOffset = 0;  // absolute byte offset of the file record on the volume
  int32_t IsFileEntry = 0;
};

}  // namespace salvoran
