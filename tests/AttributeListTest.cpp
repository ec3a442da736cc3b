#include <gtest/gtest.h>

#include "engine/AttributeHeader.h"
#include "engine/AttributeList.h"
#include "tests/support/CraftedVolume.h"

namespace salvoran {
namespace {

using test::Bytes;

Bytes ListContent() {
  const Bytes attribute = test::AttributeListAttribute(
      {{0x10, 40, 0, 0}, {0x80, 41 | (uint64_t{5} << 48), 3, 16}, {0x80, 42, 4, 32}});
  const ByteView content = ResidentContent(attribute);
  return Bytes(content.begin(), content.end());
}

TEST(AttributeListTest, ReadsEachEntrysTypeRecordIdAndStartingVcn) {
  const std::vector<AttributeListEntry> entries = ParseAttributeList(ListContent());
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[1].Type, 0x80u);
  EXPECT_EQ(entries[1].RecordIndex, 41u) << "without the sequence number";
  EXPECT_EQ(entries[1].AttributeId, 3);
  EXPECT_EQ(entries[1].FirstVcn, 16u);
  EXPECT_TRUE(entries[1].Name.empty());
}

struct BrokenEntry {
  const char* Description;
  size_t Field;
  uint64_t Value;
  size_t Width;
};

class BrokenEntryTest : public ::testing::TestWithParam<BrokenEntry> {};

// Run under AddressSanitizer, this also shows that nothing past the list is read.
TEST_P(BrokenEntryTest, TheWalkEndsAtTheFirstEntryThatDoesNotFit) {
  Bytes content = ListContent();
  test::PutLE(content, 0x20 + GetParam().Field, GetParam().Value, GetParam().Width);
  content.shrink_to_fit();
  EXPECT_EQ(ParseAttributeList(content).size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Entries, BrokenEntryTest,
                         ::testing::Values(BrokenEntry{"LengthZero", 0x04, 0, 2},
                                           BrokenEntry{"LengthBelowItsFields", 0x04, 0x18, 2},
                                           BrokenEntry{"LengthPastTheList", 0x04, 0x48, 2},
                                           BrokenEntry{"NamePastTheEntry", 0x06, 4, 1}),
                         [](const auto& info) { return std::string(info.param.Description); });

}  // namespace
}  // namespace salvoran
