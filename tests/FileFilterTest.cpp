// The filters of scan and recover --all: what they take, and that both commands let through
// exactly the files the manifest says they should.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <nlohmann/json.hpp>
#include <set>

#include "cli/FileFilter.h"
#include "tests/fixtures/TestImages.h"
#include "tests/support/CommandRunner.h"
#include "tests/support/CraftedVolume.h"
#include "tests/support/TempDir.h"

namespace salvoran::test {
namespace {

using Json = nlohmann::json;

constexpr int64_t SecondsFrom1601To1970 = 11'644'473'600;
constexpr uint64_t TicksPerSecond = 10'000'000;
uint64_t FileTime(int64_t unixSeconds) { return static_cast<uint64_t>(unixSeconds + SecondsFrom1601To1970) * TicksPerSecond; }

TEST(ParseIsoTimeTest, TakesDatesAndTimesInLocalTimeOrUtc) {
  const ScopedTimeZone berlin("Europe/Berlin");  // UTC+2 in May
  EXPECT_EQ(cli::ParseIsoTime("2024-05-01T13:30:00Z"), FileTime(1'714'570'200));
  EXPECT_EQ(cli::ParseIsoTime("2024-05-01T15:30"), FileTime(1'714'570'200));
  EXPECT_EQ(cli::ParseIsoTime("2024-05-01 15:30:00"), FileTime(1'714'570'200));
  EXPECT_EQ(cli::ParseIsoTime("2024-05-01"), FileTime(1'714'514'400));
  for (const char* refused : {"2024-02-30", "2024-5-1", "2024-05-01T25:00", "2024-05-01T13:30+02:00", "yesterday", ""}) {
    EXPECT_EQ(cli::ParseIsoTime(refused), std::nullopt) << refused;
  }
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

struct FilterCase {
  std::vector<std::string> Arguments;
  std::function<bool(const ManifestFile&)> Passes;
};

const FilterCase FilterCases[] = {
    {{"--folder", "/archive/*"}, [](const ManifestFile& f) { return f.ExpectedFolder.starts_with("/Archive/"); }},
    {{"--intact", "--ext", "MP4", "--ext", ".mp3", "--ext", "jpg"},
     [](const ManifestFile& f) {
       return f.OverwrittenClusters == 0u && (EndsWith(Lower(f.Name), ".mp4") || EndsWith(Lower(f.Name), ".mp3") ||
                                              EndsWith(Lower(f.Name), ".jpg"));
     }},
    {{"--name", "*.TXT", "--max-size", "1k"},
     [](const ManifestFile& f) { return EndsWith(Lower(f.Name), ".txt") && f.Size <= 1024; }},
    {{"--category", "document", "--min-size", "6K"},
     [](const ManifestFile& f) {
       return f.Size >= 6 * 1024 && !EndsWith(f.Name, ".xlsx") && f.Category == "documents";
     }},
    {{"--modified-after", "2018-01-01T00:00:00Z", "--modified-before", "2021-01-01T00:00:00Z"},
     [](const ManifestFile& f) { return f.Times.Modified >= 1'514'764'800 && f.Times.Modified < 1'609'459'200; }},
    // Bounds exactly on the times of budget.xlsx, which passes, and of Rome/notes.txt, which does not.
    {{"--modified-after", "2018-08-13T23:02:37Z", "--modified-before", "2021-02-15T17:11:00Z"},
     [](const ManifestFile& f) { return f.Times.Modified >= 1'534'201'357 && f.Times.Modified < 1'613'409'060; }},
};

std::set<int64_t> Records(const Json& list) {
  std::set<int64_t> records;
  for (const Json& entry : list) records.insert(entry["record"].get<int64_t>());
  return records;
}

TEST(FileFilterTest, ScanAndRecoverAllLetThroughTheSameFiles) {
  const TestImage image = LoadTestImage("folders");
  for (const FilterCase& filter : FilterCases) {
    std::set<int64_t> expected;
    for (const ManifestFile* file : image.ListedDeletedFiles()) {
      if (filter.Passes(*file)) expected.insert(file->Record);
    }
    std::vector<std::string> scan = {"scan", image.Image.string(), "--json"};
    scan.insert(scan.end(), filter.Arguments.begin(), filter.Arguments.end());
    const CommandResult listed = RunSalvoran(scan);
    ASSERT_EQ(listed.ExitCode, 0) << listed.Err;
    EXPECT_EQ(Records(Json::parse(listed.Out)["files"]), expected) << filter.Arguments[0];
    EXPECT_FALSE(expected.empty()) << filter.Arguments[0];

    const TempDir output;
    std::vector<std::string> recover = {"recover", image.Image.string(), "--all", "--json", "--output",
                                        output.Path().string()};
    recover.insert(recover.end(), filter.Arguments.begin(), filter.Arguments.end());
    const CommandResult restored = RunSalvoran(recover);
    EXPECT_EQ(Records(Json::parse(restored.Out)["results"]), expected) << filter.Arguments[0] << restored.Err;
  }
  // Filters belong to --all: with --record they would be ignored.
  EXPECT_EQ(RunSalvoran({"recover", image.Image.string(), "--record", "77", "--intact", "--output", "x"}).ExitCode, 2);
}

}  // namespace
}  // namespace salvoran::test
