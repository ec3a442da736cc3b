#pragma once

#include <cstdint>

namespace salvoran {

// Clusters [First, First + Count) of a volume.
struct ClusterRun {
  uint64_t First = 0;
  uint64_t Count = 0;
};

}  // namespace salvoran
