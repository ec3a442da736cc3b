#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>

#include "engine/RawVolume.h"
#include "engine/SystemError.h"
#include "tests/support/CraftedVolume.h"
#include "tests/support/TempDir.h"

namespace salvoran {
namespace {

namespace fs = std::filesystem;
using test::Bytes;

constexpr size_t VolumeBytes = 10'000;

// Runs the same reads against memory and against an image file holding the same bytes.
class VolumeReadTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (GetParam()) {
      test::WriteImage(image_, content_);
      OpenResult opened = OpenRawVolume(image_.string());
      ASSERT_TRUE(opened.Volume) << SystemErrorText(opened.ErrorCode);
      volume_ = std::move(opened.Volume);
    } else {
      volume_ = std::make_unique<MemoryVolume>(content_);
    }
  }

  Bytes content_ = test::Pattern(VolumeBytes, 0x11);
  test::TempDir folder_;
  fs::path image_ = folder_.Path() / "volume.img";
  std::unique_ptr<VolumeSource> volume_;
};

TEST_P(VolumeReadTest, ReadsTheBytesAtAnOffset) {
  EXPECT_EQ(volume_->Size(), VolumeBytes);
  Bytes buffer(1000);
  const ReadOutcome outcome = volume_->ReadAt(4321, buffer);
  EXPECT_EQ(outcome.BytesRead, 1000u);
  EXPECT_FALSE(outcome.Failed());
  EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), content_.begin() + 4321));
}

TEST_P(VolumeReadTest, AReadPastTheEndGivesFewerBytesWithoutError) {
  Bytes buffer(1000, std::byte{0xEE});
  const ReadOutcome outcome = volume_->ReadAt(VolumeBytes - 300, buffer);
  EXPECT_EQ(outcome.BytesRead, 300u);
  EXPECT_FALSE(outcome.Failed());
  EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + 300, content_.end() - 300));
}

TEST_P(VolumeReadTest, AReadFromBeyondTheEndGivesNothing) {
  Bytes buffer(16);
  for (uint64_t offset : {uint64_t{VolumeBytes}, uint64_t{VolumeBytes} + 1, uint64_t{1} << 40}) {
    EXPECT_EQ(volume_->ReadAt(offset, buffer).BytesRead, 0u) << offset;
  }
}

TEST_P(VolumeReadTest, AnOffsetNoFileCanHaveIsRefusedNotWrapped) {
  Bytes buffer(16);
  const ReadOutcome outcome = volume_->ReadAt(UINT64_MAX - 4, buffer);
  EXPECT_EQ(outcome.BytesRead, 0u);
}

INSTANTIATE_TEST_SUITE_P(Sources, VolumeReadTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "ImageFile" : "Memory"; });

TEST(OpenRawVolumeTest, AnEmptyPathFailsLikeAMissingFile) {
  const OpenResult opened = OpenRawVolume("");
  EXPECT_EQ(opened.Volume, nullptr);
  EXPECT_EQ(opened.ErrorCode, ENOENT);
}

TEST(OpenRawVolumeTest, AMissingFileFailsWithItsErrorCode) {
  test::TempDir folder;
  const OpenResult opened = OpenRawVolume((folder.Path() / "absent.img").string());
  EXPECT_EQ(opened.Volume, nullptr);
  EXPECT_EQ(opened.ErrorCode, ENOENT);
}

TEST(OpenRawVolumeTest, ADirectoryIsNoVolume) {
  test::TempDir folder;
  const OpenResult opened = OpenRawVolume(folder.Path().string());
  EXPECT_EQ(opened.Volume, nullptr);
  EXPECT_EQ(opened.ErrorCode, EISDIR);
}

// The descriptor the process holds on `path`, from /proc.
std::optional<int> DescriptorOf(const fs::path& path) {
  for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
    std::error_code error;
    if (fs::read_symlink(entry.path(), error) == path) return std::stoi(entry.path().filename().string());
  }
  return std::nullopt;
}

// The access mode of the descriptor the process holds on `path`, from /proc.
std::optional<int> AccessModeOfOpenFile(const fs::path& path) {
  const std::optional<int> descriptor = DescriptorOf(path);
  if (!descriptor) return std::nullopt;
  std::ifstream info("/proc/self/fdinfo/" + std::to_string(*descriptor));
  std::string key;
  while (info >> key) {
    if (key == "flags:") {
      std::string octal;
      info >> octal;
      return static_cast<int>(std::stoi(octal, nullptr, 8) & O_ACCMODE);
    }
  }
  return std::nullopt;
}

class ReadOnlyOpenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::WriteImage(image_, content_);
    opened_ = OpenRawVolume(image_.string());
    ASSERT_TRUE(opened_.Volume) << SystemErrorText(opened_.ErrorCode);
  }

  test::TempDir folder_;
  fs::path image_ = fs::canonical(folder_.Path()) / "volume.img";
  Bytes content_ = test::Pattern(4096, 0x21);
  OpenResult opened_;
};

// Nothing this tool does may write to the volume being rescued.
TEST_F(ReadOnlyOpenTest, OpensTheVolumeReadOnly) { EXPECT_EQ(AccessModeOfOpenFile(image_), O_RDONLY); }

// Tests run as root, where mode bits stop no write: the descriptor itself must refuse.
TEST_F(ReadOnlyOpenTest, TheVolumesDescriptorRefusesAWriteEvenForRoot) {
  const std::optional<int> descriptor = DescriptorOf(image_);
  ASSERT_TRUE(descriptor);
  const char junk[16] = {};
  errno = 0;
  EXPECT_EQ(::pwrite(*descriptor, junk, sizeof junk, 0), -1);
  EXPECT_EQ(errno, EBADF);
  EXPECT_EQ(test::ReadWholeFile(image_), content_);
}

TEST(SystemErrorTextTest, GivesThePlatformsTextWithoutTrailingFullStopOrBlank) {
  EXPECT_EQ(SystemErrorText(ENOENT), "No such file or directory");
  EXPECT_EQ(SystemErrorText(EIO), "Input/output error");
  for (int code : {EACCES, ENOSPC, EISDIR, 0, -1, 99999}) {
    const std::string text = SystemErrorText(code);
    ASSERT_FALSE(text.empty()) << code;
    EXPECT_NE(text.back(), '.') << code;
    EXPECT_NE(text.back(), ' ') << code;
    EXPECT_NE(text.back(), '\n') << code;
  }
}

}  // namespace
}  // namespace salvoran
