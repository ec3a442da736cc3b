// The carver over a source built in memory: where files may start, free and used clusters,
// embedded files, names, the bound on open candidates and the filter against listed files.
// The real-volume test is CarvingImageTest.
#include <gtest/gtest.h>

#include <set>

#include "engine/carving/Carver.h"
#include "engine/carving/ClaimedClusters.h"
#include "tests/support/CarvingSamples.h"

namespace salvoran::test {
namespace {

using carving::CarvedFile;
using carving::Carver;
using carving::CarvingArea;
using carving::DropReason;

constexpr uint32_t ClusterBytes = 4096;

struct Placed {
  std::string Sample;
  uint64_t Offset = 0;
};

// Random bytes with the samples written over them.
SampleBytes BuildSource(size_t clusters, const std::vector<Placed>& placed) {
  SampleBytes source = RandomBytes(clusters * ClusterBytes, 5);
  for (const Placed& file : placed) {
    const SampleBytes bytes = ReadCarvingSample(file.Sample);
    std::copy(bytes.begin(), bytes.end(), source.begin() + static_cast<std::ptrdiff_t>(file.Offset));
  }
  return source;
}

struct Carving {
  std::vector<CarvedFile> Files;
  carving::DropCounts Dropped;
};

Carving Carve(const SampleBytes& source, size_t blockSize, CarvingArea area) {
  Carving result;
  Carver carver(std::move(area), [&](CarvedFile&& file) { result.Files.push_back(std::move(file)); });
  for (size_t at = 0; at < source.size(); at += blockSize)
    carver.Consume(at, ByteView(source).subspan(at, std::min(blockSize, source.size() - at)));
  carver.Finish();
  result.Dropped = carver.Dropped();
  return result;
}

CarvingArea Clusters(std::function<bool(uint64_t)> isFree = {}) {
  CarvingArea area;
  area.ClusterBytes = ClusterBytes;
  area.ClusterIsFree = std::move(isFree);
  return area;
}

TEST(CarverTest, FindsFilesStartingOnFreeClustersWhateverTheBlockSize) {
  const std::vector<Placed> placed = {
      {"photo-exif.jpg", 2 * ClusterBytes},  {"picture.png", 30 * ClusterBytes},
      {"archive.zip", 140 * ClusterBytes},   {"song.mp3", 160 * ClusterBytes},
      {"document.pdf", 172 * ClusterBytes},  {"progressive.jpg", 180 * ClusterBytes + 512},
      {"animation.gif", 190 * ClusterBytes}, {"movie.mp4", 200 * ClusterBytes}};
  const SampleBytes source = BuildSource(260, placed);
  // The GIF's first cluster is in use: it is not a candidate. The MP4 runs into a cluster in use.
  const auto isFree = [](uint64_t cluster) { return cluster != 190 && cluster != 220; };
  for (const size_t blockSize : {size_t{4} << 20, size_t{ClusterBytes}, size_t{1000}, size_t{13}}) {
    const Carving carving = Carve(source, blockSize, Clusters(isFree));
    std::vector<std::pair<uint64_t, uint64_t>> found;
    for (const CarvedFile& file : carving.Files) found.emplace_back(file.SourceOffset, file.Length);
    std::vector<std::pair<uint64_t, uint64_t>> expected;
    for (const Placed& file : placed) {
      // Not on a cluster boundary, in use at the start, running into a cluster in use.
      if (file.Sample == "progressive.jpg" || file.Sample == "animation.gif" || file.Sample == "movie.mp4") continue;
      expected.emplace_back(file.Offset, std::filesystem::file_size(CarvingSamplePath(file.Sample)));
    }
    EXPECT_EQ(found, expected) << "blocks of " << blockSize;
    EXPECT_EQ(carving.Dropped.Count("mp4", DropReason::RunsIntoClustersInUse), 1u) << "blocks of " << blockSize;
  }
}

// Sector boundaries where no cluster size is known; every byte here, so that an APP1 thumbnail
// and any signature inside a file are starts too: only the outer file is carved.
TEST(CarverTest, KeepsTheOuterFileOfAnEmbeddedOne) {
  const SampleBytes source = BuildSource(30, {{"photo-exif.jpg", 3 * ClusterBytes + 100}});
  CarvingArea everyByte;
  everyByte.ClusterBytes = 1;
  const Carving carving = Carve(source, 64 << 10, everyByte);
  ASSERT_EQ(carving.Files.size(), 1u);
  EXPECT_EQ(carving.Files[0].SourceOffset, 3 * ClusterBytes + 100);
  EXPECT_EQ(carving.Files[0].Length, std::filesystem::file_size(CarvingSamplePath("photo-exif.jpg")));
  EXPECT_GE(carving.Dropped.Count("jpg", DropReason::InsideCarvedFile), 1u);
}

TEST(CarverTest, NamesFilesByTheirFirstClusterOrThePhotoDate) {
  const SampleBytes source =
      BuildSource(60, {{"photo-exif.jpg", 5 * ClusterBytes}, {"report.docx", 40 * ClusterBytes}});
  CarvingArea area = Clusters();
  area.Offset = ClusterBytes;  // the volume starts a cluster into the source
  const Carving carving = Carve(source, 1 << 20, area);
  ASSERT_EQ(carving.Files.size(), 2u);
  EXPECT_EQ(carving.Files[0].Name, "2021-06-13_14-22-05_carved-00000004.jpg");
  ASSERT_TRUE(carving.Files[0].ContentTime);
  EXPECT_EQ(carving.Files[0].ContentTime->Hour, 14);
  EXPECT_EQ(carving.Files[1].Name, "carved-00000039.docx");
  EXPECT_EQ(carving.Files[1].FirstCluster, 39u);
}

// Movies whose media box claims a gigabyte stay open to the end: the carver follows a bounded
// number of them and counts the rest.
TEST(CarverTest, FollowsABoundedNumberOfCandidatesAtOnce) {
  SampleBytes source = RandomBytes(40 * ClusterBytes, 3);
  const std::string header(
      "\0\0\0\x10"
      "ftypisom\0\0\0\0"
      "\x40\0\0\0mdat",
      24);
  for (size_t cluster = 0; cluster < 20; ++cluster)
    std::transform(header.begin(), header.end(), source.begin() + static_cast<std::ptrdiff_t>(cluster * ClusterBytes),
                   [](char c) { return static_cast<std::byte>(c); });
  const Carving carving = Carve(source, 1 << 20, Clusters());
  EXPECT_TRUE(carving.Files.empty());
  EXPECT_EQ(carving.Dropped.Count("mp4", DropReason::TooManyOpen), 20 - Carver::MaxOpenCandidates);
  EXPECT_EQ(carving.Dropped.Count("mp4", DropReason::EndNotFound), Carver::MaxOpenCandidates);
}

TEST(CarverTest, DropsFilesSharingAClusterWithAListedFile) {
  std::vector<CarvedFile> files(3);
  files[0].SourceOffset = 10 * ClusterBytes + ClusterBytes;  // clusters 10-11 of an area at 1 cluster
  files[0].Length = 2 * ClusterBytes;
  files[1].SourceOffset = 21 * ClusterBytes;  // cluster 20 only, its last byte
  files[1].Length = ClusterBytes;
  files[2].SourceOffset = 31 * ClusterBytes;  // clusters 30-32, the claim ends at 29
  files[2].Length = 3 * ClusterBytes;
  for (CarvedFile& file : files) file.Extension = "png";
  carving::DropCounts dropped;
  const std::vector<CarvedFile> kept =
      carving::RemoveClaimed(files, {{25, 5}, {11, 1}, {0, 0}, {20, 1}}, ClusterBytes, ClusterBytes, dropped);
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_EQ(kept[0].SourceOffset, files[2].SourceOffset);
  EXPECT_EQ(dropped.Count("png", DropReason::ClaimedByListedFile), 2u);
}

}  // namespace
}  // namespace salvoran::test
