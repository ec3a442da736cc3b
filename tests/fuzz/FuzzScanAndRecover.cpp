// Takes the input as a whole volume, scans it as the command line does and restores every file
// the scan lists into a sink that only counts, so a hostile volume reaches the deepest states
// of the engine without anything being written to disk.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "support/Diagnostics.h"
#include "tests/fuzz/ListingAndCounting.h"

using namespace salvoran;
using namespace salvoran::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = [] {
    SetWarningHandler([](std::string_view) { return 0; });
    return true;
  }();
  (void)quiet;
  MemoryVolume volume(std::vector<std::byte>(reinterpret_cast<const std::byte*>(data),
                                             reinterpret_cast<const std::byte*>(data + size)));
  VolumeGeometry geometry;
  ListingObserver observer;
  if (!ScanListing(volume, geometry, observer)) return 0;
  for (const FoundFile& file : observer.Files) {
    CountingSink sink;
    RestoreCounted(volume, geometry, file, sink);
  }
  return 0;
}
