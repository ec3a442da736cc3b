// salvoran recover on real NTFS images: every restored file must equal what the generator wrote
// and what The Sleuth Kit's icat reads from the same record.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <limits.h>
#include <sys/sysmacros.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>

#include "tests/fixtures/TestImages.h"
#include "recovery/TargetNames.h"
#include "tests/support/CommandRunner.h"
#include "tests/support/LongFoldersVolume.h"
#include "tests/support/UnchangedSource.h"

namespace salvoran::test {
namespace {

using Json = nlohmann::json;
namespace fs = std::filesystem;

std::string ReadWholeFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

fs::path FreshFolder(const std::string& name) {
  const fs::path folder = fs::path(testing::TempDir()) / ("salvoran-" + name);
  fs::remove_all(folder);
  return folder;
}

class RecoverAllOfGeneratedImage : public testing::TestWithParam<std::string> {};

void ExpectOriginalTimes(const fs::path& restored, const ManifestFile& file) {
  struct stat status {};
  ASSERT_EQ(::stat(restored.c_str(), &status), 0) << restored;
  EXPECT_EQ(status.st_mtim.tv_sec, file.Times.Modified) << file.Path;
  EXPECT_EQ(status.st_atim.tv_sec, file.Times.Accessed) << file.Path;
}

// What a restore of the file must answer instead of its content, or nothing.
std::string ExpectedFailure(const ManifestFile& file) {
  if (file.Encrypted) return "The file is encrypted: its content cannot be read without its owner's key.";
  if (!file.ReusedExtensions.empty()) {
    return "Part of the file's record has been taken by another file, so its content cannot be restored whole.";
  }
  return {};
}

// Compressed, attribute-list, encrypted, 4K-sector and initialized-size files included.
TEST_P(RecoverAllOfGeneratedImage, RestoresEveryFileAsTheGeneratorWroteIt) {
  const TestImage image = LoadTestImage(GetParam());
  const UnchangedSource source(image.Image.string());
  const fs::path output = FreshFolder("all-" + GetParam());
  const CommandResult recover =
      RunSalvoran({"recover", image.Image.string(), "--all", "--output", output.string(), "--json"});
  const Json results = Json::parse(recover.Out)["results"];

  std::map<int64_t, const ManifestFile*> byRecord;
  bool someFail = false;
  for (const ManifestFile& file : image.Files) {
    if (file.Deleted && !file.Directory && !file.ReusedRecord) byRecord[file.Record] = &file;
    someFail = someFail || (file.IsListedDeletedFile() && !ExpectedFailure(file).empty());
  }
  EXPECT_EQ(recover.ExitCode, someFail ? 1 : 0) << recover.Err;
  ASSERT_EQ(results.size(), byRecord.size());
  for (const Json& result : results) {
    const int64_t record = result["record"].get<int64_t>();
    if (const std::string failure = ExpectedFailure(*byRecord.at(record)); !failure.empty()) {
      EXPECT_FALSE(result["ok"].get<bool>()) << result.dump();
      EXPECT_NE(result["error"].get<std::string>().find(failure), std::string::npos) << result.dump();
      continue;
    }
    ASSERT_TRUE(result["ok"].get<bool>()) << result.dump();
    EXPECT_TRUE(result["error"].is_null());
    EXPECT_EQ(result["overwritten_clusters"].get<uint64_t>(), byRecord.at(record)->OverwrittenClusters.value());
    const fs::path restored = fs::u8path(result["path"].get<std::string>());
    EXPECT_EQ(restored.parent_path(), output);
    ExpectOriginalTimes(restored, *byRecord.at(record));  // before reading moves the access time
    const std::string content = ReadWholeFile(restored);
    // Clusters a newer file has taken since hold its data now, as icat reads them too.
    if (byRecord.at(record)->OverwrittenClusters.value_or(0) == 0) {
      EXPECT_EQ(content, ReadWholeFile(byRecord.at(record)->Expected)) << byRecord.at(record)->Path;
    }
    const CommandResult icat = RunCommand({"icat", image.Image.string(), std::to_string(record)});
    EXPECT_EQ(content, icat.Out) << "icat of record " << record;
  }
}

INSTANTIATE_TEST_SUITE_P(AllLayouts, RecoverAllOfGeneratedImage,
                         testing::Values("standard-512", "standard-4k", "standard-64k", "fragmented-mft", "compressed-4k",
                                         "compressed-1k", "attributes-4k", "sector-4k", "mft-attribute-list",
                                         "folders"),
                         [](const auto& info) {
                           std::string name = info.param;
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });

// Links planted in a shared output folder, as another user of /tmp could, in place of a folder
// and of a file the restore makes: the tree is made beside them and nothing goes through them.
TEST(CliRecover, KeepFoldersRecreatesTheTreeAndFollowsNoPlantedLink) {
  const TestImage image = LoadTestImage("folders");
  const UnchangedSource source(image.Image.string());
  const fs::path output = FreshFolder("keep-folders");
  const fs::path outside = FreshFolder("keep-folders-outside");
  fs::create_directories(output);
  fs::create_directories(outside);
  fs::create_directory_symlink(outside, output / "Archive");
  fs::create_directory_symlink(outside, output / "(path unknown)");
  fs::create_directories(output / "Media");
  fs::create_symlink(outside / "clip.mp4", output / "Media" / "clip.mp4");

  const CommandResult recover = RunSalvoran(
      {"recover", image.Image.string(), "--all", "--keep-folders", "--output", output.string(), "--json"});
  ASSERT_EQ(recover.ExitCode, 0) << recover.Err;
  EXPECT_TRUE(fs::is_empty(outside));
  const Json results = Json::parse(recover.Out)["results"];
  ASSERT_EQ(results.size(), image.ListedDeletedFiles().size());
  for (const Json& result : results) {
    const ManifestFile& file = *image.FindRecord(result["record"].get<int64_t>());
    std::string folder = file.ExpectedFolder;
    if (folder.starts_with("/Archive/")) folder.replace(0, 8, "/Archive (2)");
    if (!folder.starts_with("/")) folder = "/(path unknown) (2)" + (folder.empty() ? "" : "/" + folder);
    const std::string name = file.Name == "clip.mp4" ? "clip (2).mp4" : file.Name;
    const fs::path expected = output.string() + (folder == "/" ? "" : folder) + "/" + name;
    EXPECT_EQ(fs::u8path(result["path"].get<std::string>()), expected);
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(expected))) << expected;
    if (file.OverwrittenClusters == 0u) {
      EXPECT_EQ(ReadWholeFile(expected), ReadWholeFile(file.Expected)) << expected;
    }
  }
}

// A folder deeper than a Linux path (20 levels of 255 CJK characters, 15 KB; 5 KB once each name is
// cut to the 255 bytes Linux allows) is listed whole and made in place, each level relative to the
// one above it. The paths are compared as flags: the texts are too long for a useful message.
TEST(CliRecover, KeepFoldersMakesAFolderDeeperThanALinuxPathInPlace) {
  const LongFoldersVolume volume = FilesInLongFolders(1, 20);
  const fs::path output = fs::path(testing::TempDir()) / "salvoran-deep-folders";
  RunCommand({"rm", "-rf", output.string()});  // a path-based removal cannot reach this deep
  const fs::path image = output.string() + ".img";
  WriteImage(image, volume.Image);
  const UnchangedSource source(image.string());

  const CommandResult scan = RunSalvoran({"scan", image.string(), "--json"});
  ASSERT_EQ(scan.ExitCode, 0) << scan.Err;
  EXPECT_TRUE(Json::parse(scan.Out)["files"][0]["folder"] == volume.Folder);
  const CommandResult recover =
      RunSalvoran({"recover", image.string(), "--all", "--keep-folders", "--output", output.string(), "--json"});
  ASSERT_EQ(recover.ExitCode, 0) << recover.Err;
  const Json result = Json::parse(recover.Out)["results"][0];
  std::string expected = output.string();
  for (const auto& level : fs::path(volume.Folder.substr(1))) expected += "/" + SafeFileName(level.string());
  expected += "/" + SafeFileName(volume.FileName);
  ASSERT_GT(expected.size(), size_t{PATH_MAX});
  EXPECT_TRUE(result["ok"].get<bool>()) << result["error"];
  EXPECT_TRUE(result["path"] == expected);
  // find walks the tree through each folder's descriptor, as no path this long can be opened.
  EXPECT_TRUE(RunCommand({"find", output.string(), "-type", "f"}).Out == expected + "\n");
  RunCommand({"rm", "-rf", output.string()});
}

// Restored all the same, as what is left may be wanted, with a warning that says how much is not.
TEST(CliRecover, WarnsOfFilesWhoseClustersOtherFilesTook) {
  const TestImage image = LoadTestImage("folders");
  const fs::path output = FreshFolder("overwritten");
  const ManifestFile& clip = image.Get("/Media/clip.mp4");
  const CommandResult recover =
      RunSalvoran({"recover", image.Image.string(), "--record", std::to_string(clip.Record), "--record",
                   std::to_string(image.Get("/Media/cover.jpg").Record), "--output", output.string()});
  EXPECT_EQ(recover.ExitCode, 0) << recover.Err;
  EXPECT_NE(recover.Out.find("clip.mp4"), std::string::npos) << recover.Out;
  EXPECT_NE(recover.Err.find("clip.mp4: 32 of its 64 clusters are in use by other files now"), std::string::npos)
      << recover.Err;
  EXPECT_EQ(recover.Err.find("cover.jpg"), std::string::npos) << recover.Err;
}

TEST(CliRecover, DeletedFilesOfTheSameNameBothSurvive) {
  const TestImage image = LoadTestImage("standard-4k");
  const UnchangedSource source(image.Image.string());
  std::map<std::string, int> deletedNames;
  for (const ManifestFile& file : image.Files) {
    if (file.Deleted && !file.Directory && !file.ReusedRecord) ++deletedNames[file.Name];
  }
  const auto twice = std::find_if(deletedNames.begin(), deletedNames.end(), [](const auto& n) { return n.second > 1; });
  ASSERT_NE(twice, deletedNames.end()) << "the generator deletes two files of the same name";

  const fs::path output = FreshFolder("same-name");
  ASSERT_EQ(RunSalvoran({"recover", image.Image.string(), "--all", "--output", output.string()}).ExitCode, 0);
  const fs::path name = fs::u8path(twice->first);
  const fs::path second = name.stem().string() + " (2)" + name.extension().string();
  EXPECT_TRUE(fs::exists(output / name));
  EXPECT_TRUE(fs::exists(output / second));
}

TEST(CliRecover, NeverReplacesAFileAlreadyInTheFolder) {
  const TestImage image = LoadTestImage("standard-4k");
  const UnchangedSource source(image.Image.string());
  const auto deleted = std::find_if(image.Files.begin(), image.Files.end(), [](const ManifestFile& f) {
    return f.Deleted && !f.Directory && !f.ReusedRecord;
  });
  const fs::path output = FreshFolder("keep-existing");
  fs::create_directories(output);
  const fs::path existing = output / fs::u8path(deleted->Name);
  std::ofstream(existing) << "keep me";
  const CommandResult recover = RunSalvoran({"recover", image.Image.string(), "--record",
                                             std::to_string(deleted->Record), "--output", output.string(), "--json"});
  ASSERT_EQ(recover.ExitCode, 0) << recover.Err;
  EXPECT_EQ(ReadWholeFile(existing), "keep me");
  const fs::path restored = fs::u8path(Json::parse(recover.Out)["results"][0]["path"].get<std::string>());
  EXPECT_NE(restored, existing);
  EXPECT_EQ(ReadWholeFile(restored), ReadWholeFile(deleted->Expected));
}

// Named streams of deleted files, one of them stored before the unnamed $DATA and one in an
// extension record, against the generator and icat of the stream's own attribute.
TEST(CliRecover, RestoresTheNamedStreamAskedFor) {
  const TestImage image = LoadTestImage("attributes-4k");
  const UnchangedSource source(image.Image.string());
  const CommandResult fls = RunCommand({"fls", "-r", "-d", "-p", image.Image.string()});
  const fs::path output = FreshFolder("streams");
  size_t streams = 0;
  for (const ManifestFile* file : image.ListedDeletedFiles()) {
    for (const ManifestStream& stream : file->Streams) {
      const CommandResult recover = RunSalvoran({"recover", image.Image.string(), "--record", std::to_string(file->Record),
                                                 "--stream", stream.Name, "--output", output.string(), "--json"});
      ASSERT_EQ(recover.ExitCode, 0) << recover.Err;
      const fs::path restored = fs::u8path(Json::parse(recover.Out)["results"][0]["path"].get<std::string>());
      EXPECT_EQ(restored.filename().string(), file->Name + "_" + stream.Name);
      const std::string content = ReadWholeFile(restored);
      EXPECT_EQ(content, ReadWholeFile(stream.Expected)) << file->Path << ":" << stream.Name;
      std::smatch attribute;  // "-/r * 81-128-4:\tStreams/harbor.jpg:Zone.Identifier"
      ASSERT_TRUE(std::regex_search(fls.Out, attribute,
                                    std::regex("(" + std::to_string(file->Record) + "-128-\\d+):\t[^\n]*:" +
                                               stream.Name + "\n")));
      EXPECT_EQ(content, RunCommand({"icat", image.Image.string(), attribute[1]}).Out);
      ++streams;
    }
  }
  EXPECT_GE(streams, 4u);
  const CommandResult unknown = RunSalvoran({"recover", image.Image.string(), "--record", "81", "--stream", "Nothing",
                                             "--output", output.string()});
  EXPECT_EQ(unknown.ExitCode, 1);
  EXPECT_NE(unknown.Err.find("The file has no stream of that name."), std::string::npos) << unknown.Err;
}

// Windows reads a file past its initialized size as zeros: the restore leaves that part a hole.
TEST(CliRecover, BytesPastTheInitializedSizeAreAHole) {
  const TestImage image = LoadTestImage("attributes-4k");
  const ManifestFile& file = image.Get("/Sizes/preallocated.dat");
  ASSERT_LT(file.InitializedSize, file.Size);
  const fs::path output = FreshFolder("preallocated");
  ASSERT_EQ(RunSalvoran({"recover", image.Image.string(), "--record", std::to_string(file.Record), "--output",
                         output.string()})
                .ExitCode,
            0);
  const fs::path restored = output / file.Name;
  EXPECT_EQ(ReadWholeFile(restored), ReadWholeFile(file.Expected));
  struct stat info {};
  ASSERT_EQ(::stat(restored.c_str(), &info), 0);
  EXPECT_LT(static_cast<uint64_t>(info.st_blocks) * 512, file.Size);
}

TEST(CliRecover, ARecordThatIsNoDeletedFileFailsWithStatusOne) {
  const TestImage image = LoadTestImage("standard-4k");
  const UnchangedSource source(image.Image.string());
  const CommandResult recover = RunSalvoran(
      {"recover", image.Image.string(), "--record", "5", "--output", FreshFolder("not-deleted").string(), "--json"});
  EXPECT_EQ(recover.ExitCode, 1);
  const Json result = Json::parse(recover.Out)["results"][0];
  EXPECT_FALSE(result["ok"].get<bool>());
  EXPECT_TRUE(result["error"].is_string());
}

TEST(CliRecover, BadUsageExitsWithStatusTwo) {
  const std::string image = LoadTestImage("standard-4k").Image.string();
  const UnchangedSource source(image);
  EXPECT_EQ(RunSalvoran({"recover", image, "--all"}).ExitCode, 2);
  EXPECT_EQ(RunSalvoran({"recover", image, "--output", FreshFolder("usage").string()}).ExitCode, 2);
  EXPECT_EQ(RunSalvoran({"recover", image, "--all", "--record", "70", "--output", "x"}).ExitCode, 2);
  EXPECT_EQ(RunSalvoran({"frobnicate"}).ExitCode, 2);
}

// A source that cannot be opened or is no NTFS volume: no output folder is made for it.
TEST(CliRecover, AnUnreadableSourceGetsNoOutputFolder) {
  for (const std::string& source : {std::string("/nonexistent/disk.img"), TestImagePath("fat32").string()}) {
    const fs::path output = FreshFolder("unreadable-source");
    EXPECT_EQ(RunSalvoran({"recover", source, "--record", "70", "--output", output.string()}).ExitCode, 2);
    EXPECT_EQ(RunSalvoran({"recover", source, "--all", "--output", output.string()}).ExitCode, 2);
    EXPECT_FALSE(fs::exists(output)) << source;
  }
}

// Under a file-size limit (ulimit -f) each file past it fails with the system's reason; the
// process is not killed by SIGXFSZ and the files within the limit are restored.
TEST(CliRecover, AFileSizeLimitFailsOnlyTheFilesPastIt) {
  constexpr uint64_t LimitBytes = 1 << 20;
  const TestImage image = LoadTestImage("demo");
  const UnchangedSource source(image.Image.string());
  const fs::path output = FreshFolder("size-limit");
  const CommandResult recover =
      RunCommand({"bash", "-c", "ulimit -f " + std::to_string(LimitBytes / 1024) + " && exec \"$0\" \"$@\"", SALVORAN_CLI,
                  "recover", image.Image.string(), "--all", "--output", output.string(), "--json"});
  ASSERT_EQ(recover.ExitCode, 1) << recover.Err;
  std::map<int64_t, const ManifestFile*> byRecord;
  for (const ManifestFile* file : image.ListedDeletedFiles()) byRecord[file->Record] = file;
  const Json results = Json::parse(recover.Out)["results"];
  ASSERT_EQ(results.size(), byRecord.size());
  size_t failed = 0;
  for (const Json& result : results) {
    const ManifestFile& file = *byRecord.at(result["record"].get<int64_t>());
    if (file.Size > LimitBytes) {
      ++failed;
      EXPECT_FALSE(result["ok"].get<bool>()) << file.Path;
      EXPECT_NE(result["error"].get<std::string>().find("File too large"), std::string::npos) << result;
    } else {
      EXPECT_EQ(ReadWholeFile(fs::u8path(result["path"].get<std::string>())), ReadWholeFile(file.Expected)) << file.Path;
    }
  }
  EXPECT_GT(failed, 0u);
  for (const auto& entry : fs::directory_iterator(output)) EXPECT_NE(entry.path().extension(), ".part") << entry.path();
}

// The block device the temporary folder lives on, when this machine exposes it.
// With wholeDisk, the disk whose partition it is, if it is one.
std::string DeviceOfTempFolder(bool wholeDisk = false) {
  struct stat folder {};
  if (::stat(testing::TempDir().c_str(), &folder) != 0) return {};
  fs::path entry = "/sys/dev/block/" + std::to_string(major(folder.st_dev)) + ":" + std::to_string(minor(folder.st_dev));
  std::error_code error;
  if (wholeDisk) {
    if (!fs::exists(entry / "partition", error)) return {};
    entry = fs::canonical(entry, error).parent_path();
  }
  std::ifstream uevent(entry / "uevent");
  for (std::string line; std::getline(uevent, line);) {
    if (line.rfind("DEVNAME=", 0) == 0) return "/dev/" + line.substr(8);
  }
  return {};
}

TEST(CliRecover, RefusesAnOutputFolderOnTheSourceDevice) {
  const std::string device = DeviceOfTempFolder();
  if (device.empty() || !fs::exists(device)) GTEST_SKIP() << "the temporary folder is not on a block device";
  const CommandResult recover =
      RunSalvoran({"recover", device, "--all", "--output", FreshFolder("on-source").string()});
  EXPECT_EQ(recover.ExitCode, 2);
  EXPECT_NE(recover.Err.find("can overwrite the deleted data"), std::string::npos) << recover.Err;
  EXPECT_FALSE(fs::exists(FreshFolder("on-source")));
}

TEST(CliRecover, RefusesAnOutputFolderOnTheDiskOfTheSourcePartition) {
  const std::string disk = DeviceOfTempFolder(true);
  if (disk.empty() || !fs::exists(disk)) GTEST_SKIP() << "the temporary folder is not on a partition of a disk";
  const CommandResult recover = RunSalvoran(
      {"recover", disk, "--partition", "1", "--all", "--output", FreshFolder("on-source-disk").string()});
  EXPECT_EQ(recover.ExitCode, 2);
  EXPECT_NE(recover.Err.find("can overwrite the deleted data"), std::string::npos) << recover.Err;
}

}  // namespace
}  // namespace salvoran::test
