#include <gtest/gtest.h>

#include "engine/FileId.h"

namespace salvoran {
namespace {

FoundFile FoundAt(uint64_t volumeOffset, int64_t recordOffset) {
  auto geometry = std::make_shared<VolumeGeometry>();
  if (volumeOffset != 0) geometry->DrivePath = VolumeLocation("disk.img", PartitionSpan{0, volumeOffset, 1u << 20});
  FoundFile file;
  file.Data.Origin = FileOrigin::Found;
  file.Data.RecordOffset = recordOffset;
  file.FoundIn = geometry;
  return file;
}

TEST(FileId, NamesTheRecordOrWhereAFoundRecordLiesAndReadsBack) {
  FoundFile mft;
  mft.RecordIndex = 70;
  EXPECT_EQ(FileIdOf(mft), "r70");
  EXPECT_EQ(ParseFileId("r70")->Record, 70);
  EXPECT_EQ(ParseFileId("r70")->Origin, FileOrigin::Mft);

  EXPECT_EQ(FileIdOf(FoundAt(0, 0x1a2b400)), "f1a2b400");
  EXPECT_EQ(FileIdOf(FoundAt(0x100000, 0x11c00)), "f111c00@100000");
  const std::optional<FileId> found = ParseFileId("f111C00@100000");
  ASSERT_TRUE(found);
  EXPECT_EQ(found->Origin, FileOrigin::Found);
  EXPECT_EQ(found->RecordSourceOffset, 0x111c00u);
  EXPECT_EQ(found->VolumeOffset, 0x100000u);

  FoundFile carved;
  carved.Data.Origin = FileOrigin::Carved;
  carved.Data.RecordOffset = 0x3c0000;
  carved.Data.FileSize = 0x1f3a;
  EXPECT_EQ(FileIdOf(carved), "c3c0000-1f3a");
  const std::optional<FileId> range = ParseFileId("c3c0000-1f3a");
  ASSERT_TRUE(range);
  EXPECT_EQ(range->Origin, FileOrigin::Carved);
  EXPECT_EQ(range->RecordSourceOffset, 0x3c0000u);
  EXPECT_EQ(range->Length, 0x1f3au);
}

TEST(FileId, RefusesWhatNoListingGives) {
  for (const char* text : {"", "r", "70", "r-1", "r7x", "f", "fxyz", "f12@", "f@100", "f100@200", "c1000", "c1000-", "c1000-0", "c-10", "cffffffffffffffff-2", "f1 ",
                           "r99999999999999999999"}) {
    EXPECT_FALSE(ParseFileId(text)) << text;
  }
}

}  // namespace
}  // namespace salvoran
