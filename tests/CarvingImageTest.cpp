// Carving a real volume: the carving image holds real files of every carved format, deleted,
// their records taken by new files while their clusters stay free; beside them a fragmented
// photo, a picture cut short and random data behind signatures. The truth is the manifest and
// the expected content recorded before the deletion.
#include <gtest/gtest.h>

#include <fstream>
#include <iostream>
#include <set>

#include "engine/ClusterBitmap.h"
#include "engine/OpeningPhase.h"
#include "engine/VolumeRecordFetcher.h"
#include "engine/carving/Carver.h"
#include "engine/carving/ClaimedClusters.h"
#include "tests/fixtures/TestImages.h"
#include "tests/support/CarvingSamples.h"

namespace salvoran::test {
namespace {

using carving::CarvedFile;

constexpr size_t BlockBytes = 4u << 20;

const std::set<std::string> CarvedExtensions = {"jpg",  "png",  "gif", "bmp", "pdf", "zip",  "docx",
                                                "xlsx", "pptx", "odt", "ods", "odp", "epub", "jar",
                                                "mp3",  "wav",  "avi", "mp4", "mov", "m4a"};

std::string LowerExtension(const std::string& name) {
  std::string extension = name.substr(name.rfind('.') + 1);
  std::transform(extension.begin(), extension.end(), extension.begin(), [](char c) { return std::tolower(c); });
  return extension;
}

SampleBytes ReadImage(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  SampleBytes bytes(std::filesystem::file_size(path));
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return bytes;
}

bool SameBytes(ByteView bytes, const std::vector<uint8_t>& expected) {
  return bytes.size() == expected.size() &&
         std::equal(bytes.begin(), bytes.end(), expected.begin(),
                    [](std::byte a, uint8_t b) { return std::to_integer<uint8_t>(a) == b; });
}

TEST(CarvingImageTest, FindsDeletedFilesWhoseClustersAreFreeContiguousAndIntact) {
  const TestImage image = LoadTestImage("carving");
  const auto volume = OpenVolumeToScan(VolumeLocation(image.Image.string()));
  VolumeGeometry geometry;
  ReadVolumeGeometry(*volume, geometry);
  VolumeRecordFetcher fetcher(*volume, geometry);
  ClusterBitmap bitmap(*volume, geometry, fetcher);
  // Free means known to be free: a cluster the bitmap cannot tell of is not carved.
  const auto isFree = [&](uint64_t cluster) { return bitmap.Count(cluster, 1) == BitmapCount{}; };

  // The carver reads the image as the deep pass will: once, in large blocks.
  carving::CarvingArea area;
  area.ClusterBytes = geometry.BytesPerCluster;
  area.ClusterIsFree = isFree;
  std::vector<CarvedFile> carved;
  carving::Carver carver(area, [&](CarvedFile&& file) { carved.push_back(std::move(file)); });
  const SampleBytes source = ReadImage(image.Image);
  for (size_t at = 0; at < source.size(); at += BlockBytes)
    carver.Consume(at, ByteView(source).subspan(at, std::min(BlockBytes, source.size() - at)));
  carver.Finish();
  carving::DropCounts dropped = carver.Dropped();

  // Files the scan lists (live, and deleted ones whose record stays) claim their clusters.
  std::vector<carving::ClusterRange> claimed;
  for (const ManifestFile& file : image.Files) {
    if (file.Directory || (file.Deleted && !file.IsListedDeletedFile())) continue;
    for (const ManifestRun& run : file.Runs)
      if (!run.IsHole()) claimed.push_back({static_cast<uint64_t>(run.Lcn), static_cast<uint64_t>(run.Length)});
  }
  carved = carving::RemoveClaimed(std::move(carved), claimed, 0, geometry.BytesPerCluster, dropped);
  EXPECT_EQ(dropped.Count("png", carving::DropReason::ClaimedByListedFile), 1u) << "/Listed/kept-record.png";

  // The target: the real files (not the random data behind signatures, not the picture cut
  // short), deleted, in one run of free clusters that still hold them.
  const std::vector<std::string> samples = CarvingSampleNames();
  size_t targets = 0;
  size_t found = 0;
  std::set<uint64_t> truthOffsets;
  for (const ManifestFile& file : image.Files) {
    if (!file.Deleted || file.Directory || !file.ReusedRecord || file.Runs.size() != 1) continue;
    const uint64_t offset = static_cast<uint64_t>(file.Runs[0].Lcn) * geometry.BytesPerCluster;
    const std::vector<uint8_t> expected = ReadExpected(file);
    if (std::find(samples.begin(), samples.end(), file.Name) == samples.end() ||
        !CarvedExtensions.count(LowerExtension(file.Name)) ||
        bitmap.Count(static_cast<uint64_t>(file.Runs[0].Lcn), static_cast<uint64_t>(file.Runs[0].Length)) != BitmapCount{} ||
        !SameBytes(ByteView(source).subspan(offset, expected.size()), expected))
      continue;
    ++targets;
    truthOffsets.insert(offset);
    const auto match =
        std::find_if(carved.begin(), carved.end(), [&](const CarvedFile& c) { return c.SourceOffset == offset; });
    const bool whole =
        match != carved.end() && match->Length == file.Size && match->Extension == LowerExtension(file.Name);
    found += whole ? 1 : 0;
    EXPECT_TRUE(whole) << file.Path << " is carved whole";
  }
  EXPECT_EQ(targets, samples.size());
  EXPECT_GE(found * 100, targets * 95) << found << " of " << targets;

  // Nothing else is carved (not the fragmented photo, the cut picture, the random data), and each
  // carved file passes its own check and lies in free clusters no listed file claims.
  for (const CarvedFile& file : carved) {
    EXPECT_TRUE(truthOffsets.count(file.SourceOffset)) << file.Name << " is one of the deleted files";
    const ByteView bytes = ByteView(source).subspan(file.SourceOffset, file.Length);
    const CheckResult recheck = RunFormatCheck(bytes, BlockBytes);
    EXPECT_EQ(recheck.Outcome, carving::CheckOutcome::Complete) << file.Name;
    EXPECT_EQ(recheck.Length, file.Length) << file.Name;
    const uint64_t first = file.SourceOffset / geometry.BytesPerCluster;
    const uint64_t last = (file.SourceOffset + file.Length - 1) / geometry.BytesPerCluster;
    EXPECT_EQ(bitmap.Count(first, last - first + 1), BitmapCount{}) << file.Name;
    for (const carving::ClusterRange& range : claimed)
      EXPECT_TRUE(range.First > last || range.First + range.Count <= first) << file.Name << " duplicates a listed file";
  }

  std::cout << "carved " << found << " of " << targets << " target files; dropped:";
  for (const auto& [type, counts] : dropped.ByType)
    for (size_t reason = 0; reason < carving::DropReasonCount; ++reason)
      if (counts[reason])
        std::cout << " " << type << " " << carving::DropReasonText(static_cast<carving::DropReason>(reason)) << " "
                  << counts[reason] << ";";
  std::cout << "\n";
}

}  // namespace
}  // namespace salvoran::test
