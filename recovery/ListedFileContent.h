#pragma once

#include <cstdint>
#include <string>

#include "engine/VolumeGeometry.h"
#include "engine/VolumeSource.h"
#include "recovery/ContentRecovery.h"
#include "recovery/ContentSink.h"

namespace salvoran {

// Which listed file's content to read. Every file listed now is a free MFT record; a file found
// another way will say here where its content lies, and its readers need not change.
struct ListedFileRef {
  int64_t RecordOffset = 0;  // of its file record on the volume
  std::u16string Stream;     // a named stream to read instead of the content; empty for the content
};

// The content of a listed file into sink, as a restore writes it; only its first firstBytes
// when cut. The one way a front end reads a file without restoring it. Throws EngineError with
// the user's message.
void ReadListedFileContent(VolumeSource& volume, const VolumeGeometry& geometry, const ListedFileRef& file,
                           ContentSink& sink, uint64_t firstBytes = AllContent);

}  // namespace salvoran
