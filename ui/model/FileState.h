#pragma once

#include <cstdint>

namespace salvoran {

// How many of a deleted file's clusters the volume has given to other files since.
struct ClusterUse {
  uint64_t Clusters = 0;     // allocated, holes not counted; 0 for content kept in the record
  uint64_t Overwritten = 0;  // of those, how many are marked in use now
};

// Whether a file's content can still come back whole, in part or not at all.
enum class FileState : uint8_t { Good, PartlyOverwritten, Overwritten };

inline constexpr FileState StateOf(const ClusterUse& use) {
  if (use.Overwritten == 0) return FileState::Good;
  return use.Overwritten < use.Clusters ? FileState::PartlyOverwritten : FileState::Overwritten;
}

}  // namespace salvoran
