#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/BootSector.h"
#include "engine/EngineError.h"
#include "tests/support/CraftedVolume.h"

namespace salvoran {
namespace {

using test::Bytes;
using test::PutLE;

constexpr size_t BytesPerSectorField = 0x0B;
constexpr size_t ClusterCodeField = 0x0D;
constexpr size_t TotalSectorsField = 0x28;
constexpr size_t MftClusterField = 0x30;
constexpr size_t RecordCodeField = 0x40;
constexpr uint32_t KiB = 1024;
constexpr uint32_t MiB = 1024 * KiB;

Bytes SectorWith(uint16_t bytesPerSector, uint8_t clusterCode, uint8_t recordCode) {
  Bytes sector = test::NtfsBootSector({});
  PutLE(sector, BytesPerSectorField, bytesPerSector, 2);
  PutLE(sector, ClusterCodeField, clusterCode, 1);
  PutLE(sector, RecordCodeField, recordCode, 1);
  return sector;
}

TEST(NtfsSignatureTest, AcceptsOnlyUpperCaseNtfsAtByteThree) {
  Bytes sector = test::NtfsBootSector({});
  EXPECT_TRUE(HasNtfsSignature(sector));
  for (const char* other : {"ntfs", "NTFs", "Ntfs", "MSDO", "EXFA", "NTF ", "\0\0\0\0"}) {
    std::memcpy(sector.data() + 3, other, 4);
    EXPECT_FALSE(HasNtfsSignature(sector)) << other;
  }
}

TEST(NtfsSignatureTest, ASectorTooShortForTheSignatureHasNone) {
  const Bytes sector = test::NtfsBootSector({});
  EXPECT_FALSE(HasNtfsSignature(ByteView(sector).first(6)));
  EXPECT_TRUE(HasNtfsSignature(ByteView(sector).first(7)));
  EXPECT_FALSE(HasNtfsSignature({}));
}

struct GoodGeometry {
  uint16_t BytesPerSector;
  uint8_t ClusterCode;
  uint8_t RecordCode;
  uint32_t BytesPerCluster;
  uint32_t FileRecordSize;
};

class AcceptedBootSectorTest : public ::testing::TestWithParam<GoodGeometry> {};

TEST_P(AcceptedBootSectorTest, DerivesClusterAndRecordSizes) {
  const GoodGeometry good = GetParam();
  const BootSector boot = ParseBootSector(SectorWith(good.BytesPerSector, good.ClusterCode, good.RecordCode));
  EXPECT_EQ(boot.BytesPerSector, good.BytesPerSector);
  EXPECT_EQ(boot.BytesPerCluster, good.BytesPerCluster);
  EXPECT_EQ(boot.SectorsPerCluster, good.BytesPerCluster / good.BytesPerSector);
  EXPECT_EQ(boot.FileRecordSize, good.FileRecordSize);
}

INSTANTIATE_TEST_SUITE_P(
    Geometries, AcceptedBootSectorTest,
    ::testing::Values(GoodGeometry{512, 8, 0xF6, 4 * KiB, 1 * KiB},      // the usual volume
                      GoodGeometry{512, 1, 0xF6, 512, 1 * KiB},          // code 0xF6 whatever the cluster
                      GoodGeometry{512, 0x80, 0xF6, 64 * KiB, 1 * KiB},
                      GoodGeometry{512, 1, 2, 512, 1 * KiB},             // two 512-byte clusters
                      GoodGeometry{512, 2, 1, 1 * KiB, 1 * KiB},
                      GoodGeometry{512, 8, 16, 4 * KiB, 64 * KiB},       // largest record
                      GoodGeometry{512, 0xF4, 0xF6, 2 * MiB, 1 * KiB},   // 2^12 sectors: largest cluster
                      GoodGeometry{512, 0xF8, 0xF6, 128 * KiB, 1 * KiB},
                      GoodGeometry{4096, 1, 0xF4, 4 * KiB, 4 * KiB},
                      GoodGeometry{4096, 0xF7, 0xF4, 2 * MiB, 4 * KiB},
                      GoodGeometry{256, 4, 0xF6, 1 * KiB, 1 * KiB},
                      GoodGeometry{1024, 4, 0xF0, 4 * KiB, 64 * KiB}));

TEST(BootSectorTest, ReadsSectorCountAndMftClusterIn64Bits) {
  Bytes sector = test::NtfsBootSector({});
  PutLE(sector, TotalSectorsField, 0x0000'0123'4567'89AB, 8);
  PutLE(sector, MftClusterField, 0x0000'0001'0000'0004, 8);
  const BootSector boot = ParseBootSector(sector);
  EXPECT_EQ(boot.TotalSectors, 0x0000'0123'4567'89ABu);
  EXPECT_EQ(boot.MftCluster, 0x0000'0001'0000'0004u);
}

struct BadGeometry {
  const char* Description;
  uint16_t BytesPerSector;
  uint8_t ClusterCode;
  uint8_t RecordCode;
};

class RefusedBootSectorTest : public ::testing::TestWithParam<BadGeometry> {};

// Each of these would later divide by zero, overflow or read records that cannot exist.
TEST_P(RefusedBootSectorTest, RefusesGeometryNoNtfsVolumeHas) {
  const BadGeometry bad = GetParam();
  EXPECT_THROW(ParseBootSector(SectorWith(bad.BytesPerSector, bad.ClusterCode, bad.RecordCode)), EngineError)
      << bad.Description;
}

INSTANTIATE_TEST_SUITE_P(
    Geometries, RefusedBootSectorTest,
    ::testing::Values(BadGeometry{"no bytes per sector", 0, 8, 0xF6},
                      BadGeometry{"one byte per sector", 1, 8, 0xF6},
                      BadGeometry{"three bytes per sector", 3, 8, 0xF6},
                      BadGeometry{"65535 bytes per sector", 65535, 8, 0xF6},
                      BadGeometry{"128 bytes per sector", 128, 8, 0xF6},
                      BadGeometry{"8192 bytes per sector", 8192, 1, 0xF3},
                      BadGeometry{"768 bytes per sector", 768, 1, 0xF6},
                      BadGeometry{"no sectors per cluster", 512, 0, 0xF6},
                      BadGeometry{"4 MiB cluster from 512-byte sectors", 512, 0xF3, 0xF6},
                      BadGeometry{"4 MiB cluster from 4 KiB sectors", 4096, 0xF6, 0xF4},
                      BadGeometry{"cluster code 0x81", 512, 0x81, 0xF6},
                      BadGeometry{"record code 0", 512, 8, 0},
                      BadGeometry{"record of 127 clusters of 4 KiB", 512, 8, 0x7F},
                      BadGeometry{"record of 17 clusters of 4 KiB", 512, 8, 17},
                      BadGeometry{"record code 0xE0, one byte", 512, 8, 0xE0},
                      BadGeometry{"record code 0x80", 512, 8, 0x80},
                      BadGeometry{"128 KiB record", 512, 8, 0xEF},
                      BadGeometry{"record smaller than a sector", 4096, 1, 0xF6},
                      BadGeometry{"256-byte record on 512-byte sectors", 512, 8, 0xF8}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

}  // namespace
}  // namespace salvoran
