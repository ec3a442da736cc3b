// Volumes whose boot sector or first MFT records are damaged scan and restore from the copies NTFS
// keeps of them, as if they were whole; where the copy is damaged too, the scan refuses them as
// before.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>

#include "tests/fixtures/TestImages.h"
#include "tests/support/CommandRunner.h"
#include "tests/support/UnchangedSource.h"

namespace salvoran::test {
namespace {

using Json = nlohmann::json;
namespace fs = std::filesystem;

struct RepairCase {
  const char* Image;
  const char* RepairedFrom;
  const char* Note;
};

class RepairedVolume : public testing::TestWithParam<RepairCase> {};

TEST_P(RepairedVolume, ScansAndRestoresAsIfWhole) {
  const TestImage image = LoadTestImage(GetParam().Image);
  const UnchangedSource unchanged(image.Image.string());
  const CommandResult whole = RunSalvoran({"scan", TestImagePath("demo").string(), "--json"});
  const CommandResult damaged = RunSalvoran({"scan", image.Image.string(), "--json"});
  ASSERT_EQ(damaged.ExitCode, 0) << damaged.Err;
  EXPECT_NE(damaged.Err.find(GetParam().Note), std::string::npos) << damaged.Err;
  const Json listing = Json::parse(damaged.Out);
  EXPECT_EQ(listing["volume"]["repaired_from"], GetParam().RepairedFrom);
  EXPECT_EQ(listing["files"], Json::parse(whole.Out)["files"]);

  const fs::path output = fs::path(testing::TempDir()) / ("salvoran-repaired-" + image.Name);
  fs::remove_all(output);
  const CommandResult recover =
      RunSalvoran({"recover", image.Image.string(), "--all", "--output", output.string(), "--json"});
  ASSERT_EQ(recover.ExitCode, 0) << recover.Err;
  const Json results = Json::parse(recover.Out)["results"];
  EXPECT_EQ(results.size(), image.ListedDeletedFiles().size());
  for (const Json& result : results) {
    const ManifestFile* file = image.FindRecord(result["record"].get<int64_t>());
    ASSERT_NE(file, nullptr) << result.dump();
    std::ifstream restored(fs::u8path(result["path"].get<std::string>()), std::ios::binary);
    EXPECT_EQ(std::vector<uint8_t>(std::istreambuf_iterator<char>(restored), {}), ReadExpected(*file)) << file->Path;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Images, RepairedVolume,
    testing::Values(RepairCase{"demo-first-sector-wiped", "backup boot sector",
                               "The volume's boot sector is damaged: its backup copy at the volume's end was used."},
                    RepairCase{"demo-mft-head-wiped", "MFT mirror",
                               "The first records of the volume's MFT are damaged: their copies in the MFT mirror "
                               "were used."}),
    [](const testing::TestParamInfo<RepairCase>& info) {
      std::string name = info.param.Image;
      std::erase(name, '-');
      return name;
    });

TEST(RepairedVolume, WithoutAWholeCopyTheMessagesStay) {
  for (const auto& [image, message] : {std::pair{"demo-boot-sectors-wiped", "The current version only support NTFS drive!"},
                                       std::pair{"demo-mft-head-and-mirror-wiped", "Invalid MFT record!"}}) {
    const CommandResult scan = RunSalvoran({"scan", TestImagePath(image).string()});
    EXPECT_EQ(scan.ExitCode, 2) << image;
    EXPECT_EQ(scan.Err, std::string(message) + "\n") << image;
  }
}

}  // namespace
}  // namespace salvoran::test
