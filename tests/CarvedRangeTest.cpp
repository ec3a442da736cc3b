// What the deep scan's carving keeps of the listed files' clusters, and the restore of a carved
// file as a plain range of the source.
#include <gtest/gtest.h>

#include "engine/ClaimedSourceBytes.h"
#include "engine/EngineError.h"
#include "recovery/ContentRecovery.h"
#include "recovery/MemorySink.h"

namespace salvoran {
namespace {

TEST(ClaimedSourceBytes, PlacesEachVolumesRunsInTheSourceAndCoversEveryAreaClusterTheyTouch) {
  ClaimedSourceBytes claimed;
  // A volume at 1 MiB with 1 KiB clusters: its clusters 3 and 4 are bytes 0x100c00 to 0x1013ff.
  claimed.Add({{3, 2}}, {0x100000, 1024});
  // The scanned volume itself, 4 KiB clusters from the source's start; two touching runs.
  claimed.Add({{1000, 2}, {1002, 1}}, {0, 4096});
  const std::vector<carving::ClusterRange> clusters =
      carving::MergeClusterRanges(claimed.InClusters(0, 64u << 20, 4096));
  ASSERT_EQ(clusters.size(), 2u);
  // A quarter of area cluster 256 and a quarter of 257 are claimed: both are.
  EXPECT_EQ(clusters[0].First, 256u);
  EXPECT_EQ(clusters[0].Count, 2u);
  EXPECT_EQ(clusters[1].First, 1000u);
  EXPECT_EQ(clusters[1].Count, 3u);
  // Outside an area, nothing.
  EXPECT_TRUE(claimed.InClusters(8u << 20, 1u << 20, 4096).empty());
}

TEST(RecoverSourceRange, GivesTheRangeAsItStandsAndRefusesOnePastTheSourceBeforeAnyOutput) {
  std::vector<std::byte> bytes(3 << 20);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::byte>(i * 7);
  MemoryVolume source(bytes);
  MemorySink range;
  RecoverSourceRange(source, 1000, (2 << 20) + 5, [&]() -> ContentSink& { return range; });
  ASSERT_EQ(range.Bytes().size(), (2u << 20) + 5);
  EXPECT_TRUE(std::equal(range.Bytes().begin(), range.Bytes().end(), bytes.begin() + 1000));

  bool opened = false;
  MemorySink never;
  const auto open = [&]() -> ContentSink& {
    opened = true;
    return never;
  };
  EXPECT_THROW(RecoverSourceRange(source, bytes.size() - 10, 11, open), EngineError);
  EXPECT_THROW(RecoverSourceRange(source, UINT64_MAX - 4, 10, open), EngineError);
  EXPECT_FALSE(opened);
}

}  // namespace
}  // namespace salvoran
