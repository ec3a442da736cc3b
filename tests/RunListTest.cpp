#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "engine/RunList.h"
#include "tests/support/CraftedVolume.h"

namespace salvoran {
namespace {

using test::Bytes;
using test::EngineErrorText;

constexpr char RunListError[] = "Failed to read run Data.";
constexpr uint64_t LargeVolume = uint64_t{1} << 60;

Bytes ListOf(std::initializer_list<uint8_t> bytes) {
  Bytes list;
  for (uint8_t byte : bytes) list.push_back(std::byte{byte});
  return list;
}

DataRun Stretch(uint64_t count, uint64_t start) { return {count, start, false}; }
DataRun Hole(uint64_t count) { return {count, 0, true}; }

// "4 at 240, 8 sparse": compared as text so that a failure shows the runs.
std::string Describe(const std::vector<DataRun>& runs) {
  std::string text;
  for (const DataRun& run : runs) {
    if (!text.empty()) text += ", ";
    // A hole's start cluster means nothing.
    text += std::to_string(run.ClusterCount) + (run.Sparse ? " sparse" : " at " + std::to_string(run.StartCluster));
  }
  return text;
}

struct GoodList {
  const char* Description;
  Bytes List;
  uint64_t TotalClusters;
  std::vector<DataRun> Runs;
};

class DecodeRunListTest : public ::testing::TestWithParam<GoodList> {};

TEST_P(DecodeRunListTest, DecodesEveryRun) {
  EXPECT_EQ(Describe(DecodeRunList(GetParam().List, GetParam().TotalClusters)), Describe(GetParam().Runs))
      << GetParam().Description;
}

INSTANTIATE_TEST_SUITE_P(
    Lists, DecodeRunListTest,
    ::testing::Values(
        GoodList{"first offset 0xF0 is cluster 240", ListOf({0x11, 0x04, 0xF0, 0x00}), 1000, {Stretch(4, 240)}},
        GoodList{"later offset 0xF0 is 16 back", ListOf({0x11, 0x04, 0x64, 0x11, 0x02, 0xF0, 0x00}), 1000,
                 {Stretch(4, 100), Stretch(2, 84)}},
        GoodList{"later offset 0x0080 is 128 on", ListOf({0x11, 0x04, 0x64, 0x21, 0x02, 0x80, 0x00, 0x00}), 1000,
                 {Stretch(4, 100), Stretch(2, 228)}},
        GoodList{"three-byte negative offset",
                 ListOf({0x31, 0x01, 0x00, 0x00, 0x02, 0x31, 0x01, 0x00, 0x00, 0xFF, 0x00}), 1 << 20,
                 {Stretch(1, 0x20000), Stretch(1, 0x10000)}},
        GoodList{"a hole counts from the run before it",
                 ListOf({0x11, 0x04, 0x64, 0x01, 0x08, 0x11, 0x02, 0x10, 0x00}), 1000,
                 {Stretch(4, 100), Hole(8), Stretch(2, 116)}},
        GoodList{"two holes in a row", ListOf({0x11, 0x04, 0x64, 0x01, 0x08, 0x01, 0x03, 0x11, 0x01, 0xF0, 0x00}),
                 1000, {Stretch(4, 100), Hole(8), Hole(3), Stretch(1, 84)}},
        GoodList{"a leading hole", ListOf({0x01, 0x10, 0x11, 0x02, 0x20, 0x00}), 1000, {Hole(16), Stretch(2, 32)}},
        GoodList{"eight-byte length and offset",
                 ListOf({0x88, 0x01, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x00, 0x00, 0x00, 0x01, 0, 0, 0, 0x00}), LargeVolume,
                 {Stretch(1, uint64_t{1} << 32)}},
        GoodList{"eight-byte negative offset",
                 ListOf({0x21, 0x01, 0x00, 0x10, 0x81, 0x01, 0xF0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00}),
                 1 << 20, {Stretch(1, 0x1000), Stretch(1, 0x0FF0)}},
        GoodList{"a run ending at the volume's last cluster", ListOf({0x11, 0x0A, 0x5A, 0x00}), 100, {Stretch(10, 90)}},
        GoodList{"only the end marker", ListOf({0x00}), 100, {}},
        GoodList{"bytes after the end marker are ignored", ListOf({0x11, 0x01, 0x05, 0x00, 0xFF, 0xFF}), 100,
                 {Stretch(1, 5)}}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST(RunListRoundTripTest, DecodesWhatEncodeRunListWrites) {
  const std::vector<DataRun> runs = {Stretch(300, 70000), Hole(5), Stretch(2, 12), Stretch(0x12345, 0x123456789), Stretch(1, 3)};
  EXPECT_EQ(Describe(DecodeRunList(test::EncodeRunList(runs), LargeVolume)), Describe(runs));
}

struct BadList {
  const char* Description;
  Bytes List;
  uint64_t TotalClusters;
};

class RefusedRunListTest : public ::testing::TestWithParam<BadList> {};

TEST_P(RefusedRunListTest, RefusesTheList) {
  EXPECT_EQ(EngineErrorText([&] { DecodeRunList(GetParam().List, GetParam().TotalClusters); }), RunListError)
      << GetParam().Description;
}

INSTANTIATE_TEST_SUITE_P(
    Lists, RefusedRunListTest,
    ::testing::Values(
        BadList{"empty list", {}, 1000},
        BadList{"offset field of nine bytes", ListOf({0x91, 0x01, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0x00}), LargeVolume},
        BadList{"length field of nine bytes", ListOf({0x19, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0x05, 0x00}), LargeVolume},
        BadList{"widest header", ListOf({0xFF, 0x00}), LargeVolume},
        BadList{"no end marker", ListOf({0x11, 0x04, 0x64}), 1000},
        BadList{"no end marker after a hole", ListOf({0x11, 0x04, 0x64, 0x01, 0x08}), 1000},
        BadList{"length runs past the list", ListOf({0x11}), 1000},
        BadList{"offset runs past the list", ListOf({0x44, 0x01, 0x00, 0x00, 0x00, 0x10}), 1000},
        BadList{"second header runs past the list", ListOf({0x11, 0x04, 0x64, 0x22, 0x01}), 1000},
        BadList{"run before cluster 0", ListOf({0x11, 0x04, 0x10, 0x11, 0x01, 0xE0, 0x00}), 1000},
        BadList{"eight-byte step before cluster 0",
                ListOf({0x11, 0x01, 0x10, 0x81, 0x01, 0x00, 0, 0, 0, 0, 0, 0, 0x80, 0x00}), 1000},
        BadList{"run past the volume's end", ListOf({0x11, 0x10, 0x60, 0x00}), 100},
        BadList{"run one cluster past the end", ListOf({0x11, 0x0B, 0x5A, 0x00}), 100},
        BadList{"run starting past the end", ListOf({0x21, 0x01, 0x00, 0x01, 0x00}), 100},
        BadList{"huge length wrapping around", ListOf({0x18, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x05, 0x00}),
                100},
        BadList{"eight-byte first offset wrapping negative",
                ListOf({0x81, 0x01, 0xF0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00}), LargeVolume},
        BadList{"runs holding more clusters than the volume",
                ListOf({0x11, 0x3C, 0x0A, 0x11, 0x3C, 0x01, 0x00}), 100}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

}  // namespace
}  // namespace salvoran
