#include "engine/RunList.h"

#include <string>

#include "engine/EngineError.h"
#include "support/Messages.h"

namespace salvoran {
namespace {

constexpr unsigned MaxFieldWidth = 8;

[[noreturn]] void Refuse(size_t position, const char* why) {
  throw EngineError(messages::RunReadFailed, std::string(why) + " at run-list byte " + std::to_string(position));
}

int64_t SignExtend(uint64_t value, unsigned width) {
  if (width == 0 || width >= MaxFieldWidth) return static_cast<int64_t>(value);
  const unsigned bits = 8 * width;
  const uint64_t signBit = uint64_t{1} << (bits - 1);
  return static_cast<int64_t>((value ^ signBit) - signBit);
}

}  // namespace

std::vector<DataRun> DecodeRunList(ByteView runList, uint64_t totalClusters) {
  std::vector<DataRun> runs;
  uint64_t allocatedClusters = 0;
  int64_t startCluster = 0;
  size_t position = 0;
  while (true) {
    if (position >= runList.size()) Refuse(position, "no end marker");
    const uint8_t header = std::to_integer<uint8_t>(runList[position]);
    if (header == 0) break;
    const unsigned lengthWidth = header & 0x0F;
    const unsigned offsetWidth = header >> 4;
    if (lengthWidth > MaxFieldWidth || offsetWidth > MaxFieldWidth) Refuse(position, "field wider than 8 bytes");
    if (!RangeFits(runList.size(), position + 1, lengthWidth + offsetWidth)) Refuse(position, "run past the list");

    DataRun run;
    run.ClusterCount = ReadLittleEndian(runList, position + 1, lengthWidth);
    const uint64_t rawOffset = ReadLittleEndian(runList, position + 1 + lengthWidth, offsetWidth);
    const int64_t delta = position == 0 ? static_cast<int64_t>(rawOffset) : SignExtend(rawOffset, offsetWidth);
    run.Sparse = delta == 0;
    if (!run.Sparse) {
      if (__builtin_add_overflow(startCluster, delta, &startCluster) || startCluster < 0) {
        Refuse(position, "run before the volume's start");
      }
      run.StartCluster = static_cast<uint64_t>(startCluster);
      if (run.StartCluster > totalClusters || run.ClusterCount > totalClusters - run.StartCluster) {
        Refuse(position, "run past the volume's end");
      }
      if (run.ClusterCount > totalClusters - allocatedClusters) {
        Refuse(position, "runs hold more clusters than the volume");
      }
      allocatedClusters += run.ClusterCount;
    }
    runs.push_back(run);
    position += 1 + lengthWidth + offsetWidth;
  }
  return runs;
}

}  // namespace salvoran
