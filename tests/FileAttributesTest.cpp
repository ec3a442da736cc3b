// Gathering a file's attributes across its records, on crafted records: an extension record
// another file took, or one that is gone, is what no driver hands over on purpose.
#include <gtest/gtest.h>

#include <map>

#include "engine/AttributeHeader.h"
#include "engine/AttributeValues.h"
#include "engine/FileAttributes.h"
#include "engine/FileRecord.h"
#include "tests/support/CraftedVolume.h"

namespace salvoran {
namespace {

using test::Bytes;
using test::ListEntry;

constexpr uint64_t BaseIndex = 40;
constexpr uint64_t ExtensionIndex = 41;
constexpr uint16_t NameId = 1, FirstPieceId = 2, SecondPieceId = 3;

using test::MemoryRecords;

Bytes Piece(uint64_t firstCluster) {
  return test::NonResidentDataAttribute(test::EncodeRunList({{4, firstCluster, false}}), 8 * 4096, 3);
}

// A file deleted as Windows deletes one: its name and the second half of its data in an
// extension record that still names it.
class FileAttributesTest : public ::testing::Test {
 protected:
  FileAttributesTest() {
    test::RecordSpec base;
    base.Attributes = {test::StandardInformationAttribute(test::SampleCreated, test::SampleModified),
                       test::AttributeListAttribute({{0x10, BaseIndex, 0, 0},
                                                     {0x30, ExtensionIndex, NameId, 0},
                                                     {0x80, BaseIndex, FirstPieceId, 0},
                                                     {0x80, ExtensionIndex, SecondPieceId, 4}}),
                       test::WithId(Piece(100), FirstPieceId)};
    base_ = test::BuildRecord(base);
    ApplyFixups(base_);
    extension_.BaseRecord = BaseIndex | (uint64_t{3} << 48);  // the sequence number does not matter
    extension_.Attributes = {test::WithId(test::FileNameAttribute(u"video.mp4", test::Win32Namespace), NameId),
                             test::WithId(test::LaterPiece(Piece(200), 4, 7), SecondPieceId)};
  }

  FileAttributes Gather() {
    fetcher_.Records[ExtensionIndex] = test::BuildRecord(extension_);
    return GatherFileAttributes(base_, BaseIndex, fetcher_);
  }

  Bytes base_;
  test::RecordSpec extension_;
  MemoryRecords fetcher_;
};

TEST_F(FileAttributesTest, TakesTheNameAndEveryPieceFromTheRecordsTheListNames) {
  const FileAttributes file = Gather();
  EXPECT_EQ(ReadFileName(file.FileName), u"video.mp4");
  const DataStream* content = file.Stream(u"");
  ASSERT_NE(content, nullptr);
  ASSERT_EQ(content->Pieces.size(), 2u);
  EXPECT_EQ(ReadNonResidentHeader(content->Pieces[1]).FirstVcn, 4u);
  EXPECT_EQ(content->Size(), 8u * 4096);
  EXPECT_EQ(content->Loss, AttributeLoss::None);
}

struct TakenExtension {
  const char* Description;
  uint16_t Flags;
  uint64_t BaseRecord;
};

class TakenExtensionTest : public FileAttributesTest, public ::testing::WithParamInterface<TakenExtension> {};

TEST_P(TakenExtensionTest, AnExtensionRecordInUseOrOfAnotherFileLosesWhatItHolds) {
  extension_.Flags = GetParam().Flags;
  extension_.BaseRecord = GetParam().BaseRecord;
  const FileAttributes file = Gather();
  EXPECT_TRUE(file.FileName.empty());
  ASSERT_NE(file.Stream(u""), nullptr);
  EXPECT_EQ(file.Stream(u"")->Loss, AttributeLoss::Reused);
  EXPECT_EQ(file.Stream(u"")->Size(), 8u * 4096) << "the base record still holds the sizes";
}

INSTANTIATE_TEST_SUITE_P(Extensions, TakenExtensionTest,
                         ::testing::Values(TakenExtension{"InUse", RecordInUse, BaseIndex},
                                           TakenExtension{"OfAnotherFile", 0, BaseIndex + 7},
                                           TakenExtension{"ABaseRecord", 0, 0}),
                         [](const auto& info) { return std::string(info.param.Description); });

TEST_F(FileAttributesTest, AMissingOrUnreadableExtensionRecordLosesWhatItHolds) {
  extension_.Attributes.pop_back();  // the record is there, the piece the list names is not
  EXPECT_EQ(Gather().Stream(u"")->Loss, AttributeLoss::Unreadable);
  fetcher_.Records.clear();
  EXPECT_EQ(GatherFileAttributes(base_, BaseIndex, fetcher_).Stream(u"")->Loss, AttributeLoss::Unreadable);
}

TEST(FileAttributesWithoutListTest, TheUnnamedDataIsTheFileWhateverComesFirst) {
  test::RecordSpec spec = test::DeletedFileSpec(u"budget.pdf", test::ResidentDataAttribute(test::ToBytes("content")));
  spec.Attributes.insert(spec.Attributes.begin() + 2,
                         test::NamedDataAttribute(u"Zone.Identifier", test::ToBytes("[ZoneTransfer]")));
  Bytes record = test::BuildRecord(spec);
  ApplyFixups(record);
  MemoryRecords none;
  const FileAttributes file = GatherFileAttributes(record, BaseIndex, none);
  ASSERT_EQ(file.Streams().size(), 2u);
  EXPECT_EQ(file.Stream(u"")->Size(), 7u);
  EXPECT_EQ(file.Stream(u"Zone.Identifier")->Size(), 14u);
}

}  // namespace
}  // namespace salvoran
