#pragma once

#include <cstdint>
#include <cstdio>

#include "engine/carving/CarvedFile.h"

namespace salvoran::cli {

// What the deep scan's carving gave: how many files it listed, and the candidates it dropped.
struct CarvingOutcome {
  uint64_t Listed = 0;
  carving::DropCounts Dropped;
};

// "Carved files:  20", then one line per type of the candidates dropped and why.
void PrintCarvingSummary(std::FILE* out, const CarvingOutcome& outcome);

}  // namespace salvoran::cli
