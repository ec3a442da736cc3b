#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "engine/Attribute.h"
#include "engine/AttributeValues.h"
#include "engine/FileRecord.h"
#include "tests/support/CraftedVolume.h"

namespace salvoran {
namespace {

using test::Bytes;
using test::DosNamespace;
using test::FileNameAttribute;
using test::PosixNamespace;
using test::PutLE;
using test::ResidentDataAttribute;
using test::Win32AndDosNamespace;
using test::Win32Namespace;

constexpr uint32_t IndexRootType = 0x90;
constexpr uint8_t UnknownNamespace = 4;

// A record holding the attributes, with the update sequence already undone.
Bytes RecordOf(std::vector<Bytes> attributes) {
  test::RecordSpec spec;
  spec.Attributes = std::move(attributes);
  Bytes record = test::BuildRecord(spec);
  ApplyFixups(record);
  return record;
}

// An attribute header of any type and declared length, padded to `size` bytes.
Bytes RawAttribute(uint32_t type, uint32_t declaredLength, size_t size = 16) {
  Bytes attribute(size);
  PutLE(attribute, 0, type, 4);
  PutLE(attribute, 4, declaredLength, 4);
  return attribute;
}

std::optional<std::u16string> FoundName(const Bytes& record, bool preferLongName) {
  const ByteView fileName = FindAttribute(record, FileNameType, preferLongName);
  if (fileName.empty()) return std::nullopt;
  return ReadFileName(fileName);
}

std::string ResidentText(ByteView attribute) {
  const ByteView content = ResidentContent(attribute);
  return std::string(reinterpret_cast<const char*>(content.data()), content.size());
}

TEST(FindAttributeTest, TheFirstAttributeOfTheTypeInRecordOrderWins) {
  const Bytes record = RecordOf({test::StandardInformationAttribute(1, 2), ResidentDataAttribute(test::ToBytes("first")),
                                 ResidentDataAttribute(test::ToBytes("second"))});
  const ByteView data = FindAttribute(record, DataType, false);
  EXPECT_EQ(ResidentText(data), "first");
}

TEST(FindAttributeTest, AnswersExactlyTheAttributesBytes) {
  const Bytes dataAttribute = ResidentDataAttribute(test::ToBytes("content"));
  const Bytes record = RecordOf({test::StandardInformationAttribute(1, 2), dataAttribute,
                                 ResidentDataAttribute(test::ToBytes("next"))});
  const ByteView data = FindAttribute(record, DataType, false);
  EXPECT_TRUE(std::equal(data.begin(), data.end(), dataAttribute.begin(), dataAttribute.end()));
}

TEST(FindAttributeTest, AnswersNothingForAMissingType) {
  const Bytes record = RecordOf({test::StandardInformationAttribute(1, 2), FileNameAttribute(u"a.txt", Win32Namespace)});
  EXPECT_TRUE(FindAttribute(record, DataType, false).empty());
  EXPECT_TRUE(FindAttribute(record, IndexRootType, true).empty());
}

TEST(FindAttributeTest, StartsAtTheOffsetTheRecordGives) {
  Bytes record = RecordOf({ResidentDataAttribute(test::ToBytes("first")), ResidentDataAttribute(test::ToBytes("second"))});
  // Point the walk at the second attribute.
  const uint16_t firstOffset = ReadLE<uint16_t>(record, 0x14);
  const uint32_t firstLength = ReadLE<uint32_t>(record, firstOffset + 4);
  PutLE(record, 0x14, firstOffset + firstLength, 2);
  EXPECT_EQ(ResidentText(FindAttribute(record, DataType, false)), "second");
}

TEST(FindAttributeTest, WalksABufferWithoutRecordHeaderFromItsStart) {
  Bytes attributes = test::StandardInformationAttribute(1, 2);
  const Bytes data = ResidentDataAttribute(test::ToBytes("loose"));
  attributes.insert(attributes.end(), data.begin(), data.end());
  attributes.resize(attributes.size() + 8, std::byte{0xFF});  // end marker
  EXPECT_EQ(ResidentText(FindAttribute(attributes, DataType, false)), "loose");
}

TEST(FindAttributeTest, StopsAtTheEndMarker) {
  const Bytes record = RecordOf({test::StandardInformationAttribute(1, 2), RawAttribute(AttributeListEnd, 16),
                                 ResidentDataAttribute(test::ToBytes("hidden"))});
  EXPECT_FALSE(FindAttribute(record, StandardInformationType, false).empty());
  EXPECT_TRUE(FindAttribute(record, DataType, false).empty());
}

TEST(FindAttributeTest, FirstAttributeOffsetPastTheRecordFindsNothing) {
  for (uint16_t offset : {1020, 1024, 0xFFFF}) {
    Bytes record = RecordOf({ResidentDataAttribute(test::ToBytes("x"))});
    PutLE(record, 0x14, offset, 2);
    EXPECT_TRUE(FindAttribute(record, DataType, false).empty()) << "offset " << offset;
  }
}

class AttributeLengthTest : public ::testing::TestWithParam<uint32_t> {};

// An attribute whose length is below a header's or runs past the record ends the walk, so a
// $DATA after it is not found; a walk that went on would loop or read outside the record.
TEST_P(AttributeLengthTest, ABadLengthEndsTheWalk) {
  const Bytes record = RecordOf({test::StandardInformationAttribute(1, 2), RawAttribute(IndexRootType, GetParam()),
                                 ResidentDataAttribute(test::ToBytes("after"))});
  EXPECT_TRUE(FindAttribute(record, DataType, false).empty());
  EXPECT_TRUE(FindAttribute(record, IndexRootType, false).empty());
}

INSTANTIATE_TEST_SUITE_P(Lengths, AttributeLengthTest,
                         ::testing::Values(0u, 8u, 15u, 1024u, 0x10000u, 0x80000000u, 0xFFFFFFF8u));

TEST(FindAttributeTest, ASixteenByteAttributeIsWalkedOver) {
  const Bytes record = RecordOf({RawAttribute(IndexRootType, 16), ResidentDataAttribute(test::ToBytes("after"))});
  EXPECT_EQ(ResidentText(FindAttribute(record, DataType, false)), "after");
}

TEST(FindAttributeTest, TheSoughtAttributeRunningPastTheRecordIsNotAnswered) {
  Bytes record = RecordOf({test::StandardInformationAttribute(1, 2), ResidentDataAttribute(test::ToBytes("x"))});
  const uint16_t firstOffset = ReadLE<uint16_t>(record, 0x14);
  const size_t dataOffset = firstOffset + ReadLE<uint32_t>(record, firstOffset + 4);
  PutLE(record, dataOffset + 4, record.size() - dataOffset + 8, 4);
  EXPECT_TRUE(FindAttribute(record, DataType, false).empty());
}

struct NameCase {
  const char* Description;
  std::vector<std::pair<uint8_t, std::u16string>> Names;  // namespace, name, in record order
  bool PreferLongName;
  std::optional<std::u16string> Expected;
};

class FileNameNamespaceTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(FileNameNamespaceTest, PicksTheNameTheScanShows) {
  std::vector<Bytes> attributes{test::StandardInformationAttribute(1, 2)};
  for (const auto& [nameSpace, name] : GetParam().Names) attributes.push_back(FileNameAttribute(name, nameSpace));
  attributes.push_back(ResidentDataAttribute(test::ToBytes("x")));
  EXPECT_EQ(FoundName(RecordOf(attributes), GetParam().PreferLongName), GetParam().Expected) << GetParam().Description;
}

INSTANTIATE_TEST_SUITE_P(
    Namespaces, FileNameNamespaceTest,
    ::testing::Values(
        NameCase{"DOS then Win32, long preferred", {{DosNamespace, u"REPORT~1.DOC"}, {Win32Namespace, u"Report.doc"}}, true, u"Report.doc"},
        NameCase{"DOS then Win32, first wanted", {{DosNamespace, u"REPORT~1.DOC"}, {Win32Namespace, u"Report.doc"}}, false, u"REPORT~1.DOC"},
        NameCase{"Win32 then DOS, long preferred", {{Win32Namespace, u"Report.doc"}, {DosNamespace, u"REPORT~1.DOC"}}, true, u"Report.doc"},
        NameCase{"DOS only, long preferred", {{DosNamespace, u"REPORT~1.DOC"}}, true, std::nullopt},
        NameCase{"DOS only, first wanted", {{DosNamespace, u"REPORT~1.DOC"}}, false, u"REPORT~1.DOC"},
        NameCase{"POSIX", {{PosixNamespace, u"posix:name"}}, true, u"posix:name"},
        NameCase{"Win32 and DOS in one", {{Win32AndDosNamespace, u"SHORT.TXT"}}, true, u"SHORT.TXT"},
        NameCase{"unknown namespace passed over", {{UnknownNamespace, u"odd"}, {Win32Namespace, u"plain.txt"}}, true, u"plain.txt"},
        NameCase{"unknown namespace alone", {{UnknownNamespace, u"odd"}}, true, std::nullopt},
        NameCase{"two DOS names then POSIX", {{DosNamespace, u"A~1"}, {DosNamespace, u"A~2"}, {PosixNamespace, u"a"}}, true, u"a"}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

// The namespace byte belongs to $FILE_NAME only; other types are found whatever that byte holds.
TEST(FindAttributeTest, PreferLongNameLeavesOtherTypesAlone) {
  Bytes content(0x60);
  PutLE(content, 0x59 - 0x18, DosNamespace, 1);
  const Bytes record = RecordOf({ResidentDataAttribute(content)});
  EXPECT_FALSE(FindAttribute(record, DataType, true).empty());
}

}  // namespace
}  // namespace salvoran
