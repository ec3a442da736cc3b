#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "engine/AttributeValues.h"
#include "tests/support/CraftedVolume.h"

namespace salvoran {
namespace {

using test::Bytes;
using test::PutLE;

constexpr uint64_t FiveGibibytes = uint64_t{5} << 30;

ByteView FirstBytes(const Bytes& bytes, size_t count) { return ByteView(bytes).first(count); }

TEST(StandardTimesTest, ReadsCreatedAndModifiedTimes) {
  const Bytes attribute = test::StandardInformationAttribute(0x0123456789ABCDEF, 0x0FEDCBA987654321);
  const StandardTimes times = ReadStandardTimes(attribute);
  EXPECT_EQ(times.Created, 0x0123456789ABCDEFu);
  EXPECT_EQ(times.Modified, 0x0FEDCBA987654321u);
}

TEST(StandardTimesTest, TimesMissingFromAShortAttributeReadAsZero) {
  const Bytes attribute = test::StandardInformationAttribute(0x0123456789ABCDEF, 0x0FEDCBA987654321);
  EXPECT_EQ(ReadStandardTimes(FirstBytes(attribute, 0x20)).Created, 0x0123456789ABCDEFu);
  EXPECT_EQ(ReadStandardTimes(FirstBytes(attribute, 0x20)).Modified, 0u);
  // Half a time: only the bytes present count.
  EXPECT_EQ(ReadStandardTimes(FirstBytes(attribute, 0x1C)).Created, 0x89ABCDEFu);
  EXPECT_EQ(ReadStandardTimes({}).Created, 0u);
}

TEST(FileNameValueTest, ReadsTheNameAsUtf16) {
  const std::u16string name = u"R\u00e9sum\u00e9 \U0001F600.txt";
  EXPECT_EQ(ReadFileName(test::FileNameAttribute(name, test::Win32Namespace)), name);
}

TEST(FileNameValueTest, ReadsTheLongestName) {
  const std::u16string name(255, u'\u4E2D');
  EXPECT_EQ(ReadFileName(test::FileNameAttribute(name, test::Win32Namespace)), name);
}

TEST(FileNameValueTest, ANameLongerThanItsAttributeIsCutAtTheAttributesEnd) {
  const Bytes attribute = test::FileNameAttribute(u"abcdefghij", test::Win32Namespace);
  EXPECT_EQ(ReadFileName(FirstBytes(attribute, 0x5A + 2 * 3)), u"abc");
  // A character with only one of its two bytes present is dropped.
  EXPECT_EQ(ReadFileName(FirstBytes(attribute, 0x5A + 2 * 3 + 1)), u"abc");
  EXPECT_EQ(ReadFileName(FirstBytes(attribute, 0x5A)), u"");
  EXPECT_EQ(ReadFileName(FirstBytes(attribute, 0x20)), u"");
}

TEST(DataSizeTest, ResidentSizeIsTheContentLength) {
  EXPECT_EQ(ReadDataSize(test::ResidentDataAttribute(Bytes(300))), 300u);
  EXPECT_EQ(ReadDataSize(test::ResidentDataAttribute({})), 0u);
}

TEST(DataSizeTest, ResidentSizeReadsOnlyThe32BitField) {
  Bytes attribute = test::ResidentDataAttribute(Bytes(8));
  PutLE(attribute, 0x14, 0xFFFF0018, 4);  // the bytes after the length are not part of it
  EXPECT_EQ(ReadDataSize(attribute), 8u);
}

// Found by fuzzing: the listing said 31 bytes where the restore wrote 27.
TEST(DataSizeTest, AResidentLengthRunningPastTheAttributeCountsOnlyTheBytesPresent) {
  const Bytes attribute = test::ResidentDataAttribute(test::Pattern(40, 3));
  EXPECT_EQ(ReadDataSize(FirstBytes(attribute, 0x18 + 27)), 27u);
  for (size_t cut : {size_t{0x18 + 27}, size_t{0x18}, size_t{0x16}}) {
    EXPECT_EQ(ReadDataSize(FirstBytes(attribute, cut)), ResidentContent(FirstBytes(attribute, cut)).size()) << cut;
  }
}

TEST(DataSizeTest, NonResidentSizeKeepsAll64Bits) {
  const Bytes attribute = test::NonResidentDataAttribute(test::EncodeRunList({{1, 100, false}}), FiveGibibytes);
  EXPECT_TRUE(IsNonResident(attribute));
  EXPECT_EQ(ReadDataSize(attribute), FiveGibibytes);
}

TEST(DataSizeTest, NonResidentSizeTakesTheRealNotTheAllocatedSize) {
  Bytes attribute = test::NonResidentDataAttribute(test::EncodeRunList({{3, 100, false}}), 10'000);
  PutLE(attribute, 0x28, 3 * 4096, 8);
  PutLE(attribute, 0x38, 4096, 8);
  EXPECT_EQ(ReadDataSize(attribute), 10'000u);
}

TEST(DataSizeTest, SizeBytesMissingFromAShortAttributeReadAsZero) {
  const Bytes attribute = test::NonResidentDataAttribute(test::EncodeRunList({{1, 100, false}}), 0x0102030405060708);
  EXPECT_EQ(ReadDataSize(FirstBytes(attribute, 0x34)), 0x05060708u);
  EXPECT_EQ(ReadDataSize(FirstBytes(attribute, 0x30)), 0u);
}

TEST(ResidentContentTest, AnswersTheContent) {
  const Bytes content = test::Pattern(77, 9);
  const Bytes attribute = test::ResidentDataAttribute(content);
  const ByteView found = ResidentContent(attribute);
  EXPECT_TRUE(std::equal(found.begin(), found.end(), content.begin(), content.end()));
}

TEST(ResidentContentTest, ContentLongerThanTheAttributeIsCutAtItsEnd) {
  Bytes attribute = test::ResidentDataAttribute(Bytes(40));
  PutLE(attribute, 0x10, 0x7FFFFFFF, 4);
  EXPECT_EQ(ResidentContent(attribute).size(), attribute.size() - 0x18);
}

TEST(ResidentContentTest, AContentOffsetAtOrPastTheEndGivesNothing) {
  Bytes attribute = test::ResidentDataAttribute(Bytes(40));
  for (size_t offset : {attribute.size(), attribute.size() + 1, size_t{0xFFFF}}) {
    PutLE(attribute, 0x14, offset, 2);
    EXPECT_TRUE(ResidentContent(attribute).empty()) << "offset " << offset;
  }
}

TEST(NonResidentHeaderTest, ReadsRunListAndExtent) {
  const Bytes runList = test::EncodeRunList({{4, 300, false}, {2, 100, false}});
  const Bytes attribute = test::NonResidentDataAttribute(runList, 6 * 4096, 5, 0x4001);
  const ByteView list = RunListBytes(attribute);
  ASSERT_GE(list.size(), runList.size());
  EXPECT_TRUE(std::equal(runList.begin(), runList.end(), list.begin()));
  EXPECT_EQ(list.size(), attribute.size() - 0x40);

  const NonResidentHeader header = ReadNonResidentHeader(attribute);
  EXPECT_EQ(header.Flags, 0x4001);
  EXPECT_EQ(header.FirstVcn, 0u);
  EXPECT_EQ(header.LastVcn, 5u);
  EXPECT_EQ(header.DataSize, 6u * 4096);
}

TEST(NonResidentHeaderTest, ARunListOffsetAtOrPastTheEndGivesNoRunList) {
  Bytes attribute = test::NonResidentDataAttribute(test::EncodeRunList({{1, 100, false}}), 4096);
  for (size_t offset : {attribute.size(), attribute.size() + 8, size_t{0xFFFF}}) {
    PutLE(attribute, 0x20, offset, 2);
    EXPECT_TRUE(RunListBytes(attribute).empty()) << "offset " << offset;
  }
}

TEST(NonResidentHeaderTest, OnlyFlagByteOneIsNonResident) {
  Bytes attribute = test::ResidentDataAttribute(Bytes(8));
  EXPECT_FALSE(IsNonResident(attribute));
  PutLE(attribute, 0x08, 1, 1);
  EXPECT_TRUE(IsNonResident(attribute));
  PutLE(attribute, 0x08, 0x81, 1);
  EXPECT_FALSE(IsNonResident(attribute));
}

}  // namespace
}  // namespace salvoran
