#include "cli/OutputBuffer.h"

#include <cstdio>

namespace salvoran::cli {
namespace {

constexpr size_t PieceBytes = size_t{1} << 20;

}  // namespace

void OutputBuffer::FlushWhenFull() {
  if (text_.size() >= PieceBytes) Flush();
}

void OutputBuffer::Flush() {
  std::fwrite(text_.data(), 1, text_.size(), stdout);
  text_.clear();
}

}  // namespace salvoran::cli
