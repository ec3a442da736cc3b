#include "support/FilesAndBytesEstimate.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace salvoran {
namespace {

constexpr double SecondsPerFile = 0.001;
constexpr double SecondsPerByte = 5e-9;  // 200 MB/s
constexpr uint64_t KiB = 1024;
constexpr uint64_t MiB = 1024 * KiB;

double Cost(uint64_t bytes) { return SecondsPerFile + SecondsPerByte * static_cast<double>(bytes); }

// Small files of 1 to 64 KiB, then one of 768 MiB: the restore that showed "0%, about 4:08 left"
// after six thousand files.
std::vector<uint64_t> ManySmallFilesAndOneLarge() {
  std::vector<uint64_t> sizes;
  for (uint64_t file = 0; file < 39'850; ++file) sizes.push_back(KiB * (1 + file * 37 % 64));
  sizes.push_back(768 * MiB);
  return sizes;
}

TEST(FilesAndBytesEstimate, WeighsFilesAndBytesByWhatTheFinishedFilesCost) {
  const std::vector<uint64_t> sizes = ManySmallFilesAndOneLarge();
  uint64_t totalBytes = 0;
  double totalSeconds = 0;
  for (const uint64_t size : sizes) {
    totalBytes += size;
    totalSeconds += Cost(size);
  }
  FilesAndBytesEstimate estimate(sizes.size(), totalBytes);
  constexpr size_t Done = 6131;
  double elapsed = 0;
  for (size_t file = 0; file < Done; ++file) {
    estimate.FileDone(sizes[file], Cost(sizes[file]));
    elapsed += Cost(sizes[file]);
  }

  // Bytes alone said 3% and four minutes; the work is a sixth done, with about 40 s to go.
  const std::optional<double> left = estimate.SecondsLeft(0, elapsed);
  ASSERT_TRUE(left.has_value());
  EXPECT_NEAR(*left, totalSeconds - elapsed, 0.02 * (totalSeconds - elapsed));
  EXPECT_NEAR(estimate.DoneShare(0), elapsed / totalSeconds, 0.01);
  // Half of the large file copied counts for its bytes.
  EXPECT_NEAR(*estimate.SecondsLeft(384 * MiB, elapsed), totalSeconds - elapsed - 384 * MiB * SecondsPerByte,
              0.02 * (totalSeconds - elapsed));
}

TEST(FilesAndBytesEstimate, FilesAndBytesCountHalfEachUntilTheSizesTellThemApart) {
  FilesAndBytesEstimate estimate(10, 1000 * MiB);
  EXPECT_DOUBLE_EQ(estimate.DoneShare(0), 0);
  EXPECT_FALSE(estimate.SecondsLeft(0, 10).has_value());
  // Files of one size say nothing of what a byte costs beside a file.
  for (int file = 0; file < 8; ++file) estimate.FileDone(10 * MiB, 0.1);
  EXPECT_DOUBLE_EQ(estimate.DoneShare(0), (0.8 + 0.08) / 2);
  const std::optional<double> left = estimate.SecondsLeft(0, 0.8);
  ASSERT_TRUE(left.has_value());
  EXPECT_NEAR(*left, 0.8 * (1 - 0.44) / 0.44, 1e-3);
}

TEST(FilesAndBytesEstimate, EmptyFilesCountByNumberAndNothingIsLeftAtTheEnd) {
  FilesAndBytesEstimate estimate(4, 0);
  estimate.FileDone(0, 0.2);
  EXPECT_DOUBLE_EQ(estimate.DoneShare(0), 0.25);
  for (int file = 0; file < 3; ++file) estimate.FileDone(0, 0.2);
  EXPECT_DOUBLE_EQ(estimate.DoneShare(0), 1.0);
  EXPECT_FALSE(estimate.SecondsLeft(0, 0.8).has_value());
}

}  // namespace
}  // namespace salvoran
