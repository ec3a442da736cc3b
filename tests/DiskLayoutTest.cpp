// Partition tables of whole-disk images made by sfdisk and sgdisk around generated volumes, read
// raw and from an E01 copy made by ewfacquire; sfdisk's own reading of the tables is the oracle.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "engine/DiskLayout.h"
#include "engine/MbrChain.h"
#include "engine/SystemError.h"
#include "engine/VolumeLocation.h"
#include "engine/VolumeWindow.h"
#include "support/Messages.h"
#include "tests/fixtures/TestImages.h"
#include "tests/support/CommandRunner.h"
#include "tests/support/CraftedVolume.h"
#include "tests/support/TempDir.h"

namespace salvoran {

void PrintTo(const PartitionSpan& span, std::ostream* out) {
  *out << "partition " << span.Number << " at " << span.Offset << ", " << span.Size << " bytes";
}

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;
using test::Bytes;

constexpr uint64_t SfdiskSectorBytes = 512;
constexpr uint64_t ExtendedType = 0x05;

std::unique_ptr<VolumeSource> Open(const fs::path& path) {
  OpenResult opened = OpenSource(path.string());
  EXPECT_TRUE(opened.Volume) << path << ": " << SystemErrorText(opened.ErrorCode) << " " << opened.Explanation;
  return std::move(opened.Volume);
}

std::string LabelOf(const std::string& volumeName) {
  std::ifstream manifest(test::TestImagesDir() / (volumeName + ".json"));
  return Json::parse(manifest)["volume_label"].get<std::string>();
}

struct DiskCase {
  const char* Label;
  const char* Source;  // in the images folder
  const char* Raw;     // the raw disk sfdisk reads
  const char* Kind;
  std::map<uint32_t, std::string> NtfsVolumes;  // partition number: the volume image it holds
};

void PrintTo(const DiskCase& disk, std::ostream* out) { *out << disk.Source; }

class DiskLayoutTest : public ::testing::TestWithParam<DiskCase> {};

TEST_P(DiskLayoutTest, FindsThePartitionsTheToolsWroteAndTheNtfsVolumesInThem) {
  const DiskCase& disk = GetParam();
  const std::unique_ptr<VolumeSource> source = Open(test::TestImagesDir() / disk.Source);
  ASSERT_TRUE(source);
  const std::optional<PartitionTable> table = ReadDiskLayout(*source);
  ASSERT_TRUE(table.has_value());
  EXPECT_EQ(table->Kind, disk.Kind);

  const test::CommandResult sfdisk = test::RunCommand({"sfdisk", "--json", (test::TestImagesDir() / disk.Raw).string()});
  ASSERT_EQ(sfdisk.ExitCode, 0) << sfdisk.Err;
  const Json sfdiskTable = Json::parse(sfdisk.Out);
  std::vector<PartitionSpan> expected;
  for (const Json& entry : sfdiskTable["partitiontable"]["partitions"]) {
    const std::string node = entry["node"].get<std::string>();
    if (entry["type"].is_string() && entry["type"].get<std::string>() == "5") continue;  // the container
    expected.push_back({static_cast<uint32_t>(std::stoul(node.substr(node.find_last_not_of("0123456789") + 1))),
                        entry["start"].get<uint64_t>() * SfdiskSectorBytes,
                        entry["size"].get<uint64_t>() * SfdiskSectorBytes});
  }
  std::vector<PartitionSpan> found;
  for (const DiskPartition& partition : table->Partitions) {
    found.push_back(partition.Span);
    const auto volume = disk.NtfsVolumes.find(partition.Span.Number);
    EXPECT_EQ(partition.IsNtfs, volume != disk.NtfsVolumes.end()) << partition.Span.Number;
    if (volume != disk.NtfsVolumes.end()) {
      EXPECT_EQ(partition.Label, LabelOf(volume->second));
    }
  }
  EXPECT_EQ(found, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Disks, DiskLayoutTest,
    ::testing::Values(DiskCase{"Mbr", "disk-mbr.img", "disk-mbr.img", "dos", {{1, "demo"}, {5, "fragmented-mft"}}},
                      DiskCase{"Gpt", "disk-gpt.img", "disk-gpt.img", "gpt", {{2, "standard-4k"}}},
                      // Each link of the chain is relative to the extended partition's start, not
                      // to the record it is in: only a third logical partition tells them apart.
                      DiskCase{"MbrThreeLogical",
                               "disk-logical.img",
                               "disk-logical.img",
                               "dos",
                               {{5, "demo"}, {6, "fragmented-mft"}, {7, "folders"}}},
                      DiskCase{"MbrInE01", "disk-mbr.E01", "disk-mbr.img", "dos", {{1, "demo"}, {5, "fragmented-mft"}}}),
    [](const ::testing::TestParamInfo<DiskCase>& info) { return std::string(info.param.Label); });

// Its boot sector ends in the same two bytes as an MBR.
TEST(DiskLayout, AVolumeIsNoDisk) {
  const std::unique_ptr<VolumeSource> volume = Open(test::TestImagePath("demo"));
  ASSERT_TRUE(volume);
  EXPECT_FALSE(ReadDiskLayout(*volume).has_value());
  EXPECT_EQ(ReadVolumeLabel(*volume), LabelOf("demo"));
}

TEST(DiskLayout, AnE01SetWithoutOneOfItsSegmentsIsRefused) {
  const test::TempDir folder;
  for (const char* segment : {"disk-mbr.E01", "disk-mbr.E02", "disk-mbr.E04"}) {
    fs::copy_file(test::TestImagesDir() / segment, folder.Path() / segment);
  }
  const OpenResult opened = OpenSource((folder.Path() / "disk-mbr.E01").string());
  EXPECT_FALSE(opened.Volume);
  EXPECT_EQ(opened.Explanation, std::string(messages::EwfIncomplete) + (folder.Path() / "disk-mbr.E01").string() +
                                    std::string(messages::EwfSegmentsThrough) +
                                    (folder.Path() / "disk-mbr.E02").string() + ".");
}

// No tool writes a chain of extended boot records that leads back to itself.
TEST(DiskLayout, AChainOfExtendedBootRecordsThatLoopsEnds) {
  constexpr size_t Sector = 512;
  Bytes disk(64 * Sector);
  const auto writeRecord = [&disk](size_t sector, uint64_t entryType, uint64_t entryStart, uint64_t linkStart) {
    const size_t base = sector * Sector;
    test::PutLE(disk, base + 0x1BE + 4, entryType, 1);
    test::PutLE(disk, base + 0x1BE + 8, entryStart, 4);
    test::PutLE(disk, base + 0x1CE + 4, linkStart != 0 ? ExtendedType : 0, 1);
    test::PutLE(disk, base + 0x1CE + 8, linkStart, 4);
    test::PutLE(disk, base + 510, 0xAA55, 2);
  };
  writeRecord(0, ExtendedType, 8, 0);  // the MBR: an extended partition from sector 8
  writeRecord(8, 0x07, 1, 16);         // its first record leads to sector 8 + 16
  writeRecord(24, 0x07, 1, 16);        // which leads to itself
  MemoryVolume volume(disk);
  EXPECT_EQ(ExtendedBootRecordOffsets(volume, Sector), (std::vector<uint64_t>{8 * Sector, 24 * Sector}));
  ReadPartitionTable(volume);  // ends, whatever it makes of the table
}

TEST(VolumeWindowTest, ReadsFromThePartitionsStartAndStopsAtItsEnd) {
  const Bytes disk = test::Pattern(1000, 0x21);
  MemoryVolume source(disk);
  VolumeWindow window(source, 100, 500);
  EXPECT_EQ(window.Size(), 500u);
  Bytes buffer(50);
  ASSERT_EQ(window.ReadAt(0, buffer).BytesRead, 50u);
  EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), disk.begin() + 100));
  EXPECT_EQ(window.ReadAt(480, buffer).BytesRead, 20u);
  EXPECT_EQ(window.ReadAt(500, buffer).BytesRead, 0u);
  EXPECT_EQ(window.ReadAt(UINT64_MAX - 10, buffer).BytesRead, 0u);

  // A table that claims more than the disk has.
  EXPECT_EQ(VolumeWindow(source, 900, 500).Size(), 100u);
  EXPECT_EQ(VolumeWindow(source, 2000, 500).Size(), 0u);
}

}  // namespace
}  // namespace salvoran
