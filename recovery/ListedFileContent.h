#pragma once

#include <cstdint>
#include <string>

#include "engine/VolumeGeometry.h"
#include "engine/VolumeSource.h"
#include "recovery/ContentRecovery.h"
#include "recovery/ContentSink.h"

namespace salvoran {

// Which listed file's content to read: a file record's, or a carved file's plain range of the source.
struct ListedFileRef {
  int64_t RecordOffset = 0;  // of its file record on the volume; carved: its first byte in the source
  std::u16string Stream;     // a named stream to read instead of the content; empty for the content
  uint64_t CarvedLength = 0;  // of a carved file, its bytes; 0 for a file of a record
};

// The content of a listed file into sink, as a restore writes it; only its first firstBytes
// when cut. The one way a front end reads a file without restoring it. Throws EngineError with
// the user's message.
void ReadListedFileContent(VolumeSource& volume, const VolumeGeometry& geometry, const ListedFileRef& file,
                           ContentSink& sink, uint64_t firstBytes = AllContent);

}  // namespace salvoran
