#pragma once

#include <cstdint>

#include "engine/ByteView.h"

namespace salvoran {

// One of the passes that look at the whole source as it is read once, sequentially: the finders
// of boot sectors and of MFT records, a carver. Each looks at the block in memory; none reads.
class SourceBlockConsumer {
 public:
  virtual ~SourceBlockConsumer() = default;
  // The next block of the source: its first byte lies at sourceOffset, and it follows the one
  // before without a gap. Bytes that could not be read are zeros.
  virtual void Consume(uint64_t sourceOffset, ByteView block) = 0;
  // After the last block, also when the pass was stopped early.
  virtual void Finish() {}
};

}  // namespace salvoran
