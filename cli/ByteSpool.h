#pragma once

#include <cstddef>
#include <memory>
#include <vector>

namespace salvoran::cli {

// Bytes appended in order and read back in that order, kept in blocks of a fixed size: unlike a
// growing vector it never copies what it holds nor, while growing, holds room for twice as much.
class ByteSpool {
 public:
  void Append(const void* bytes, size_t count);

  class Reader {
   public:
    explicit Reader(const ByteSpool& spool) : spool_(spool) {}
    // Copies the next count bytes out; false, with nothing copied, when fewer are left.
    bool Read(void* bytes, size_t count);

   private:
    const ByteSpool& spool_;
    size_t position_ = 0;
  };

 private:
  std::vector<std::unique_ptr<std::byte[]>> blocks_;
  size_t size_ = 0;
};

}  // namespace salvoran::cli
