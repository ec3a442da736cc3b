#pragma once

#include <cstdint>

#include "engine/ContentState.h"

namespace salvoran {

// How many of a deleted file's clusters the volume has given to other files since.
struct ClusterUse {
  uint64_t Clusters = 0;     // allocated, holes not counted; 0 for content kept in the record
  uint64_t Overwritten = 0;  // of those, how many are marked in use now
  uint64_t Unknown = 0;      // of those, how many the volume's bitmap cannot say of
};

inline ContentState StateOf(const ClusterUse& use) {
  return ContentStateOf(use.Clusters, use.Overwritten, use.Unknown);
}

}  // namespace salvoran
