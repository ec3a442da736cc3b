#pragma once

#include <cstdint>
#include <span>

#include "engine/AttributeValues.h"

namespace salvoran {

// Where restored content goes: a file being written, or anything else that takes the same three
// steps. Content arrives in order; a hole is skipped, not written.
class ContentSink {
 public:
  virtual ~ContentSink() = default;
  virtual void Write(std::span<const std::byte> bytes) = 0;
  // Leaves a hole: the bytes read as zero without being written.
  virtual void Skip(uint64_t count) = 0;
  // The times of the file being restored, given before Commit; a sink may keep them.
  virtual void KeepTimes(const StandardTimes& /*times*/) {}
  // Sets the final length, cutting or extending with zeros, and completes the content.
  virtual void Commit(uint64_t length) = 0;
};

}  // namespace salvoran
