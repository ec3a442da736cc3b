#pragma once

#include <cstddef>
#include <memory>
#include <vector>

namespace salvoran::cli {

// Bytes appended in order and read back in that order, kept in blocks of a fixed size: unlike a
// growing vector it never copies what it holds nor, while growing, holds room for twice as much.
// Past memoryBytes, the rest goes to a temporary file (in TMPDIR, removed as it is made), so a
// listing of any size keeps its memory bounded. Throws std::system_error when that file cannot
// be made or written.
class ByteSpool {
 public:
  static constexpr size_t DefaultMemoryBytes = size_t{8} << 20;

  explicit ByteSpool(size_t memoryBytes = DefaultMemoryBytes);
  ~ByteSpool();
  ByteSpool(const ByteSpool&) = delete;
  ByteSpool& operator=(const ByteSpool&) = delete;

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
  void Spill(const std::byte* bytes, size_t count);
  void WriteSpilled(const std::byte* bytes, size_t count);

  size_t memoryBytes_;
  std::vector<std::unique_ptr<std::byte[]>> blocks_;
  size_t size_ = 0;
  // Past memoryBytes_: the file, what it holds, and the bytes waiting to fill a block for it.
  int file_ = -1;
  size_t fileBytes_ = 0;
  std::vector<std::byte> waiting_;
};

}  // namespace salvoran::cli
