#pragma once

#include <cstdint>
#include <cstdlib>
#include <span>

#include "recovery/ContentSink.h"
#include "support/Diagnostics.h"

namespace salvoran::fuzz {

// Counts what a restore delivers. Content past the final length, or more than any file can hold,
// is a fault of the recovery, not of the volume.
class CountingSink : public ContentSink {
 public:
  void Write(std::span<const std::byte> bytes) override { Advance(bytes.size()); }
  void Skip(uint64_t count) override { Advance(count); }
  void Commit(uint64_t length) override {
    if (position_ > length || committed_) std::abort();
    committed_ = true;
    length_ = length;
  }

  bool Committed() const { return committed_; }
  uint64_t Length() const { return length_; }

 private:
  void Advance(uint64_t count) {
    if (committed_ || __builtin_add_overflow(position_, count, &position_)) std::abort();
  }

  uint64_t position_ = 0;
  uint64_t length_ = 0;
  bool committed_ = false;
};

// Warnings would show message boxes or flood the fuzzer's output: they are dropped, once.
inline void SilenceWarnings() {
  static const bool silenced = [] {
    SetWarningHandler([](std::string_view) { return 0; });
    return true;
  }();
  (void)silenced;
}

}  // namespace salvoran::fuzz
