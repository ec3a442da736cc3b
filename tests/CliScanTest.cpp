// The salvoran command line on real NTFS images, judged against the generator's manifest and
// The Sleuth Kit.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <filesystem>
#include <fstream>
#include <functional>

#include "tests/fixtures/TestImages.h"
#include "tests/support/CommandRunner.h"
#include "tests/support/CraftedVolume.h"
#include "tests/support/TempDir.h"
#include "tests/support/UnchangedSource.h"

namespace salvoran::test {
namespace {

using Json = nlohmann::json;

std::set<int64_t> ExpectedListedRecords(const TestImage& image) {
  std::set<int64_t> records;
  for (const ManifestFile& file : image.Files) {
    if (file.Deleted && !file.Directory && !file.ReusedRecord) records.insert(file.Record);
  }
  return records;
}

// Regular files whose MFT entry is free, as fls lists them ("r/r * 70-128-2: name", or "-/r"
// when the name comes from the orphaned entry itself).
std::set<int64_t> SleuthKitDeletedFileRecords(const std::string& image) {
  const CommandResult fls = RunCommand({"fls", "-r", "-d", "-p", image});
  EXPECT_EQ(fls.ExitCode, 0) << fls.Err;
  std::set<int64_t> records;
  const std::regex line(R"(^[-r]/r \* (\d+)-\d+-\d+:)");
  std::istringstream lines(fls.Out);
  for (std::string text; std::getline(lines, text);) {
    std::smatch match;
    if (std::regex_search(text, match, line) && text.find("(realloc)") == std::string::npos) {
      records.insert(std::stoll(match[1]));
    }
  }
  return records;
}

Json ScanJson(const std::string& image) {
  const CommandResult scan = RunSalvoran({"scan", image, "--json"});
  EXPECT_EQ(scan.ExitCode, 0) << scan.Err;
  return Json::parse(scan.Out);
}

std::set<int64_t> ListedRecords(const Json& scan) {
  std::set<int64_t> records;
  for (const Json& file : scan["files"]) records.insert(file["record"].get<int64_t>());
  return records;
}

class ScanOfGeneratedImage : public testing::TestWithParam<std::string> {};

TEST_P(ScanOfGeneratedImage, ListsExactlyTheDeletedFilesTheGeneratorDeleted) {
  const TestImage image = LoadTestImage(GetParam());
  const UnchangedSource source(image.Image.string());
  const Json scan = ScanJson(image.Image.string());
  EXPECT_EQ(ListedRecords(scan), ExpectedListedRecords(image));
}

TEST_P(ScanOfGeneratedImage, AgreesWithTheSleuthKit) {
  const TestImage image = LoadTestImage(GetParam());
  const UnchangedSource source(image.Image.string());
  const Json scan = ScanJson(image.Image.string());
  EXPECT_EQ(ListedRecords(scan), SleuthKitDeletedFileRecords(image.Image.string()));
}

TEST_P(ScanOfGeneratedImage, ReportsNamesAndSizesOfTheManifest) {
  const TestImage image = LoadTestImage(GetParam());
  const UnchangedSource source(image.Image.string());
  const Json scan = ScanJson(image.Image.string());
  std::map<int64_t, const ManifestFile*> byRecord;
  for (const ManifestFile& file : image.Files) {
    if (file.Deleted && !file.Directory && !file.ReusedRecord) byRecord[file.Record] = &file;
  }
  const std::regex isoUtc(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z$)");
  for (const Json& listed : scan["files"]) {
    const auto expected = byRecord.find(listed["record"].get<int64_t>());
    ASSERT_NE(expected, byRecord.end());
    EXPECT_EQ(listed["name"].get<std::string>(), expected->second->Name);
    EXPECT_EQ(listed["size"].get<uint64_t>(), expected->second->Size) << expected->second->Name;
    EXPECT_EQ(listed["encrypted"].get<bool>(), expected->second->Encrypted) << expected->second->Name;
    std::map<std::string, uint64_t> streams, expectedStreams;
    for (const Json& stream : listed.value("streams", Json::array())) {
      streams[stream["name"].get<std::string>()] = stream["size"].get<uint64_t>();
    }
    for (const ManifestStream& stream : expected->second->Streams) expectedStreams[stream.Name] = stream.Size;
    EXPECT_EQ(streams, expectedStreams) << expected->second->Name;
    EXPECT_EQ(listed.contains("streams"), !expectedStreams.empty()) << expected->second->Name;
    EXPECT_TRUE(std::regex_match(listed["created"].get<std::string>(), isoUtc));
    EXPECT_TRUE(std::regex_match(listed["modified"].get<std::string>(), isoUtc));
  }
}

// fls -r -d -p paths by record: "Archive/2019/x.jpg", "$OrphanFiles/Deep/letter.txt" below a
// broken chain.
std::map<int64_t, std::string> SleuthKitPaths(const std::string& image) {
  std::map<int64_t, std::string> paths;
  const std::regex line(R"(^[-r]/r \* (\d+)(-\d+-\d+)?:\t(.*)$)");
  std::istringstream lines(RunCommand({"fls", "-r", "-d", "-p", image}).Out);
  for (std::string text; std::getline(lines, text);) {
    std::smatch match;
    if (std::regex_match(text, match, line)) paths.emplace(std::stoll(match[1]), match[3]);
  }
  return paths;
}

// The folder fls names, written as scan writes it.
std::string FolderOfSleuthKitPath(const std::string& path) {
  const std::string orphans = "$OrphanFiles";
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash);
  if (folder.rfind(orphans, 0) == 0) return folder.size() > orphans.size() ? folder.substr(orphans.size() + 1) : "";
  return "/" + folder;
}

TEST_P(ScanOfGeneratedImage, FoldersAndOverwrittenClustersAgreeWithTheManifestAndTheSleuthKit) {
  const TestImage image = LoadTestImage(GetParam());
  const Json scan = ScanJson(image.Image.string());
  const std::map<int64_t, std::string> sleuthKitPaths = SleuthKitPaths(image.Image.string());
  for (const Json& listed : scan["files"]) {
    const ManifestFile& file = *image.FindRecord(listed["record"].get<int64_t>());
    const std::string folder = listed["folder"].get<std::string>();
    EXPECT_EQ(folder, file.ExpectedFolder) << file.Path;
    if (const auto fls = sleuthKitPaths.find(file.Record); fls != sleuthKitPaths.end()) {
      EXPECT_EQ(folder, FolderOfSleuthKitPath(fls->second)) << file.Path;
    }
    EXPECT_EQ(listed["overwritten_clusters"].get<uint64_t>(), file.OverwrittenClusters.value()) << file.Path;
    // A file that lost part of its record counts the clusters it still names.
    if (file.ReusedExtensions.empty()) {
      uint64_t clusters = 0;
      for (const ManifestRun& run : file.Runs) clusters += run.IsHole() ? 0 : static_cast<uint64_t>(run.Length);
      EXPECT_EQ(listed["clusters"].get<uint64_t>(), clusters) << file.Path;
    }
  }
}

TEST_P(ScanOfGeneratedImage, LeavesTheSourceUnchanged) {
  const TestImage image = LoadTestImage(GetParam());
  const UnchangedSource source(image.Image.string());
  const std::string output = testing::TempDir() + "/unchanged-" + GetParam();
  ASSERT_EQ(RunSalvoran({"scan", image.Image.string()}).ExitCode, 0);
  // Status 1 where some files cannot be restored (encrypted, partly reused).
  EXPECT_LE(RunSalvoran({"recover", image.Image.string(), "--all", "--output", output}).ExitCode, 1);
}

INSTANTIATE_TEST_SUITE_P(AllLayouts, ScanOfGeneratedImage,
                         testing::Values("standard-512", "standard-4k", "standard-64k", "fragmented-mft", "compressed-4k",
                                         "compressed-1k", "attributes-4k", "sector-4k", "mft-attribute-list",
                                         "folders"),
                         [](const auto& info) {
                           std::string name = info.param;
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });

TEST(CliScan, JsonCarriesTheVolumeGeometry) {
  const TestImage image = LoadTestImage("standard-4k");
  const UnchangedSource source(image.Image.string());
  const Json scan = ScanJson(image.Image.string());
  const Json& volume = scan["volume"];
  EXPECT_EQ(scan["source"], image.Image.string());
  EXPECT_EQ(volume["bytes_per_sector"], 512);
  EXPECT_EQ(volume["bytes_per_cluster"], 4096);
  EXPECT_EQ(volume["sectors_per_cluster"], 8);
  EXPECT_EQ(volume["file_record_size"], 1024);
  EXPECT_GT(volume["record_count"].get<int>(), 16);
  for (const Json& file : scan["files"]) {
    const std::string category = file["category"];
    EXPECT_TRUE(std::set<std::string>({"Graphics", "Music", "Video", "Document", "Html", "Other"}).count(category));
  }
}

// Python's csv module reads back every field of the JSON listing: names with commas and quotes,
// streams as their JSON list.
TEST(CliScan, CsvHoldsTheValuesOfTheJson) {
  const TestImage image = LoadTestImage("standard-4k");
  const TempDir folder;
  const CommandResult csv = RunSalvoran({"scan", image.Image.string(), "--csv"});
  ASSERT_EQ(csv.ExitCode, 0) << csv.Err;
  std::ofstream(folder.Path() / "files.csv", std::ios::binary) << csv.Out;
  std::ofstream(folder.Path() / "files.json", std::ios::binary) << RunSalvoran({"scan", image.Image.string(), "--json"}).Out;
  const char* compare = R"(
import csv, json, sys
rows = list(csv.DictReader(open(sys.argv[1], newline='', encoding='utf-8')))
files = json.load(open(sys.argv[2], encoding='utf-8'))['files']
assert len(rows) == len(files) > 0, (len(rows), len(files))
for row, listed in zip(rows, files):
    assert list(row) == [key for key in listed if key != 'streams'] + ['streams'], list(row)
    for key, value in listed.items():
        text = row[key]
        parsed = json.loads(text) if key == 'streams' else text if isinstance(value, str) else json.loads(text or 'null')
        assert parsed == value, (key, text, value)
    assert row['streams'] != '' or 'streams' not in listed
)";
  const CommandResult check = RunCommand(
      {"python3", "-c", compare, (folder.Path() / "files.csv").string(), (folder.Path() / "files.json").string()});
  EXPECT_EQ(check.ExitCode, 0) << check.Err;
}

// Names a spreadsheet would run as formulas come out of --csv behind an apostrophe, and names
// with line breaks stay inside their quoted field; --json and --bodyfile keep every name as it is.
TEST(CliScan, CsvKeepsFormulasAndLineBreaksOfNamesInsideTheirCells) {
  const std::vector<std::u16string> names = {u"=cmd|' /C calc'!A0", u"+SUM(1,2)", u"@evil", u"-2+3", u"\tTab.txt",
                                             u"\rReturn.txt", u"line\nbreak.txt", u"carriage\rreturn.txt",
                                             u"plain.txt"};
  VolumeSpec spec;
  spec.MftRuns = {{16, 4, false}};
  int32_t record = FirstUserRecord;
  for (const std::u16string& name : names) {
    spec.Records[record++] = DeletedFileRecord(name, ResidentDataAttribute(ToBytes("x")));
  }
  const TempDir folder;
  const std::string image = (folder.Path() / "formulas.img").string();
  WriteImage(image, BuildVolume(spec));
  const UnchangedSource source(image);

  const CommandResult csv = RunSalvoran({"scan", image, "--csv"});
  ASSERT_EQ(csv.ExitCode, 0) << csv.Err;
  EXPECT_NE(csv.Out.find(R"(,"'=cmd|' /C calc'!A0",)"), std::string::npos) << csv.Out;
  const CommandResult json = RunSalvoran({"scan", image, "--json"});
  const Json listing = Json::parse(json.Out);
  std::set<std::string> listedNames;
  for (const Json& file : listing["files"]) listedNames.insert(file["name"].get<std::string>());
  std::set<std::string> expectedNames;
  for (const std::u16string& name : names) expectedNames.insert(std::string(name.begin(), name.end()));
  EXPECT_EQ(listedNames, expectedNames);
  std::ofstream(folder.Path() / "files.csv", std::ios::binary) << csv.Out;
  std::ofstream(folder.Path() / "files.json", std::ios::binary) << json.Out;
  const char* compare = R"(
import csv, json, sys
rows = list(csv.DictReader(open(sys.argv[1], newline='', encoding='utf-8')))
files = json.load(open(sys.argv[2], encoding='utf-8'))['files']
assert len(rows) == len(files), (len(rows), len(files))
for row, listed in zip(rows, files):
    name = listed['name']
    assert row['name'] == ("'" + name if name[0] in '=+-@\t\r' else name), (row['name'], name)
    assert row['record'] == str(listed['record'])
)";
  const CommandResult check = RunCommand(
      {"python3", "-c", compare, (folder.Path() / "files.csv").string(), (folder.Path() / "files.json").string()});
  EXPECT_EQ(check.ExitCode, 0) << check.Err;

  const CommandResult body = RunSalvoran({"scan", image, "--bodyfile"});
  for (const char* name : {"+SUM(1,2)", "@evil", "-2+3", "=cmd\\x7c' /C calc'!A0"}) {
    EXPECT_NE(body.Out.find(std::string("|") + name + " (deleted)|"), std::string::npos) << body.Out;
  }
}

// mactime builds a timeline from the body file; each file's line carries its path and the four
// times of the manifest.
TEST(CliScan, BodyfileGivesMactimeTheFourTimesOfEveryFile) {
  const TestImage image = LoadTestImage("folders");
  const TempDir folder;
  const CommandResult body = RunSalvoran({"scan", image.Image.string(), "--bodyfile"});
  ASSERT_EQ(body.ExitCode, 0) << body.Err;
  std::istringstream lines(body.Out);
  size_t count = 0;
  for (std::string line; std::getline(lines, line); ++count) {
    std::vector<std::string> fields;
    std::istringstream split(line);
    for (std::string field; std::getline(split, field, '|');) fields.push_back(field);
    ASSERT_EQ(fields.size(), 11u) << line;
    const ManifestFile& file = *image.FindRecord(std::stoll(fields[2]));
    const std::string folderPart = file.ExpectedFolder.empty() || file.ExpectedFolder == "/" ? file.ExpectedFolder
                                                                                            : file.ExpectedFolder + "/";
    EXPECT_EQ(fields[1], folderPart + file.Name + " (deleted)");
    EXPECT_EQ(fields[6], std::to_string(file.Size));
    EXPECT_EQ(fields[7], std::to_string(file.Times.Accessed)) << file.Path;
    EXPECT_EQ(fields[8], std::to_string(file.Times.Modified)) << file.Path;
    EXPECT_EQ(fields[9], std::to_string(file.Times.MftModified)) << file.Path;
    EXPECT_EQ(fields[10], std::to_string(file.Times.Created)) << file.Path;
  }
  EXPECT_EQ(count, image.ListedDeletedFiles().size());

  std::ofstream(folder.Path() / "body.txt", std::ios::binary) << body.Out;
  const CommandResult timeline = RunCommand({"mactime", "-b", (folder.Path() / "body.txt").string(), "-d", "-z", "UTC"});
  ASSERT_EQ(timeline.ExitCode, 0) << timeline.Err;
  for (const ManifestFile* file : image.ListedDeletedFiles()) {
    EXPECT_NE(timeline.Out.find(",r/rrwxrwxrwx,0,0," + std::to_string(file->Record) + ","), std::string::npos) << file->Path;
  }
}

// Paths are bytes on Linux; JSON is UTF-8. What is not UTF-8 comes out as U+FFFD.
TEST(CliJson, PathsThatAreNotUtf8GiveValidJson) {
  const TestImage image = LoadTestImage("demo");
  const UnchangedSource source(image.Image.string());
  const TempDir folder;
  const std::string latin1Name = "caf\xE9.img";
  std::filesystem::create_symlink(image.Image, folder.Path() / latin1Name);
  const std::string replaced = "caf\xEF\xBF\xBD.img";

  const CommandResult scan = RunSalvoran({"scan", (folder.Path() / latin1Name).string(), "--json"});
  ASSERT_EQ(scan.ExitCode, 0) << scan.Err;
  const Json listing = Json::parse(scan.Out);
  EXPECT_EQ(std::filesystem::path(listing["source"].get<std::string>()).filename(), replaced);
  EXPECT_EQ(listing["files"].size(), image.ListedDeletedFiles().size());

  const CommandResult recover = RunSalvoran(
      {"recover", image.Image.string(), "--all", "--output", (folder.Path() / latin1Name).string() + ".out", "--json"});
  ASSERT_EQ(recover.ExitCode, 0) << recover.Err;
  const Json results = Json::parse(recover.Out)["results"];
  ASSERT_EQ(results.size(), image.ListedDeletedFiles().size());
  EXPECT_NE(results[0]["path"].get<std::string>().find(replaced + ".out/"), std::string::npos) << results[0];
}

// The listing keeps each file in a compact form until the scan ends: every file of the JSON must
// come back under its category, with its folder, name and state, and each count must be right.
TEST(CliScan, HumanListingShowsEveryFileOfTheJsonUnderItsCategory) {
  const TestImage image = LoadTestImage("folders");
  const Json scan = ScanJson(image.Image.string());
  const CommandResult listing = RunSalvoran({"scan", image.Image.string()});
  ASSERT_EQ(listing.ExitCode, 0) << listing.Err;
  std::map<std::string, std::string> captions = {{"Graphics", "Graphics Files"}, {"Music", "Music Files"},
                                                 {"Video", "Video Files"},       {"Document", "Document Files"},
                                                 {"Html", "HTML Files"},         {"Other", "Other Files"}};
  std::map<std::string, int> counted;
  std::map<int64_t, std::pair<std::string, std::string>> lines;  // record: caption, line
  const std::regex header(R"(^(\S.*)\((\d+)\)$)");
  std::string caption;
  std::istringstream text(listing.Out);
  for (std::string line; std::getline(text, line);) {
    std::smatch match;
    if (std::regex_match(line, match, header)) {
      caption = match[1];
      counted[caption] = std::stoi(match[2]);
    } else {
      ASSERT_TRUE(lines.emplace(std::stoll(line), std::pair(caption, line)).second) << line;
    }
  }
  ASSERT_EQ(lines.size(), scan["files"].size());
  std::map<std::string, int> expectedCounts;
  for (const auto& [name, captionText] : captions) expectedCounts[captionText] = 0;
  bool anyOverwritten = false;
  for (const Json& file : scan["files"]) {
    const auto& [listedCaption, line] = lines.at(file["record"].get<int64_t>());
    EXPECT_EQ(listedCaption, captions.at(file["category"].get<std::string>())) << line;
    ++expectedCounts[listedCaption];
    const std::string folder = file["folder"].get<std::string>();
    const std::string path = folder + (folder.empty() || folder.ends_with('/') ? "" : "/") + file["name"].get<std::string>();
    EXPECT_NE(line.find("  " + path), std::string::npos) << line;
    const int64_t overwritten = file["overwritten_clusters"].get<int64_t>();
    anyOverwritten |= overwritten > 0;
    EXPECT_EQ(line.find(" " + std::to_string(overwritten) + " of " + std::to_string(file["clusters"].get<int64_t>()) +
                        " clusters in use]") != std::string::npos,
              overwritten > 0)
        << line;
  }
  EXPECT_TRUE(anyOverwritten);
  EXPECT_EQ(counted, expectedCounts);
}

TEST(CliScan, SummaryCountsMatchTheListing) {
  const TestImage image = LoadTestImage("standard-4k");
  const UnchangedSource source(image.Image.string());
  const Json scan = ScanJson(image.Image.string());
  const CommandResult summary = RunSalvoran({"scan", image.Image.string(), "--summary"});
  ASSERT_EQ(summary.ExitCode, 0);
  int total = 0;
  std::istringstream lines(summary.Out);
  for (std::string line; std::getline(lines, line);) {
    if (line.find(" Files:") != std::string::npos) total += std::stoi(line.substr(line.find(':') + 1));
  }
  EXPECT_EQ(total, static_cast<int>(scan["files"].size()));
  EXPECT_NE(summary.Out.find("Records unreadable:   0"), std::string::npos);
}

// The demo volume, whose $Bitmap lies at cluster 519, with what it tells of clusters from 2048 on
// taken away: its data cut to the first 256 bytes, or the image cut at 8 MiB.
constexpr uint64_t KnownClusters = 2048;

struct UnknownClustersCase {
  const char* Label;
  std::function<void(Bytes& image)> Cut;
};

void PrintTo(const UnknownClustersCase& unknown, std::ostream* out) { *out << unknown.Label; }

class UnknownClusters : public testing::TestWithParam<UnknownClustersCase> {};

// Clusters no bitmap byte tells of are unknown, not free: such a file is no intact one.
TEST_P(UnknownClusters, AreCountedShownAndKeepTheFileFromIntact) {
  const TestImage demo = LoadTestImage("demo");
  Bytes bytes = ReadWholeFile(demo.Image);
  GetParam().Cut(bytes);
  const TempDir folder;
  const std::filesystem::path image = folder.Path() / "demo.img";
  WriteImage(image, bytes);

  const Json scan = ScanJson(image.string());
  const CommandResult intact = RunSalvoran({"scan", image.string(), "--json", "--intact"});
  const CommandResult listing = RunSalvoran({"scan", image.string()});
  std::set<int64_t> intactRecords, expectedIntact;
  const Json intactScan = Json::parse(intact.Out);
  for (const Json& file : intactScan["files"]) intactRecords.insert(file["record"].get<int64_t>());
  size_t unknownFiles = 0;
  for (const Json& listed : scan["files"]) {
    const ManifestFile& file = *demo.FindRecord(listed["record"].get<int64_t>());
    // Clusters that hold written content, from the 2048th on.
    const uint64_t contentClusters = (file.InitializedSize + demo.ClusterSize - 1) / demo.ClusterSize;
    uint64_t unknown = 0;
    for (const ManifestRun& run : file.Runs) {
      for (int64_t i = 0; i < run.Length && !run.IsHole(); ++i) {
        unknown += static_cast<uint64_t>(run.Vcn + i) < contentClusters && static_cast<uint64_t>(run.Lcn + i) >= KnownClusters;
      }
    }
    EXPECT_EQ(listed["unknown_clusters"].get<uint64_t>(), unknown) << file.Path;
    EXPECT_EQ(listed["overwritten_clusters"].get<uint64_t>(), 0u) << file.Path;
    if (unknown == 0) {
      expectedIntact.insert(file.Record);
      continue;
    }
    ++unknownFiles;
    const std::string note = "  [Unknown: " + std::to_string(unknown) + " of " +
                             std::to_string(listed["clusters"].get<uint64_t>()) + " clusters]\n";
    EXPECT_NE(listing.Out.find(listed["name"].get<std::string>() + note), std::string::npos) << file.Path;
  }
  EXPECT_GT(unknownFiles, 0u);
  EXPECT_LT(unknownFiles, scan["files"].size());
  EXPECT_EQ(intactRecords, expectedIntact);
}

INSTANTIATE_TEST_SUITE_P(
    Cuts, UnknownClusters,
    testing::Values(UnknownClustersCase{"BitmapCutShort",
                                        [](Bytes& image) {
                                          PatchRecord(image, RecordOffsetInImage(image, 6), 1024, [](Bytes& record) {
                                            const size_t data = AttributeOffset(record, 0x80);
                                            PutLE(record, data + 0x30, KnownClusters / 8, 8);
                                            PutLE(record, data + 0x38, KnownClusters / 8, 8);
                                          });
                                        }},
                    UnknownClustersCase{"ImageCutShort", [](Bytes& image) { image.resize(KnownClusters * 4096); }}),
    [](const testing::TestParamInfo<UnknownClustersCase>& info) { return std::string(info.param.Label); });

// Past its initialized size a file reads as zeros, so the clusters there hold nothing restored,
// whoever has them now: /Media/song.mp3 of folders, all of whose 16 clusters another file took,
// with an initialized size of 0.
TEST(CliScan, OnlyClustersBelowTheInitializedSizeCountAsOverwritten) {
  const TestImage image = LoadTestImage("folders");
  const ManifestFile& song = image.Get("/Media/song.mp3");
  ASSERT_EQ(song.OverwrittenClusters, 16u);
  Bytes bytes = ReadWholeFile(image.Image);
  PatchRecord(bytes, RecordOffsetInImage(bytes, static_cast<uint64_t>(song.Record)), image.RecordSize,
              [](Bytes& record) { PutLE(record, AttributeOffset(record, 0x80) + 0x38, 0, 8); });
  const TempDir folder;
  const std::filesystem::path patched = folder.Path() / "folders.img";
  WriteImage(patched, bytes);

  const Json scan = ScanJson(patched.string());
  const auto listed = std::find_if(scan["files"].begin(), scan["files"].end(),
                                   [&](const Json& file) { return file["record"] == song.Record; });
  ASSERT_NE(listed, scan["files"].end());
  EXPECT_EQ((*listed)["clusters"].get<uint64_t>(), 16u);
  EXPECT_EQ((*listed)["overwritten_clusters"].get<uint64_t>(), 0u);
  const CommandResult recover = RunSalvoran(
      {"recover", patched.string(), "--record", std::to_string(song.Record), "--output", (folder.Path() / "out").string()});
  EXPECT_EQ(recover.ExitCode, 0) << recover.Err;
  EXPECT_EQ(recover.Err.find("warning"), std::string::npos) << recover.Err;
  EXPECT_EQ(ReadWholeFile(folder.Path() / "out" / "song.mp3"), Bytes(song.Size));
}

struct RefusedSource {
  std::string Name;
  std::string Source;  // an image name, or a literal path when it starts with '/' or is empty
  std::string Message;
};

class CliRefusal : public testing::TestWithParam<RefusedSource> {};

TEST_P(CliRefusal, ExitsWithStatusTwoAndTheMessage) {
  const RefusedSource& refused = GetParam();
  const std::string source = refused.Source.empty() || refused.Source[0] == '/'
                                 ? refused.Source
                                 : TestImagePath(refused.Source).string();
  std::optional<UnchangedSource> unchanged;
  if (std::filesystem::is_regular_file(source)) unchanged.emplace(source);
  for (const char* command : {"info", "scan"}) {
    const CommandResult result = RunSalvoran({command, source});
    EXPECT_EQ(result.ExitCode, 2) << command;
    EXPECT_NE(result.Err.find(refused.Message), std::string::npos) << command << ": " << result.Err;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Sources, CliRefusal,
    testing::Values(RefusedSource{"Fat32", "fat32", "The current version only support NTFS drive!"},
                    RefusedSource{"EmptyPath", "", "Fail to open the driver to scan: No such file or directory"},
                    RefusedSource{"MissingFile", "/nonexistent/volume.img",
                                  "Fail to open the driver to scan: No such file or directory"},
                    RefusedSource{"Directory", "/tmp", "Fail to open the driver to scan: Is a directory"}),
    [](const auto& info) { return info.param.Name; });

}  // namespace
}  // namespace salvoran::test

namespace salvoran::test {
namespace {

struct GeometryCase {
  std::string Image;
  int BytesPerCluster;
};

class CliInfo : public testing::TestWithParam<GeometryCase> {};

std::string InfoValue(const std::string& info, const std::string& label) {
  const size_t at = info.find(label + ":");
  if (at == std::string::npos) return {};
  const size_t start = info.find_first_not_of(' ', at + label.size() + 1);
  return info.substr(start, info.find('\n', start) - start);
}

// The records are those of the MFT's data size. The Sleuth Kit's entry range ends one further,
// at the folder of orphan files it adds itself.
TEST_P(CliInfo, PrintsTheGeometryTheSleuthKitSees) {
  const std::string image = TestImagePath(GetParam().Image).string();
  const CommandResult info = RunSalvoran({"info", image, "--debug"});
  ASSERT_EQ(info.ExitCode, 0) << info.Err;
  EXPECT_EQ(InfoValue(info.Out, "Bytes per cluster"), std::to_string(GetParam().BytesPerCluster));
  EXPECT_EQ(InfoValue(info.Out, "File record size"), "1024");
  const CommandResult fsstat = RunCommand({"fsstat", image});
  const std::smatch range = [&] {
    std::smatch match;
    std::regex_search(fsstat.Out, match, std::regex(R"(Range: 0 - (\d+))"));
    return match;
  }();
  ASSERT_FALSE(range.empty()) << fsstat.Out;
  EXPECT_EQ(std::stoll(InfoValue(info.Out, "Records")), std::stoll(range[1]));
  EXPECT_NE(info.Err.find("Corvath:File Record:1024"), std::string::npos);
  EXPECT_NE(info.Err.find("Corvath:Total Recouds:" + InfoValue(info.Out, "Records")), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Images, CliInfo,
                         testing::Values(GeometryCase{"standard-512", 512}, GeometryCase{"standard-4k", 4096},
                                         GeometryCase{"standard-64k", 65536}, GeometryCase{"fragmented-mft", 4096},
                                         GeometryCase{"mft-attribute-list", 4096}),
                         [](const auto& info) {
                           std::string name = info.param.Image;
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });

TEST(CliInfo, FollowsEveryRunOfAFragmentedMft) {
  const CommandResult info = RunSalvoran({"info", TestImagePath("fragmented-mft").string()});
  ASSERT_EQ(info.ExitCode, 0);
  EXPECT_GT(std::stoi(InfoValue(info.Out, "MFT runs")), 1);
}

TEST(CliInfo, RefusesATruncatedImage) {
  const std::string image = TestImagePath("standard-4k").string();
  const std::string cut = testing::TempDir() + "/cut-in-boot-sector.img";
  std::filesystem::copy_file(image, cut, std::filesystem::copy_options::overwrite_existing);
  std::filesystem::resize_file(cut, 300);
  const CommandResult info = RunSalvoran({"info", cut});
  EXPECT_EQ(info.ExitCode, 2);
  EXPECT_NE(info.Err.find("Fail to read data from drive:"), std::string::npos) << info.Err;
}

}  // namespace
}  // namespace salvoran::test
