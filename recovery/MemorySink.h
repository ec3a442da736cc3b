#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "recovery/ContentSink.h"

namespace salvoran {

// Keeps content in memory from a given byte on, holes as zeros: a look at part of a file. What
// it holds is bounded by the length the copy commits, so cut the copy (firstBytes) to bound it.
class MemorySink : public ContentSink {
 public:
  explicit MemorySink(uint64_t firstKept = 0) : firstKept_(firstKept) {}

  void Write(std::span<const std::byte> bytes) override;
  void Skip(uint64_t count) override;
  void Commit(uint64_t length) override;

  // The content from firstKept on.
  const std::vector<std::byte>& Bytes() const { return bytes_; }

 private:
  // How many of the next count bytes lie before firstKept, and so are dropped.
  uint64_t Dropped(uint64_t count) const;

  uint64_t firstKept_;
  uint64_t position_ = 0;
  std::vector<std::byte> bytes_;
};

}  // namespace salvoran
