// Folder chains that no driver writes: loops, absurd depth, sequence numbers that do not match.
// The real chains (deleted folders, reused parent records) are checked on the generated images in
// CliScanTest against the manifest and The Sleuth Kit.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "engine/FileRecord.h"
#include "engine/OriginalFolders.h"
#include "tests/support/CraftedVolume.h"

namespace salvoran::test {
namespace {

constexpr size_t RecordSequenceField = 0x10;
constexpr size_t ParentReferenceField = 0x18;

uint64_t Reference(uint64_t record, uint16_t sequence) { return uint64_t{sequence} << 48 | record; }

// Directory records by index.
class FolderRecords : public MemoryRecords {
 public:
  void AddFolder(uint64_t record, std::u16string_view name, uint64_t parent, uint16_t sequence = 1, bool inUse = true) {
    RecordSpec spec;
    spec.Flags = RecordIsDirectory | (inUse ? RecordInUse : 0);
    Bytes fileName = FileNameAttribute(name, Win32Namespace);
    PutLE(fileName, ParentReferenceField, parent, 8);
    spec.Attributes = {fileName};
    Bytes built = BuildRecord(spec);
    PutLE(built, RecordSequenceField, sequence, 2);
    Records[record] = built;
  }
};

class OriginalFoldersTest : public testing::Test {
 protected:
  void SetUp() override { records_.AddFolder(RootFolderRecord, u".", Reference(RootFolderRecord, 5), 5); }
  FolderRecords records_;
  OriginalFolders folders_{records_};
};

TEST_F(OriginalFoldersTest, FollowsLiveAndFreeFoldersToTheRootAndBreaksAtAForeignSequence) {
  records_.AddFolder(40, u"Users", Reference(RootFolderRecord, 5));
  records_.AddFolder(41, u"ann", Reference(40, 1), 3, false);    // freed: one above the reference
  records_.AddFolder(42, u"old", Reference(41, 2), 4, true);     // in use, one above: reused
  records_.AddFolder(43, u"notes", Reference(42, 3));           // below the reused one
  EXPECT_EQ(folders_.FolderOf(Reference(RootFolderRecord, 5)), "/");
  EXPECT_EQ(folders_.FolderOf(Reference(41, 2)), "/Users/ann");
  EXPECT_EQ(folders_.FolderOf(Reference(41, 1)), "");  // freed twice since
  EXPECT_EQ(folders_.FolderOf(Reference(43, 1)), "notes");
  EXPECT_EQ(folders_.FolderOf(Reference(99, 1)), "");  // no such record
  for (const auto& [record, reads] : records_.Reads) EXPECT_EQ(reads, 1) << "record " << record;
}

TEST_F(OriginalFoldersTest, NoFolderOnALoopIsNamed) {
  records_.AddFolder(50, u"a", Reference(51, 1));
  records_.AddFolder(51, u"b", Reference(50, 1));
  records_.AddFolder(52, u"below", Reference(50, 1));
  records_.AddFolder(53, u"self", Reference(53, 1));
  EXPECT_EQ(folders_.FolderOf(Reference(52, 1)), "below");
  EXPECT_EQ(folders_.FolderOf(Reference(50, 1)), "");
  EXPECT_EQ(folders_.FolderOf(Reference(51, 1)), "");
  EXPECT_EQ(folders_.FolderOf(Reference(53, 1)), "");
}

// Levels of 255-character names from record first on, below the root; answers the last one.
uint64_t AddChain(FolderRecords& records, uint64_t first, uint64_t levels, std::u16string_view top) {
  records.AddFolder(first, top, Reference(RootFolderRecord, 5));
  for (uint64_t record = first + 1; record < first + levels; ++record) {
    records.AddFolder(record, std::u16string(255, static_cast<char16_t>(u'a' + record % 26)), Reference(record - 1, 1));
  }
  return first + levels - 1;
}

TEST_F(OriginalFoldersTest, AChainLongerThanALinuxPathComesBackWhole) {
  const uint64_t last = AddChain(records_, 100, 40, u"top");  // 10 KB
  const std::string folder = folders_.FolderOf(Reference(last, 1));
  EXPECT_EQ(folder.size(), 4 + 39 * 256);
  EXPECT_TRUE(folder.starts_with("/top/")) << folder.substr(0, 10);
  for (const auto& [record, reads] : records_.Reads) EXPECT_EQ(reads, 1) << "record " << record;
}

TEST_F(OriginalFoldersTest, AnAbsurdlyDeepChainGivesOnlyTheNamesBelowItsLimit) {
  const uint64_t last = AddChain(records_, 100, 500, u"top");  // 128 KB, past the longest Windows path
  const std::string folder = folders_.FolderOf(Reference(last, 1));
  ASSERT_FALSE(folder.empty());
  EXPECT_LE(folder.size(), MaxFolderTextBytes);
  EXPECT_GT(folder.size(), MaxFolderTextBytes - 2 * 256);
  EXPECT_NE(folder.front(), '/');
  EXPECT_EQ(folder.find("top"), std::string::npos);
  EXPECT_EQ(folder.back(), static_cast<char>('a' + last % 26));
  EXPECT_LE(records_.Reads.size(), MaxFolderTextBytes / 256 + 3) << "records loaded past the limit";
}

}  // namespace
}  // namespace salvoran::test
