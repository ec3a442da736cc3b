// The deep scan on real volumes whose MFT in use does not describe their files: a volume
// quick-formatted over them, a disk whose partition table is gone, volumes whose MFT head or
// boot sectors are lost. Each file found is compared with the truth the generator recorded before
// the damage: its name, folder and size, and its restored content.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <nlohmann/json.hpp>
#include <set>

#include "engine/DeepScan.h"
#include "engine/RecordFinder.h"
#include "tests/fixtures/TestImages.h"
#include "tests/support/CommandRunner.h"
#include "tests/support/CraftedVolume.h"
#include "tests/support/UnchangedSource.h"

namespace salvoran::test {
namespace {

using Json = nlohmann::json;
namespace fs = std::filesystem;

constexpr uint64_t FirstVolumeOffset = 1u << 20;    // disk-mbr's partition 1: demo
constexpr uint64_t SecondVolumeOffset = 19u << 20;  // its logical partition 5: fragmented-mft

Json DeepScanJson(const fs::path& source) {
  const CommandResult scan = RunSalvoran({"scan", source.string(), "--deep", "--json"});
  EXPECT_EQ(scan.ExitCode, 0) << scan.Err;
  return scan.ExitCode == 0 ? Json::parse(scan.Out) : Json();
}

std::string PathOf(const Json& file) {
  const std::string folder = file["folder"].get<std::string>();
  return folder + (folder.empty() || folder.back() == '/' ? "" : "/") + file["name"].get<std::string>();
}

std::string PathOf(const std::string& folder, const ManifestFile& file) {
  return folder + (folder.empty() || folder.back() == '/' ? "" : "/") + file.Name;
}

std::vector<uint8_t> Contents(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Restores every file a deep scan lists; the restored path of each, by id.
std::map<std::string, fs::path> RecoverAllDeep(const fs::path& source, const std::string& name) {
  const fs::path output = fs::path(testing::TempDir()) / ("salvoran-deep-" + name);
  fs::remove_all(output);
  const CommandResult recover =
      RunSalvoran({"recover", source.string(), "--deep", "--all", "--output", output.string(), "--json"});
  EXPECT_EQ(recover.ExitCode, 0) << recover.Err;
  std::map<std::string, fs::path> restored;
  if (recover.ExitCode != 0) return restored;
  const Json results = Json::parse(recover.Out)["results"];
  for (const Json& result : results) {
    EXPECT_TRUE(result["ok"].get<bool>()) << result.dump();
    restored[result["id"].get<std::string>()] = fs::u8path(result["path"].get<std::string>());
  }
  return restored;
}

// Every file of the image that still has its records is found in the volume at volumeOffset, with
// its name, folder and size, and restores as written; nothing else of that volume is listed.
void ExpectFilesOfVolume(const Json& listing, const std::map<std::string, fs::path>& restored, const TestImage& image,
                         uint64_t volumeOffset, bool afterQuickFormat) {
  std::map<std::string, const Json*> listed;
  for (const Json& file : listing["files"]) {
    if (file["volume_offset"] != volumeOffset) continue;
    EXPECT_EQ(file["origin"], "found") << file.dump();
    EXPECT_TRUE(listed.emplace(PathOf(file), &file).second) << "listed twice: " << file.dump();
  }
  size_t expected = 0;
  for (const ManifestFile& file : image.Files) {
    if (file.Directory || file.ReusedRecord || (afterQuickFormat && !*file.FormatRecordIntact)) continue;
    ++expected;
    const std::string path = afterQuickFormat ? PathOf(file.FormatFolder, file) : file.Path;
    const auto found = listed.find(path);
    ASSERT_NE(found, listed.end()) << image.Name << ": " << path << " is not listed";
    EXPECT_EQ((*found->second)["size"].get<uint64_t>(), file.Size) << path;
    EXPECT_EQ((*found->second)["record"].get<int64_t>(), file.Record) << path;
    if (afterQuickFormat && !*file.FormatContentIntact) continue;
    const auto copy = restored.find((*found->second)["id"].get<std::string>());
    ASSERT_NE(copy, restored.end()) << path << " was not restored";
    EXPECT_EQ(Contents(copy->second), ReadExpected(file)) << path;
  }
  EXPECT_EQ(listed.size(), expected) << image.Name << ": files listed that were not there";
}

class QuickFormattedVolume : public testing::TestWithParam<std::string> {};

// The old MFT beyond the new one keeps every file, live or deleted when it was current.
TEST_P(QuickFormattedVolume, ListsAndRestoresEveryFileWhoseRecordsSurvive) {
  const TestImage image = LoadTestImage(GetParam());
  const UnchangedSource unchanged(image.Image.string());
  const Json listing = DeepScanJson(image.Image);
  std::set<std::string> ids;
  for (const Json& file : listing["files"]) EXPECT_TRUE(ids.insert(file["id"].get<std::string>()).second) << file;
  ExpectFilesOfVolume(listing, RecoverAllDeep(image.Image, GetParam()), image, 0, true);
}

INSTANTIATE_TEST_SUITE_P(Images, QuickFormattedVolume, testing::Values("quick-format", "quick-format-1k"),
                         [](const testing::TestParamInfo<std::string>& info) {
                           return info.param == "quick-format" ? "SameClusterSize" : "OtherClusterSize";
                         });

class VolumeWithoutMftHead : public testing::TestWithParam<std::string> {};

// The geometry comes from the boot sector when the MFT head is lost, from the MFT's own record
// when the boot sectors are.
TEST_P(VolumeWithoutMftHead, ListsAndRestoresTheFilesOfTheRecordsThatRemain) {
  const TestImage image = LoadTestImage(GetParam());
  const UnchangedSource unchanged(image.Image.string());
  const Json listing = DeepScanJson(image.Image);
  ExpectFilesOfVolume(listing, RecoverAllDeep(image.Image, GetParam()), image, 0, false);
}

INSTANTIATE_TEST_SUITE_P(Images, VolumeWithoutMftHead,
                         testing::Values("demo-mft-head-and-mirror-wiped", "demo-boot-sectors-wiped"),
                         [](const testing::TestParamInfo<std::string>& info) {
                           return info.param == "demo-boot-sectors-wiped" ? "BothBootSectorsWiped"
                                                                          : "MftHeadAndMirrorWiped";
                         });

TEST(DiskWithoutPartitionTable, InfoNamesBothVolumesAndTheirFilesScanAndRestore) {
  const fs::path disk = TestImagePath("disk-mbr-wiped");
  const UnchangedSource unchanged(disk.string());
  const CommandResult info = RunSalvoran({"info", disk.string(), "--deep"});
  ASSERT_EQ(info.ExitCode, 0) << info.Err;
  EXPECT_NE(info.Out.find("Volumes found:        2\n"), std::string::npos) << info.Out;
  EXPECT_NE(info.Out.find("         1048576       16.0 MB     4096  primary and backup  DEMO\n"), std::string::npos)
      << info.Out;
  EXPECT_NE(info.Out.find("        19922944        8.0 MB     4096  primary and backup  FRAGMFT\n"),
            std::string::npos)
      << info.Out;

  const Json listing = DeepScanJson(disk);
  const std::map<std::string, fs::path> restored = RecoverAllDeep(disk, "disk");
  ExpectFilesOfVolume(listing, restored, LoadTestImage("demo"), FirstVolumeOffset, false);
  ExpectFilesOfVolume(listing, restored, LoadTestImage("fragmented-mft"), SecondVolumeOffset, false);
}

// recover --id reads the record its id names and the few records around it that it needs, not the
// whole source, and restores what the deep scan lists.
TEST(DiskWithoutPartitionTable, AnIdRestoresItsFileWithoutAPassOverTheSource) {
  const fs::path disk = TestImagePath("disk-mbr-wiped");
  const TestImage demo = LoadTestImage("demo");
  const Json listing = DeepScanJson(disk);
  std::vector<std::string> arguments{"recover", disk.string()};
  std::map<std::string, const ManifestFile*> asked;
  for (const Json& file : listing["files"]) {
    if (file["volume_offset"] != FirstVolumeOffset || file["folder"] != "/Photos/2023 Summer") continue;
    asked[file["id"].get<std::string>()] = demo.FindRecord(file["record"].get<int64_t>());
    arguments.insert(arguments.end(), {"--id", file["id"].get<std::string>()});
  }
  ASSERT_EQ(asked.size(), 5u);
  const fs::path output = fs::path(testing::TempDir()) / "salvoran-deep-ids";
  fs::remove_all(output);
  arguments.insert(arguments.end(), {"--output", output.string(), "--json", "--keep-folders"});
  const CommandResult recover = RunSalvoran(arguments);
  ASSERT_EQ(recover.ExitCode, 0) << recover.Err;
  EXPECT_EQ(recover.Err, "");  // no word of a read of the whole source
  const Json results = Json::parse(recover.Out)["results"];
  ASSERT_EQ(results.size(), asked.size());
  for (const Json& result : results) {
    const ManifestFile& file = *asked.at(result["id"].get<std::string>());
    EXPECT_EQ(fs::u8path(result["path"].get<std::string>()), output / "Photos/2023 Summer" / file.Name);
    EXPECT_EQ(Contents(fs::u8path(result["path"].get<std::string>())), ReadExpected(file)) << file.Path;
  }
}

// Records cut by the end of a block are completed from the next one: blocks of any size find the
// records one large block finds.
TEST(RecordFinder, FindsRecordsThatStraddleBlocks) {
  const Bytes image = ReadWholeFile(TestImagePath("quick-format"));
  const MftsInUse none;
  const auto findIn = [&](size_t blockBytes) {
    RecordFinder finder(none);
    for (size_t at = 0; at < image.size(); at += blockBytes) {
      finder.Consume(at, ByteView(image).subspan(at, std::min(blockBytes, image.size() - at)));
    }
    std::vector<std::pair<uint64_t, uint32_t>> found;
    for (const FoundRecord& record : finder.Records()) found.emplace_back(record.SourceOffset, record.Number);
    return found;
  };
  const auto whole = findIn(image.size());
  EXPECT_GT(whole.size(), 100u);
  for (size_t blockBytes : {size_t{1536}, size_t{4096} + 512, size_t{1} << 20}) EXPECT_EQ(findIn(blockBytes), whole);
}

// Keeps the files the deep scan lists and how far the read had come when each was listed.
class DeepScanWatch : public CollectingObserver {
 public:
  void DeepPassProgress(uint64_t bytesRead, uint64_t) override {
    BytesRead = bytesRead;
    if (StopAfterBytes != 0 && bytesRead >= StopAfterBytes) StopFlag = true;
  }
  void FileFound(FoundFile&& file) override {
    if (file.Data.Origin == FileOrigin::Found) ListedAt.push_back(BytesRead);
    CollectingObserver::FileFound(std::move(file));
  }

  uint64_t BytesRead = 0;
  uint64_t StopAfterBytes = 0;
  std::vector<uint64_t> ListedAt;
};

// The first volume's files are listed once their folders are whole, before the read reaches the
// second volume; a stop there keeps them.
TEST(DeepScan, ListsFilesAsTheReadGoesOnAndAStopKeepsThem) {
  const std::string disk = TestImagePath("disk-mbr-wiped").string();
  constexpr uint64_t Checkpoint = 4u << 20;
  DeepScanWatch whole;
  VolumeGeometry geometry;
  const DeepScanSummary all = DeepScanDrive(disk, geometry, whole, {}, Checkpoint);
  ASSERT_FALSE(whole.ListedAt.empty());
  EXPECT_LT(whole.ListedAt.front(), SecondVolumeOffset);
  EXPECT_EQ(all.FoundFiles, whole.ListedAt.size());

  DeepScanWatch stopped;
  stopped.StopAfterBytes = 2 * Checkpoint;
  const DeepScanSummary part = DeepScanDrive(disk, geometry, stopped, {}, Checkpoint);
  EXPECT_TRUE(part.Stopped);
  EXPECT_LT(part.Pass.BytesRead, SecondVolumeOffset);
  const TestImage demo = LoadTestImage("demo");
  EXPECT_EQ(stopped.ListedAt.size(), static_cast<size_t>(std::count_if(demo.Files.begin(), demo.Files.end(), [](const auto& file) {
              return !file.Directory && !file.ReusedRecord;
            })));
}

}  // namespace
}  // namespace salvoran::test
