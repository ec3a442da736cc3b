// salvoran cat on real NTFS images: the content on stdout must equal what The Sleuth Kit's icat
// reads from the same record, and binary content must not reach a terminal unasked.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/fixtures/TestImages.h"
#include "tests/support/CommandRunner.h"
#include "tests/support/UnchangedSource.h"

namespace salvoran::test {
namespace {

namespace fs = std::filesystem;

std::string ReadWholeFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Runs salvoran with its standard output on a terminal, as a person typing the command has it;
// what the terminal shows comes back in Out, stderr included.
CommandResult RunSalvoranOnTerminal(const std::vector<std::string>& arguments) {
  std::string command = "'" SALVORAN_CLI "'";
  for (const std::string& argument : arguments) command += " '" + argument + "'";
  return RunCommand({"script", "--quiet", "--return", "--command", command, "/dev/null"});
}

class CatEveryFileOfGeneratedImage : public testing::TestWithParam<std::string> {};

// Compressed, sparse, attribute-list, initialized-size and 4K-sector files included.
TEST_P(CatEveryFileOfGeneratedImage, WritesWhatIcatReadsForEveryIntactDeletedFile) {
  const TestImage image = LoadTestImage(GetParam());
  const UnchangedSource source(image.Image.string());
  size_t compared = 0;
  for (const ManifestFile* file : image.ListedDeletedFiles()) {
    if (!file->RestoresAsWritten() || file->OverwrittenClusters.value_or(0) != 0) continue;
    const CommandResult cat = RunSalvoran({"cat", image.Image.string(), "--record", std::to_string(file->Record)});
    ASSERT_EQ(cat.ExitCode, 0) << file->Path << ": " << cat.Err;
    EXPECT_TRUE(cat.Err.empty()) << cat.Err;
    EXPECT_EQ(cat.Out, ReadWholeFile(file->Expected)) << file->Path;
    EXPECT_EQ(cat.Out, RunCommand({"icat", image.Image.string(), std::to_string(file->Record)}).Out) << file->Path;
    ++compared;
  }
  EXPECT_GT(compared, 0u);
}

INSTANTIATE_TEST_SUITE_P(AllLayouts, CatEveryFileOfGeneratedImage,
                         testing::Values("standard-512", "standard-4k", "standard-64k", "fragmented-mft", "compressed-4k",
                                         "compressed-1k", "attributes-4k", "sector-4k", "mft-attribute-list",
                                         "folders", "preview"),
                         [](const auto& info) {
                           std::string name = info.param;
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });

TEST(CliCat, WritesTheNamedStreamAskedFor) {
  const TestImage image = LoadTestImage("attributes-4k");
  size_t streams = 0;
  for (const ManifestFile* file : image.ListedDeletedFiles()) {
    for (const ManifestStream& stream : file->Streams) {
      const CommandResult cat = RunSalvoran(
          {"cat", image.Image.string(), "--record", std::to_string(file->Record), "--stream", stream.Name});
      ASSERT_EQ(cat.ExitCode, 0) << cat.Err;
      EXPECT_EQ(cat.Out, ReadWholeFile(stream.Expected)) << file->Path << ":" << stream.Name;
      ++streams;
    }
  }
  EXPECT_GE(streams, 4u);
  const CommandResult unknown =
      RunSalvoran({"cat", image.Image.string(), "--record", "81", "--stream", "Nothing"});
  EXPECT_EQ(unknown.ExitCode, 1);
  EXPECT_TRUE(unknown.Out.empty());
  EXPECT_NE(unknown.Err.find("The file has no stream of that name."), std::string::npos) << unknown.Err;
}

TEST(CliCat, KeepsBinaryContentOffATerminalUnlessForced) {
  const TestImage image = LoadTestImage("standard-4k");
  const std::string binary = std::to_string(image.Get("/Misc/backup.tar.gz").Record);
  const ManifestFile& text = image.Get("/Documents/notes.txt");

  const CommandResult refused = RunSalvoranOnTerminal({"cat", image.Image.string(), "--record", binary});
  EXPECT_EQ(refused.ExitCode, 2);
  EXPECT_NE(refused.Out.find("backup.tar.gz is not text"), std::string::npos) << refused.Out;
  EXPECT_EQ(refused.Out.find('\x1F'), std::string::npos) << "nothing of the file reached the terminal";

  const CommandResult forced = RunSalvoranOnTerminal({"cat", image.Image.string(), "--record", binary, "--force"});
  EXPECT_EQ(forced.ExitCode, 0) << forced.Out;
  EXPECT_NE(forced.Out.find('\x1F'), std::string::npos);

  const CommandResult shown =
      RunSalvoranOnTerminal({"cat", image.Image.string(), "--record", std::to_string(text.Record)});
  EXPECT_EQ(shown.ExitCode, 0) << shown.Out;
  const std::string firstLine = ReadWholeFile(text.Expected).substr(0, 40);
  EXPECT_NE(shown.Out.find(firstLine), std::string::npos) << shown.Out;
}

TEST(CliCat, ExitsAsRecoverDoes) {
  const TestImage image = LoadTestImage("standard-4k");
  const CommandResult live = RunSalvoran({"cat", image.Image.string(), "--record", "5"});
  EXPECT_EQ(live.ExitCode, 1);
  EXPECT_TRUE(live.Out.empty());
  EXPECT_NE(live.Err.find("Record 5 is not a deleted file of this volume."), std::string::npos) << live.Err;
  const TestImage attributes = LoadTestImage("attributes-4k");
  const CommandResult encrypted = RunSalvoran(
      {"cat", attributes.Image.string(), "--record", std::to_string(attributes.Get("/Secret/wallet.dat").Record)});
  EXPECT_EQ(encrypted.ExitCode, 1);
  EXPECT_TRUE(encrypted.Out.empty());
  EXPECT_NE(encrypted.Err.find("wallet.dat: The file is encrypted"), std::string::npos) << encrypted.Err;
  EXPECT_EQ(RunSalvoran({"cat", image.Image.string()}).ExitCode, 2);
  EXPECT_EQ(RunSalvoran({"cat", "/nonexistent/disk.img", "--record", "70"}).ExitCode, 2);
  EXPECT_EQ(RunSalvoran({"cat", TestImagePath("fat32").string(), "--record", "70"}).ExitCode, 2);
}

}  // namespace
}  // namespace salvoran::test
