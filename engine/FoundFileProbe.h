#pragma once

#include <cstdint>
#include <optional>

#include "engine/DeletedFileScan.h"
#include "engine/SourceSurvey.h"

namespace salvoran {

struct ProbedFile {
  std::optional<FoundFile> File;  // the file, as the deep scan lists it
  // The records the file needs were not all where its MFT was guessed to lie: only a read of the
  // whole source can place them.
  bool NeedsWholeSource = false;
};

// The found file whose record lies at recordOffset in the source, in the volume that starts at
// volumeOffset, read without the deep scan's pass over the whole source. The record's MFT is
// guessed to lie around it: through the runs of the record 0 that its own number puts before it,
// when that record places it, else in one stretch from there on. Exactly the records its
// description asks for are read at their guessed places and kept only with their own numbers;
// they are then placed as the deep scan places what it finds (RebuildFoundMfts), so the file comes
// out as the scan listed it. No file when the record is none; NeedsWholeSource when a record asked
// for was not at its guessed place, or no volume around it is known.
ProbedFile ProbeFoundFile(VolumeSource& source, const SourceSurvey& survey, uint64_t recordOffset,
                          uint64_t volumeOffset);

}  // namespace salvoran
