// salvoran on whole-disk images (MBR and GPT, made by sfdisk and sgdisk around generated volumes)
// and on an E01 copy made by ewfacquire: a partition scans and restores exactly as the volume
// does on its own.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "tests/fixtures/TestImages.h"
#include "tests/support/CommandRunner.h"
#include "tests/support/CraftedVolume.h"
#include "tests/support/TempDir.h"
#include "tests/support/UnchangedSource.h"

namespace salvoran::test {
namespace {

using Json = nlohmann::json;
namespace fs = std::filesystem;

Json ScanJson(const std::vector<std::string>& arguments) {
  std::vector<std::string> command{"scan"};
  command.insert(command.end(), arguments.begin(), arguments.end());
  command.push_back("--json");
  const CommandResult scan = RunSalvoran(command);
  EXPECT_EQ(scan.ExitCode, 0) << scan.Err;
  return scan.ExitCode == 0 ? Json::parse(scan.Out) : Json();
}

struct PartitionCase {
  const char* Label;
  const char* Disk;
  const char* Partition;  // empty: the disk's only NTFS partition
  const char* Volume;     // the generated volume the partition holds
  int Number;
};

void PrintTo(const PartitionCase& partition, std::ostream* out) { *out << partition.Label; }

class PartitionScanTest : public testing::TestWithParam<PartitionCase> {};

TEST_P(PartitionScanTest, ListsWhatAScanOfTheVolumeAloneLists) {
  const PartitionCase& partition = GetParam();
  const fs::path disk = TestImagesDir() / partition.Disk;
  const UnchangedSource source(disk.string());
  std::vector<std::string> arguments{disk.string()};
  if (*partition.Partition != '\0') arguments.insert(arguments.end(), {"--partition", partition.Partition});
  const Json fromDisk = ScanJson(arguments);
  const Json alone = ScanJson({TestImagePath(partition.Volume).string()});
  ASSERT_FALSE(fromDisk.is_null());
  EXPECT_EQ(fromDisk["files"], alone["files"]);
  Json volume = fromDisk["volume"];
  EXPECT_EQ(volume["partition"]["number"], partition.Number);
  EXPECT_GT(volume["partition"]["offset"].get<uint64_t>(), 0u);
  EXPECT_TRUE(alone["volume"]["partition"].is_null());
  volume.erase("partition");
  Json aloneVolume = alone["volume"];
  aloneVolume.erase("partition");
  EXPECT_EQ(volume, aloneVolume);
}

INSTANTIATE_TEST_SUITE_P(
    Disks, PartitionScanTest,
    testing::Values(PartitionCase{"MbrPrimary", "disk-mbr.img", "1", "demo", 1},
                    PartitionCase{"MbrLogical", "disk-mbr.img", "5", "fragmented-mft", 5},
                    PartitionCase{"GptOnlyNtfsPartition", "disk-gpt.img", "", "standard-4k", 2},
                    PartitionCase{"E01Logical", "disk-mbr.E01", "5", "fragmented-mft", 5}),
    [](const testing::TestParamInfo<PartitionCase>& info) { return std::string(info.param.Label); });

TEST(CliDiskImage, ADiskWithSeveralNtfsPartitionsAsksWhichOne) {
  const std::string disk = TestImagePath("disk-mbr").string();
  const CommandResult scan = RunSalvoran({"scan", disk});
  EXPECT_EQ(scan.ExitCode, 2);
  EXPECT_EQ(scan.Out, "");
  EXPECT_NE(scan.Err.find("holds 2 NTFS partitions; choose one with --partition N"), std::string::npos) << scan.Err;
  EXPECT_NE(scan.Err.find("  1         1048576       16.0 MB  yes   DEMO\n"), std::string::npos) << scan.Err;
  EXPECT_NE(scan.Err.find("FRAGMFT\n"), std::string::npos) << scan.Err;
  EXPECT_EQ(scan.Err.find("  2  "), std::string::npos) << "the Linux partition is no choice: " << scan.Err;

  const CommandResult missing = RunSalvoran({"scan", disk, "--partition", "3"});
  EXPECT_EQ(missing.ExitCode, 2);
  EXPECT_NE(missing.Err.find("has no partition 3"), std::string::npos) << missing.Err;
  const CommandResult plain = RunSalvoran({"scan", TestImagePath("demo").string(), "--partition", "1"});
  EXPECT_EQ(plain.ExitCode, 2);
  EXPECT_NE(plain.Err.find("has no partition table"), std::string::npos) << plain.Err;
}

TEST(CliDiskImage, InfoShowsThePartitionTableAndTheOnlyNtfsVolume) {
  const CommandResult info = RunSalvoran({"info", TestImagePath("disk-gpt").string()});
  ASSERT_EQ(info.ExitCode, 0) << info.Err;
  EXPECT_NE(info.Out.find("Partition table:      gpt\n"), std::string::npos) << info.Out;
  EXPECT_NE(info.Out.find("        1         1048576        1.0 MB  no    \n"), std::string::npos) << info.Out;
  EXPECT_NE(info.Out.find("Partition:            2, at byte 2097152\n"), std::string::npos) << info.Out;
  EXPECT_NE(info.Out.find("Bytes per cluster:    4096\n"), std::string::npos) << info.Out;
}

// An MBR slot of type 0 is empty whatever size it claims (here 2 TiB), as partitioning tools
// read it: info shows no partition for it.
TEST(CliDiskImage, InfoSkipsAnEmptySlotOfTheMbr) {
  constexpr size_t SecondSlot = 0x1BE + 16;
  const TempDir folder;
  const fs::path disk = folder.Path() / "empty-slot.img";
  fs::copy_file(TestImagePath("disk-mbr"), disk);
  Bytes mbr = ReadWholeFile(disk);
  mbr.resize(512);
  PutLE(mbr, SecondSlot + 4, 0, 1);             // type: empty
  PutLE(mbr, SecondSlot + 12, 0xFFFFFFFF, 4);  // sectors
  std::fstream(disk, std::ios::in | std::ios::out | std::ios::binary)
      .write(reinterpret_cast<const char*>(mbr.data()), static_cast<std::streamsize>(mbr.size()));
  const CommandResult info = RunSalvoran({"info", disk.string()});
  ASSERT_EQ(info.ExitCode, 0) << info.Err;
  EXPECT_NE(info.Out.find("\n          1         1048576"), std::string::npos) << info.Out;
  EXPECT_NE(info.Out.find("\n          5  "), std::string::npos) << info.Out;
  EXPECT_EQ(info.Out.find("\n          2  "), std::string::npos) << info.Out;
}

TEST(CliDiskImage, RestoresFromAPartitionOfAnE01AsTheGeneratorWroteIt) {
  const TestImage volume = LoadTestImage("demo");
  std::vector<std::unique_ptr<UnchangedSource>> segments;
  for (const char* segment : {"disk-mbr.E01", "disk-mbr.E02", "disk-mbr.E03", "disk-mbr.E04"}) {
    segments.push_back(std::make_unique<UnchangedSource>((TestImagesDir() / segment).string()));
  }
  const TempDir output;
  const CommandResult recover = RunSalvoran({"recover", (TestImagesDir() / "disk-mbr.E01").string(), "--partition",
                                             "1", "--all", "--output", output.Path().string(), "--json"});
  ASSERT_EQ(recover.ExitCode, 0) << recover.Err;
  const Json results = Json::parse(recover.Out)["results"];
  EXPECT_EQ(results.size(), volume.ListedDeletedFiles().size());
  for (const Json& result : results) {
    const ManifestFile* file = volume.FindRecord(result["record"].get<int64_t>());
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(ReadWholeFile(fs::u8path(result["path"].get<std::string>())), ReadWholeFile(file->Expected))
        << file->Path;
  }
}

}  // namespace
}  // namespace salvoran::test
