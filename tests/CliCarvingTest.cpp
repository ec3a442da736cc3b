// The deep scan's carving through salvoran on the carving image: its deleted files of every
// carved format, whose records new files took while their clusters stayed free, are listed as
// carved, none repeating a file the scan lists by its record, and each restores by its id to the
// bytes the generator recorded before the deletion.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "engine/FileId.h"
#include "tests/fixtures/TestImages.h"
#include "tests/support/CarvingSamples.h"
#include "tests/support/CommandRunner.h"
#include "tests/support/TempDir.h"

namespace salvoran::test {
namespace {

using Json = nlohmann::json;
namespace fs = std::filesystem;

std::vector<uint8_t> FileBytes(const fs::path& path) { return ReadExpected(path); }

// The deleted sample whose content starts at that byte of the image, if one does.
const ManifestFile* TruthAt(const TestImage& image, uint64_t offset) {
  for (const ManifestFile& file : image.Files) {
    if (file.Deleted && file.ReusedRecord && file.Runs.size() == 1 &&
        static_cast<uint64_t>(file.Runs[0].Lcn * image.ClusterSize) == offset) {
      return &file;
    }
  }
  return nullptr;
}

TEST(CliCarving, DeepScanListsCarvedFilesThatRestoreByIdToTheirTruth) {
  const TestImage image = LoadTestImage("carving");
  const CommandResult scan = RunSalvoran({"scan", image.Image.string(), "--deep", "--json"});
  ASSERT_EQ(scan.ExitCode, 0) << scan.Err;
  const Json listing = Json::parse(scan.Out);

  // Clusters of the files listed by their records: no carved file may lie there.
  std::vector<std::pair<uint64_t, uint64_t>> claimed;  // [first, end) bytes
  for (const ManifestFile& file : image.Files) {
    if (file.Directory || (file.Deleted && !file.IsListedDeletedFile())) continue;
    for (const ManifestRun& run : file.Runs)
      if (!run.IsHole())
        claimed.emplace_back(static_cast<uint64_t>(run.Lcn * image.ClusterSize),
                             static_cast<uint64_t>((run.Lcn + run.Length) * image.ClusterSize));
  }

  std::vector<std::string> ids;
  std::vector<const ManifestFile*> truths;
  for (const Json& file : listing.at("files")) {
    if (file.at("origin") != "carved") continue;
    const std::string id = file.at("id");
    const std::optional<FileId> parsed = ParseFileId(id);
    ASSERT_TRUE(parsed && parsed->Origin == FileOrigin::Carved) << id;
    EXPECT_EQ(parsed->Length, file.at("size").get<uint64_t>()) << id;
    EXPECT_EQ(file.at("folder"), "") << id;
    const uint64_t first = parsed->RecordSourceOffset, end = first + parsed->Length;
    for (const auto& [claimedFirst, claimedEnd] : claimed)
      EXPECT_TRUE(end <= claimedFirst || first >= claimedEnd) << id << " repeats a listed file";
    const ManifestFile* truth = TruthAt(image, first);
    EXPECT_TRUE(truth) << id << " is none of the deleted files";
    if (!truth) continue;
    EXPECT_EQ(file.at("size").get<int64_t>(), truth->Size) << truth->Path;
    ids.push_back(id);
    truths.push_back(truth);
  }
  const size_t samples = CarvingSampleNames().size();
  EXPECT_GE(ids.size() * 100, samples * 95) << ids.size() << " of " << samples << " samples carved";

  const TempDir output;
  std::vector<std::string> recover = {"recover", image.Image.string(), "--output", output.Path().string(), "--json"};
  for (const std::string& id : ids) recover.insert(recover.end(), {"--id", id});
  const CommandResult restored = RunSalvoran(recover);
  ASSERT_EQ(restored.ExitCode, 0) << restored.Out << restored.Err;
  const Json results = Json::parse(restored.Out).at("results");
  ASSERT_EQ(results.size(), ids.size());
  for (size_t i = 0; i < ids.size(); ++i) {
    EXPECT_EQ(results[i].at("id"), ids[i]);
    EXPECT_EQ(FileBytes(results[i].at("path").get<std::string>()), ReadExpected(*truths[i])) << truths[i]->Path;
  }

  // cat reads the same range, as the preview does.
  ASSERT_FALSE(ids.empty());
  const CommandResult cat = RunSalvoran({"cat", image.Image.string(), "--deep", "--id", ids.front(), "--force"});
  ASSERT_EQ(cat.ExitCode, 0) << cat.Err;
  const std::vector<uint8_t> expected = ReadExpected(*truths.front());
  EXPECT_EQ(std::vector<uint8_t>(cat.Out.begin(), cat.Out.end()), expected);
}

}  // namespace
}  // namespace salvoran::test
