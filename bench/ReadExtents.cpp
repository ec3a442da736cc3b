// The floor for reading the MFT: one process reading the given extents of a file in order, in
// blocks of the given size, and dropping the bytes. Small blocks stay in the processor's cache
// (the fastest from the page cache); large ones keep a disk busy (the fastest cold).
//   read_extents FILE BLOCK_KIB OFFSET:LENGTH...   (bytes)
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

int main(int argc, char** argv) {
  const size_t blockBytes = argc > 2 ? std::strtoull(argv[2], nullptr, 10) << 10 : 0;
  if (blockBytes == 0) {
    std::fprintf(stderr, "usage: read_extents FILE BLOCK_KIB OFFSET:LENGTH...\n");
    return 2;
  }
  const int fd = ::open(argv[1], O_RDONLY);
  if (fd < 0) {
    std::fprintf(stderr, "read_extents: %s: %s\n", argv[1], std::strerror(errno));
    return 1;
  }
  std::vector<char> buffer(blockBytes);
  for (int i = 3; i < argc; ++i) {
    unsigned long long offset = 0;
    unsigned long long length = 0;
    if (std::sscanf(argv[i], "%llu:%llu", &offset, &length) != 2) {
      std::fprintf(stderr, "read_extents: not OFFSET:LENGTH: %s\n", argv[i]);
      return 2;
    }
    while (length > 0) {
      const size_t piece = length < blockBytes ? length : blockBytes;
      const ssize_t got = ::pread(fd, buffer.data(), piece, static_cast<off_t>(offset));
      if (got <= 0) {
        std::fprintf(stderr, "read_extents: read at %llu: %s\n", offset, got == 0 ? "end of file" : std::strerror(errno));
        return 1;
      }
      offset += static_cast<unsigned long long>(got);
      length -= static_cast<unsigned long long>(got);
    }
  }
  return 0;
}
