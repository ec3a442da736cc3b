#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

#include "engine/Attribute.h"
#include "engine/AttributeValues.h"
#include "engine/FileRecord.h"
#include "tests/support/CraftedVolume.h"

namespace salvoran {
namespace {

using test::Bytes;
using test::EngineErrorText;
using test::PutLE;

constexpr char BadSignature[] = "Invalid File Record 1!";
constexpr char BadFixup[] = "Invalid File Record 2!";

constexpr uint32_t StrideBytes = 512;
constexpr size_t RecordBytes = 1024;
constexpr size_t ArrayOffset = 0x30;
constexpr uint16_t SequenceNumber = 0x0005;
constexpr uint16_t SavedFirstStride = 0xB1A1;
constexpr uint16_t SavedSecondStride = 0xB2A2;

// A 1024-byte record with two 512-byte strides, stamped with sequence number 0x0005.
Bytes ProtectedRecord() {
  Bytes record(RecordBytes);
  std::memcpy(record.data(), "FILE", 4);
  PutLE(record, 0x04, ArrayOffset, 2);
  PutLE(record, 0x06, 3, 2);
  PutLE(record, ArrayOffset, SequenceNumber, 2);
  PutLE(record, ArrayOffset + 2, SavedFirstStride, 2);
  PutLE(record, ArrayOffset + 4, SavedSecondStride, 2);
  PutLE(record, StrideBytes - 2, SequenceNumber, 2);
  PutLE(record, 2 * StrideBytes - 2, SequenceNumber, 2);
  return record;
}

std::string FixupError(Bytes& record) {
  return EngineErrorText([&] { ApplyFixups(record); });
}

TEST(ApplyFixupsTest, PutsBackTheBytesEachStrideSaved) {
  Bytes record = ProtectedRecord();
  Bytes expected = record;
  PutLE(expected, StrideBytes - 2, SavedFirstStride, 2);
  PutLE(expected, 2 * StrideBytes - 2, SavedSecondStride, 2);

  ApplyFixups(record);

  EXPECT_EQ(record, expected);
}

struct StrideEnd {
  size_t Stride;  // 1 or 2
  uint8_t Low;    // byte p - 2
  uint8_t High;   // byte p - 1
  bool Accepted;
};

class FixupStrideTest : public ::testing::TestWithParam<StrideEnd> {};

// One byte of the two matching the sequence number is enough; a stride is torn only when both
// differ.
TEST_P(FixupStrideTest, RefusesAStrideOnlyWhenBothBytesDiffer) {
  const StrideEnd end = GetParam();
  Bytes record = ProtectedRecord();
  const size_t p = StrideBytes * end.Stride;
  record[p - 2] = std::byte{end.Low};
  record[p - 1] = std::byte{end.High};

  EXPECT_EQ(FixupError(record), end.Accepted ? "(no error)" : BadFixup);
}

INSTANTIATE_TEST_SUITE_P(
    StrideEnds, FixupStrideTest,
    ::testing::Values(StrideEnd{1, 0x05, 0x00, true}, StrideEnd{1, 0x05, 0x07, true},
                      StrideEnd{1, 0x09, 0x00, true}, StrideEnd{1, 0x06, 0x07, false},
                      StrideEnd{1, 0x00, 0x05, false}, StrideEnd{2, 0x05, 0x07, true},
                      StrideEnd{2, 0x08, 0x00, true}, StrideEnd{2, 0x06, 0x07, false},
                      StrideEnd{2, 0xFF, 0xFF, false}));

class FixupSignatureTest : public ::testing::TestWithParam<std::string> {};

TEST_P(FixupSignatureTest, RefusesAnyRecordNotStartingWithFILE) {
  Bytes record = ProtectedRecord();
  std::memcpy(record.data(), GetParam().data(), 4);
  EXPECT_EQ(FixupError(record), BadSignature);
}

INSTANTIATE_TEST_SUITE_P(Signatures, FixupSignatureTest,
                         ::testing::Values(std::string("file"), std::string("FILe"), std::string("fILE"),
                                           std::string("BAAD"), std::string("FIL "), std::string("ELIF"),
                                           std::string(4, '\0'), std::string("INDX")));

TEST(ApplyFixupsTest, RefusesABufferTooShortForTheSignature) {
  Bytes empty;
  Bytes threeBytes = test::ToBytes("FIL");
  EXPECT_EQ(FixupError(empty), BadSignature);
  EXPECT_EQ(FixupError(threeBytes), BadSignature);
}

TEST(ApplyFixupsTest, LeavesARecordWithoutStridesUntouched) {
  for (uint16_t count : {0, 1}) {
    Bytes record = ProtectedRecord();
    PutLE(record, 0x06, count, 2);
    // Would be refused as torn if it were checked.
    PutLE(record, StrideBytes - 2, 0x0706, 2);
    const Bytes before = record;
    EXPECT_EQ(FixupError(record), "(no error)") << "count " << count;
    EXPECT_EQ(record, before) << "count " << count;
  }
}

struct BadArray {
  const char* Description;
  uint16_t ArrayOffset;
  uint16_t Count;
  size_t RecordSize;
};

class FixupArrayBoundsTest : public ::testing::TestWithParam<BadArray> {};

// Run under AddressSanitizer, this also shows that nothing outside the record is touched.
TEST_P(FixupArrayBoundsTest, RefusesAnArrayOrStrideOutsideTheRecord) {
  const BadArray bad = GetParam();
  Bytes record = ProtectedRecord();
  PutLE(record, 0x04, bad.ArrayOffset, 2);
  PutLE(record, 0x06, bad.Count, 2);
  record.resize(bad.RecordSize);
  record.shrink_to_fit();
  EXPECT_EQ(FixupError(record), BadFixup) << bad.Description;
}

INSTANTIATE_TEST_SUITE_P(
    Arrays, FixupArrayBoundsTest,
    ::testing::Values(BadArray{"array runs past the end", 0x3FE, 3, 1024},
                      BadArray{"array starts past the end", 0xFFFF, 3, 1024},
                      BadArray{"one stride too many", 0x30, 4, 1024},
                      BadArray{"largest count", 0x30, 0xFFFF, 1024},
                      BadArray{"stride longer than the record", 0x30, 2, 500},
                      BadArray{"record shorter than its strides", 0x30, 3, 1000}),
    [](const auto& info) {
      std::string name = info.param.Description;
      for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      }
      return name;
    });

class FixupRoundTripTest : public ::testing::TestWithParam<uint32_t> {};

// Content that crosses every stride end must read back as it was before the driver stamped it.
TEST_P(FixupRoundTripTest, ContentCrossingStrideEndsReadsBackIntact) {
  const uint32_t recordSize = GetParam();
  const Bytes content = test::Pattern(recordSize - 0x100, 0x3C);
  test::RecordSpec spec;
  spec.Attributes = {test::ResidentDataAttribute(content)};
  spec.RecordSize = recordSize;
  spec.SequenceNumber = 0x1234;
  Bytes record = test::BuildRecord(spec);

  ApplyFixups(record);

  const ByteView data = FindAttribute(record, DataType, false);
  ASSERT_FALSE(data.empty());
  const ByteView restored = ResidentContent(data);
  EXPECT_TRUE(std::equal(restored.begin(), restored.end(), content.begin(), content.end()));
}

INSTANTIATE_TEST_SUITE_P(RecordSizes, FixupRoundTripTest, ::testing::Values(1024, 4096));

TEST(RecordFlagsTest, ReadsTheWholeFlagsWord) {
  for (uint16_t flags : {0x0000, 0x0001, 0x0002, 0x0003, 0x0100, 0x8004}) {
    test::RecordSpec spec;
    spec.Flags = flags;
    EXPECT_EQ(RecordFlags(test::BuildRecord(spec)), flags);
  }
}

}  // namespace
}  // namespace salvoran
