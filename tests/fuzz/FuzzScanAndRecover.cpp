// Takes the input as a whole volume, scans it as the command line does and restores every file
// the scan lists into a sink that only counts, so a hostile volume reaches the deepest states
// of the engine without anything being written to disk.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "tests/fuzz/ListingAndCounting.h"

using namespace salvoran;
using namespace salvoran::fuzz;

namespace {

// A preview's look at the start of a file: a compression unit and a bit more.
constexpr uint64_t LookBytes = 66'000;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::SilenceWarnings();
  MemoryVolume volume(std::vector<std::byte>(reinterpret_cast<const std::byte*>(data),
                                             reinterpret_cast<const std::byte*>(data + size)));
  VolumeGeometry geometry;
  ListingObserver observer;
  if (!ScanListing(volume, geometry, observer)) return 0;
  for (const FoundFile& file : observer.Files) {
    CountingSink sink;
    if (!RestoreCounted(volume, geometry, file, sink)) continue;
    // A look at its start gets no byte past the cut.
    CountingSink start;
    RecoverFileContent(volume, geometry, file.Data.RecordOffset, [&]() -> ContentSink& { return start; }, {},
                       LookBytes);
    if (!start.Committed() || start.Length() != std::min<uint64_t>(sink.Length(), LookBytes)) std::abort();
  }
  return 0;
}
