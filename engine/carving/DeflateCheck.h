#pragma once

#include <cstdint>
#include <memory>

#include "engine/ByteView.h"

namespace salvoran::carving {

// Inflates a raw deflate stream as its bytes pass, keeping only the CRC-32 and size of what
// comes out: a ZIP entry's data is checked without holding it.
class DeflateCheck {
 public:
  DeflateCheck();
  ~DeflateCheck();
  DeflateCheck(const DeflateCheck&) = delete;
  DeflateCheck& operator=(const DeflateCheck&) = delete;

  enum class State { Going, Ended, Broken };
  // Takes compressed bytes; `used` says how many, fewer once the stream has ended.
  State Take(ByteView bytes, size_t& used);
  uint32_t Crc() const { return crc_; }
  uint64_t OutputBytes() const { return output_; }

 private:
  struct Stream;
  std::unique_ptr<Stream> stream_;
  uint32_t crc_ = 0;
  uint64_t output_ = 0;
  State state_ = State::Going;
};

}  // namespace salvoran::carving
