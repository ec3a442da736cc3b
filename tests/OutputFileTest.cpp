// Restores onto FUSE file systems, which lack the no-replace rename (and exFAT hard links too):
// every file arrives whole, and a file already at the target name is never replaced.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include <limits.h>

#include <array>

#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "engine/EngineError.h"
#include "recovery/OutputFile.h"
#include "tests/fixtures/TestImages.h"
#include "tests/support/CommandRunner.h"
#include "tests/support/CraftedVolume.h"
#include "tests/support/FuseMount.h"
#include "tests/support/LongFoldersVolume.h"

namespace salvoran::test {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

void ExpectNoTemporaryFile(const fs::path& folder) {
  for (const auto& entry : fs::directory_iterator(folder)) {
    EXPECT_NE(entry.path().extension(), ".part") << entry.path();
  }
}

// Modification and access times, and on NTFS through ntfs-3g the creation time too.
void ExpectOriginalTimes(const fs::path& restored, const ManifestFile& file, bool creationTime) {
  struct stat status {};
  ASSERT_EQ(::stat(restored.c_str(), &status), 0) << restored;
  EXPECT_EQ(status.st_mtim.tv_sec, file.Times.Modified) << file.Path;
  EXPECT_EQ(status.st_atim.tv_sec, file.Times.Accessed) << file.Path;
  if (!creationTime) return;
  std::array<unsigned char, 8> bigEndian{};
  ASSERT_EQ(::getxattr(restored.c_str(), "system.ntfs_crtime_be", bigEndian.data(), bigEndian.size()), 8);
  uint64_t created = 0;
  for (unsigned char byte : bigEndian) created = created << 8 | byte;
  constexpr int64_t SecondsFrom1601To1970 = 11'644'473'600;
  constexpr uint64_t TicksPerSecond = 10'000'000;
  EXPECT_EQ(created, static_cast<uint64_t>(file.Times.Created + SecondsFrom1601To1970) * TicksPerSecond) << file.Path;
}

class RestoreOntoFuse : public testing::TestWithParam<FuseFileSystem> {
 protected:
  void SetUp() override {
    mount_.emplace(GetParam());
    if (!mount_->SkipReason().empty()) GTEST_SKIP() << mount_->SkipReason();
  }

  std::optional<FuseMount> mount_;
};

TEST_P(RestoreOntoFuse, RestoresEveryFileWhole) {
  const TestImage image = LoadTestImage("demo");
  const fs::path output = mount_->MountPoint() / "restored";
  const CommandResult recover =
      RunSalvoran({"recover", image.Image.string(), "--all", "--output", output.string(), "--json"});
  ASSERT_EQ(recover.ExitCode, 0) << recover.Out << recover.Err;
  std::map<int64_t, const ManifestFile*> byRecord;
  for (const ManifestFile* file : image.ListedDeletedFiles()) byRecord[file->Record] = file;
  const Json results = Json::parse(recover.Out)["results"];
  ASSERT_EQ(results.size(), byRecord.size());
  for (const Json& result : results) {
    const ManifestFile& file = *byRecord.at(result["record"].get<int64_t>());
    const fs::path restored = fs::u8path(result["path"].get<std::string>());
    ExpectOriginalTimes(restored, file, GetParam() == FuseFileSystem::Ntfs3g);
    EXPECT_EQ(ReadWholeFile(restored), ReadWholeFile(file.Expected)) << file.Path;
  }
  ExpectNoTemporaryFile(output);
}

TEST_P(RestoreOntoFuse, NeverReplacesAFileThatAppearedDuringTheCopy) {
  const fs::path target = mount_->MountPoint() / "report.txt";
  std::optional<OutputFile> output;
  output.emplace(target, OutputFile::ExistingTarget::Keep);
  const std::string content = "restored";
  output->Write(std::as_bytes(std::span(content)));
  std::ofstream(target) << "someone else's";
  EXPECT_THROW(output->Commit(content.size()), EngineError);
  output.reset();
  EXPECT_EQ(ReadWholeFile(target), ToBytes("someone else's"));
  ExpectNoTemporaryFile(mount_->MountPoint());
}

// A folder deeper than a Linux path is made in place here too, each level relative to the one
// above; these file systems refuse a name that is not whole UTF-8, the temporary name included.
TEST_P(RestoreOntoFuse, KeepsAFolderDeeperThanALinuxPath) {
  const LongFoldersVolume volume = FilesInLongFolders(1, 20);
  const fs::path image = mount_->MountPoint().parent_path() / "deep.img";
  WriteImage(image, volume.Image);
  const fs::path output = mount_->MountPoint() / "restored";
  const CommandResult recover =
      RunSalvoran({"recover", image.string(), "--all", "--keep-folders", "--output", output.string(), "--json"});
  ASSERT_EQ(recover.ExitCode, 0) << recover.Out.substr(0, 500) << recover.Err.substr(0, 500);
  const Json result = Json::parse(recover.Out)["results"][0];
  const std::string path = result["path"].get<std::string>();
  EXPECT_GT(path.size(), size_t{PATH_MAX});
  EXPECT_TRUE(RunCommand({"find", output.string(), "-type", "f"}).Out == path + "\n");
}

// exFAT takes no ':' in a name: the file whose folder has one fails, and says which folder.
TEST(RestoreOntoExfat, AFolderNameTheTargetRefusesFailsItsFileWithTheFoldersName) {
  const FuseMount mount(FuseFileSystem::ExfatFuse);
  if (!mount.SkipReason().empty()) GTEST_SKIP() << mount.SkipReason();
  const fs::path image = mount.MountPoint().parent_path() / "colon.img";
  WriteImage(image, FilesInFolders(1, {u"a:b"}).Image);
  const fs::path output = mount.MountPoint() / "restored";
  const CommandResult recover =
      RunSalvoran({"recover", image.string(), "--all", "--keep-folders", "--output", output.string(), "--json"});
  EXPECT_EQ(recover.ExitCode, 1) << recover.Err;
  const Json result = Json::parse(recover.Out)["results"][0];
  EXPECT_FALSE(result["ok"].get<bool>());
  EXPECT_NE(result["error"].get<std::string>().find("Cannot create folder \"" + (output / "a:b").string() + "\". "),
            std::string::npos)
      << result["error"];
  EXPECT_EQ(RunCommand({"find", output.string(), "-mindepth", "1"}).Out, "");
}

INSTANTIATE_TEST_SUITE_P(Targets, RestoreOntoFuse, testing::Values(FuseFileSystem::Ntfs3g, FuseFileSystem::ExfatFuse),
                         [](const auto& info) { return info.param == FuseFileSystem::Ntfs3g ? "Ntfs3g" : "ExfatFuse"; });

}  // namespace
}  // namespace salvoran::test
