#include "cli/StdoutSink.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include "engine/EngineError.h"

namespace salvoran::cli {
namespace {

constexpr size_t ZeroBlockBytes = 64 * 1024;
constexpr char WriteFailed[] = "Cannot write to the standard output: ";

}  // namespace

void StdoutSink::Write(std::span<const std::byte> bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(STDOUT_FILENO, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      throw EngineError(std::string(WriteFailed) + std::strerror(errno));
    }
    bytes = bytes.subspan(static_cast<size_t>(written));
    position_ += static_cast<uint64_t>(written);
  }
}

void StdoutSink::Skip(uint64_t count) { WriteZeros(count); }

void StdoutSink::Commit(uint64_t length) {
  if (length > position_) WriteZeros(length - position_);
}

void StdoutSink::WriteZeros(uint64_t count) {
  static const std::array<std::byte, ZeroBlockBytes> zeros{};
  while (count > 0) {
    const size_t block = static_cast<size_t>(std::min<uint64_t>(count, zeros.size()));
    Write(std::span(zeros).first(block));
    count -= block;
  }
}

}  // namespace salvoran::cli
