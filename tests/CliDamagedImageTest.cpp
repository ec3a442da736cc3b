// salvoran on an E01 copy of the demo volume made by ewfacquire, with one byte flipped where a
// chunk is stored: libewf reads such a chunk as zeros, which must never pass for the volume's
// bytes. A deleted file's content there fails its restore, naming the bytes, or with --keep-going
// comes back with zeros there and the damage listed; records there count as unreadable.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tests/fixtures/TestImages.h"
#include "tests/support/CommandRunner.h"
#include "tests/support/CraftedVolume.h"
#include "tests/support/TempDir.h"
#include "tests/support/UnchangedSource.h"

namespace salvoran::test {
namespace {

using Json = nlohmann::json;
namespace fs = std::filesystem;

constexpr uint64_t EwfChunkBytes = 32768;  // ewfacquire's chunks of 64 sectors
constexpr size_t FoundBytes = 64;          // enough of the volume to find where the E01 stores it
constexpr uint64_t FlipInto = 100;         // how far into the file or record the byte is flipped

struct Stretch {
  uint64_t First = 0;
  uint64_t End = 0;
};

// The chunk that holds a volume byte.
Stretch ChunkOf(uint64_t volumeByte) {
  const uint64_t first = volumeByte / EwfChunkBytes * EwfChunkBytes;
  return {first, first + EwfChunkBytes};
}

// An uncompressed E01 copy of the demo volume with the byte at each volume offset flipped where
// the E01 stores it (found by the bytes around it), so that its chunk fails its checksum.
fs::path DamagedDemoE01(const TempDir& folder, const std::vector<uint64_t>& volumeOffsets) {
  const fs::path stem = folder.Path() / "demo";
  const CommandResult acquire = RunCommand(
      {"ewfacquire", "-u", "-q", "-t", stem.string(), "-f", "encase6", "-c", "none", TestImagePath("demo").string()});
  EXPECT_EQ(acquire.ExitCode, 0) << acquire.Out << acquire.Err;
  const fs::path e01 = stem.string() + ".E01";
  const Bytes volume = ReadWholeFile(TestImagePath("demo"));
  Bytes image = ReadWholeFile(e01);
  for (const uint64_t offset : volumeOffsets) {
    const auto content = volume.begin() + static_cast<ptrdiff_t>(offset);
    const auto stored = std::search(image.begin(), image.end(), content, content + FoundBytes);
    EXPECT_NE(stored, image.end()) << "volume byte " << offset << " not found in the E01";
    if (stored != image.end()) *stored ^= std::byte{0xFF};
  }
  WriteImage(e01, image);
  return e01;
}

// A deleted photo in one run of clusters, and the stretch of it that the damaged chunk holds.
struct DamagedPhoto {
  const ManifestFile* File = nullptr;
  uint64_t VolumeByte = 0;  // the byte flipped
  Stretch InFile;           // the bytes of the file in its chunk
};

DamagedPhoto PhotoToDamage(const TestImage& demo) {
  for (const ManifestFile* file : demo.ListedDeletedFiles()) {
    if (file->Category != "graphics" || file->Runs.size() != 1 || !file->RestoresAsWritten()) continue;
    const uint64_t start = static_cast<uint64_t>(file->Runs[0].Lcn) * demo.ClusterSize;
    const Stretch chunk = ChunkOf(start + FlipInto);
    return {file, start + FlipInto, {std::max(chunk.First, start) - start, std::min(chunk.End, start + file->Size) - start}};
  }
  ADD_FAILURE() << "the demo volume has no deleted photo in one run";
  return {};
}

TEST(CliDamagedImage, AFileInAChunkThatFailsItsChecksumFailsOrComesBackWithTheDamageListed) {
  const TestImage demo = LoadTestImage("demo");
  const DamagedPhoto photo = PhotoToDamage(demo);
  ASSERT_NE(photo.File, nullptr);
  const TempDir folder;
  const fs::path e01 = DamagedDemoE01(folder, {photo.VolumeByte});
  const UnchangedSource source(e01.string());
  const std::string record = std::to_string(photo.File->Record);
  const std::string range = std::to_string(photo.InFile.First) + " to " + std::to_string(photo.InFile.End - 1);

  const fs::path failedFolder = folder.Path() / "failed";
  const CommandResult failed = RunSalvoran({"recover", e01.string(), "--record", record, "--output", failedFolder.string()});
  EXPECT_EQ(failed.ExitCode, 1) << failed.Out << failed.Err;
  EXPECT_NE(failed.Err.find("Failed to read run Data. Bytes " + range + " of the file could not be read from the source."),
            std::string::npos)
      << failed.Err;
  EXPECT_TRUE(fs::is_empty(failedFolder)) << "nothing is left of a file that failed";

  const fs::path keptFolder = folder.Path() / "kept";
  const CommandResult kept = RunSalvoran(
      {"recover", e01.string(), "--record", record, "--output", keptFolder.string(), "--keep-going", "--json"});
  EXPECT_EQ(kept.ExitCode, 1) << kept.Err;
  const Json result = Json::parse(kept.Out)["results"].at(0);
  EXPECT_TRUE(result["ok"].get<bool>()) << result;
  EXPECT_EQ(result["damaged_ranges"],
            Json::parse("[{\"offset\": " + std::to_string(photo.InFile.First) +
                        ", \"length\": " + std::to_string(photo.InFile.End - photo.InFile.First) + "}]"));
  Bytes expected = ReadWholeFile(photo.File->Expected);
  std::fill(expected.begin() + static_cast<ptrdiff_t>(photo.InFile.First),
            expected.begin() + static_cast<ptrdiff_t>(photo.InFile.End), std::byte{0});
  EXPECT_EQ(ReadWholeFile(fs::u8path(result["path"].get<std::string>())), expected);

  const CommandResult keptText =
      RunSalvoran({"recover", e01.string(), "--record", record, "--output", keptFolder.string(), "--keep-going"});
  EXPECT_EQ(keptText.ExitCode, 1);
  EXPECT_NE(keptText.Err.find(": bytes " + range + " could not be read from the source and were restored as zeros."),
            std::string::npos)
      << keptText.Err;
}

TEST(CliDamagedImage, RecordsInAChunkThatFailsItsChecksumCountAsUnreadable) {
  const TestImage demo = LoadTestImage("demo");
  ASSERT_EQ(demo.MftRuns.size(), 1u);
  const uint64_t mftStart = static_cast<uint64_t>(demo.MftRuns[0].Lcn) * demo.ClusterSize;
  const ManifestFile* damaged = demo.ListedDeletedFiles().back();
  const Stretch chunk = ChunkOf(mftStart + static_cast<uint64_t>(damaged->Record) * demo.RecordSize + FlipInto);
  const TempDir folder;
  const fs::path e01 = DamagedDemoE01(folder, {mftStart + static_cast<uint64_t>(damaged->Record) * demo.RecordSize + FlipInto});

  const CommandResult scan = RunSalvoran({"scan", e01.string(), "--json"});
  ASSERT_EQ(scan.ExitCode, 0) << scan.Err;
  const Json listing = Json::parse(scan.Out);
  // The scanned records (from 16 on) that have a byte in the chunk.
  const auto recordOf = [&](uint64_t volumeByte) { return static_cast<int64_t>((volumeByte - mftStart) / demo.RecordSize); };
  const int64_t first = std::max<int64_t>(16, recordOf(std::max(chunk.First, mftStart)));
  const int64_t last = std::min<int64_t>(demo.MftRecords - 1, recordOf(chunk.End - 1));
  EXPECT_EQ(listing["unreadable_records"].get<int64_t>(), last - first + 1);
  std::vector<int64_t> listed;
  for (const Json& file : listing["files"]) listed.push_back(file["record"].get<int64_t>());
  for (const ManifestFile* file : demo.ListedDeletedFiles()) {
    const bool inChunk = file->Record >= first && file->Record <= last;
    EXPECT_EQ(std::count(listed.begin(), listed.end(), file->Record), inChunk ? 0 : 1) << file->Path;
  }
}

}  // namespace
}  // namespace salvoran::test
