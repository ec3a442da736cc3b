#pragma once

#include <cstdint>
#include <span>

#include "recovery/ContentSink.h"

namespace salvoran::cli {

// Content written to standard output as it comes: a pipe cannot seek, so holes and the zeros up
// to the final length are written out. Throws EngineError when stdout refuses the bytes.
class StdoutSink : public ContentSink {
 public:
  void Write(std::span<const std::byte> bytes) override;
  void Skip(uint64_t count) override;
  void Commit(uint64_t length) override;

 private:
  void WriteZeros(uint64_t count);

  uint64_t position_ = 0;
};

}  // namespace salvoran::cli
