#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "engine/SourceBlockConsumer.h"
#include "engine/VolumeSource.h"

namespace salvoran {

// The size of each block handed to the consumers: large sequential reads keep a disk busy.
inline constexpr uint64_t SourceBlockBytes = 4u << 20;

struct SourcePassSummary {
  uint64_t BytesRead = 0;        // of the source, from its start: all of it unless stopped
  uint64_t UnreadableBytes = 0;  // of those, what could not be read and was handed over as zeros
  bool Stopped = false;
};

// Told the bytes handed over so far after each block; answering false stops the pass there.
using SourcePassProgress = std::function<bool(uint64_t bytesRead)>;

// Reads the whole source once, from its start to its end, in blocks of SourceBlockBytes, and
// hands each block to every consumer in turn, then calls their Finish. A thread of its own reads
// the next blocks while the consumers look at the current one, so the disk never waits for them;
// the source is then read from two threads and must allow it (SerializedVolume). A stretch that
// cannot be read is read again in smaller pieces, so a bad sector costs only itself. A source
// of unknown size (0) is read until it ends.
SourcePassSummary ReadWholeSource(VolumeSource& source, std::span<SourceBlockConsumer* const> consumers,
                                  const SourcePassProgress& progress);

}  // namespace salvoran
