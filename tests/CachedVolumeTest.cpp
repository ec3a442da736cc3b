#include <gtest/gtest.h>

#include "engine/CachedVolume.h"
#include "tests/support/CraftedVolume.h"

namespace salvoran {
namespace {

constexpr uint64_t Window = CachedVolume::WindowBytes;

// Small reads near each other cost one large read; what comes back is what the source holds,
// across a window's end, up to the source's end, and up to a stretch that cannot be read.
TEST(CachedVolume, GivesWhatTheSourceGivesInFewerReads) {
  const test::Bytes bytes = test::Pattern(3 * Window + 1000, 7);
  MemoryVolume memory(bytes);
  test::WatchedVolume watched(memory);
  watched.FailStretch(2 * Window + 4096, 512);
  CachedVolume cached(watched);

  for (uint64_t offset = 0; offset < 64 * 1024; offset += 1024) {
    test::Bytes record(1024);
    ASSERT_EQ(cached.ReadAt(offset, record).BytesRead, record.size());
    EXPECT_TRUE(std::equal(record.begin(), record.end(), bytes.begin() + static_cast<ptrdiff_t>(offset)));
  }
  EXPECT_EQ(watched.Reads().size(), 1u);

  test::Bytes across(4096);
  EXPECT_EQ(cached.ReadAt(Window - 2048, across).BytesRead, across.size());
  EXPECT_TRUE(std::equal(across.begin(), across.end(), bytes.begin() + static_cast<ptrdiff_t>(Window - 2048)));

  test::Bytes last(4096);
  const ReadOutcome end = cached.ReadAt(3 * Window, last);
  EXPECT_EQ(end.BytesRead, 1000u);
  EXPECT_FALSE(end.Failed());

  test::Bytes bad(1024);
  const ReadOutcome failed = cached.ReadAt(2 * Window + 3584, bad);
  EXPECT_EQ(failed.BytesRead, 512u);
  EXPECT_TRUE(failed.Failed());
}

}  // namespace
}  // namespace salvoran
