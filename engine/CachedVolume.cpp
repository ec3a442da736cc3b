#include "engine/CachedVolume.h"

#include <algorithm>
#include <cstring>

namespace salvoran {

const CachedVolume::Window& CachedVolume::Load(uint64_t index) {
  ++uses_;
  for (Window& window : windows_) {
    if (window.Index == index) {
      window.LastUse = uses_;
      return window;
    }
  }
  if (windows_.size() < KeptWindows) {
    windows_.emplace_back();
  }
  Window& slot = *std::min_element(windows_.begin(), windows_.end(),
                                   [](const Window& a, const Window& b) { return a.LastUse < b.LastUse; });
  slot.Index = index;
  slot.LastUse = uses_;
  slot.Bytes.resize(WindowBytes);
  const ReadOutcome outcome = inner_.ReadAt(index * WindowBytes, slot.Bytes);
  slot.Length = outcome.BytesRead;
  slot.ErrorCode = outcome.ErrorCode;
  return slot;
}

ReadOutcome CachedVolume::ReadAt(uint64_t offset, std::span<std::byte> buffer) {
  // A read larger than a window gains nothing from one.
  if (buffer.size() > WindowBytes) return inner_.ReadAt(offset, buffer);
  ReadOutcome outcome;
  while (outcome.BytesRead < buffer.size()) {
    const uint64_t at = offset + outcome.BytesRead;
    const Window& window = Load(at / WindowBytes);
    const size_t skip = static_cast<size_t>(at % WindowBytes);
    if (skip >= window.Length) {
      // A window cut short by a failure is read directly, so the caller gets what it would have.
      if (window.ErrorCode == 0) return outcome;
      const ReadOutcome direct = inner_.ReadAt(at, buffer.subspan(outcome.BytesRead));
      return {outcome.BytesRead + direct.BytesRead, direct.ErrorCode};
    }
    const size_t count = std::min(window.Length - skip, buffer.size() - outcome.BytesRead);
    std::memcpy(buffer.data() + outcome.BytesRead, window.Bytes.data() + skip, count);
    outcome.BytesRead += count;
  }
  return outcome;
}

}  // namespace salvoran
