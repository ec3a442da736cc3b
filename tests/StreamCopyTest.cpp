#include <gtest/gtest.h>

#include <array>
#include <stdexcept>
#include <string>
#include <vector>

#include "recovery/StreamCopy.h"
#include "tests/support/CraftedVolume.h"

namespace salvoran {
namespace {

using test::Bytes;
using test::Pattern;

constexpr char Damaged[] = "The file's compressed content is damaged and cannot be decompressed.";
constexpr uint32_t ClusterBytes = 512;
constexpr uint8_t FourClusterUnits = 2;
constexpr size_t UnitBytes = 4 * ClusterBytes;

// Keeps what arrives, holes as zeros, and counts the bytes left as holes.
class RecordingSink : public ContentSink {
 public:
  void Write(std::span<const std::byte> bytes) override { Content.insert(Content.end(), bytes.begin(), bytes.end()); }
  void Skip(uint64_t count) override {
    Content.resize(Content.size() + count);
    Skipped += count;
  }
  void Commit(uint64_t) override {}

  Bytes Content;
  uint64_t Skipped = 0;
};

// An LZNT1 chunk whose eight tokens are all literals.
Bytes LiteralChunk(const std::string& eightBytes) {
  Bytes chunk(3);
  test::PutLE(chunk, 0, 0xB000 | eightBytes.size(), 2);  // the size field is size - 1; the flag byte counts
  const Bytes bytes = test::ToBytes(eightBytes);
  chunk.insert(chunk.end(), bytes.begin(), bytes.end());
  return chunk;
}

class StreamCopyTest : public ::testing::Test {
 protected:
  void Place(uint64_t cluster, Bytes bytes) {
    bytes.resize((bytes.size() + ClusterBytes - 1) / ClusterBytes * ClusterBytes);
    std::copy(bytes.begin(), bytes.end(), volume_.begin() + static_cast<ptrdiff_t>(cluster * ClusterBytes));
  }
  RecordingSink Copy(const std::vector<DataRun>& runs, uint64_t length) {
    MemoryVolume volume(volume_);
    const Bytes attribute = test::NonResidentDataAttribute(test::EncodeRunList(runs), length);
    const std::array<ByteView, 1> pieces{attribute};
    ExtentRuns extents(pieces, volume_.size() / ClusterBytes);
    ContentReader reader(volume, ClusterBytes, length, nullptr);
    RecordingSink sink;
    CopyCompressedUnits(reader, ClusterBytes, extents, FourClusterUnits, length, sink);
    return sink;
  }
  std::string CopyError(const std::vector<DataRun>& runs) {
    return test::EngineErrorText([&] { Copy(runs, 2 * UnitBytes); });
  }

  Bytes volume_ = Bytes(64 * ClusterBytes);
};

TEST_F(StreamCopyTest, EachUnitIsZerosStoredPlainOrExpandedByWhatItsClustersHold) {
  const Bytes plain = Pattern(UnitBytes, 7);
  Place(10, plain);
  Place(20, LiteralChunk("literals"));
  const Bytes tail = Pattern(2 * ClusterBytes, 9);
  Place(30, tail);

  // A plain unit; a compressed one (a cluster, then holes) whose runs split it; a unit of holes;
  // the last unit, shorter than the others and without holes, plain.
  const uint64_t length = 3 * UnitBytes + 2 * ClusterBytes - 100;
  const RecordingSink sink = Copy({{3, 10, false}, {1, 13, false}, {1, 20, false}, {7, 0, true}, {2, 30, false}}, length);

  Bytes expected = plain;
  Bytes expanded = test::ToBytes("literals");
  expanded.resize(2 * UnitBytes);  // then a unit of holes
  expected.insert(expected.end(), expanded.begin(), expanded.end());
  expected.insert(expected.end(), tail.begin(), tail.end() - 100);
  EXPECT_EQ(sink.Content, expected);
  EXPECT_EQ(sink.Skipped, UnitBytes);
}

// A hostile record can claim 2^46 units of hole: a stretch of them is skipped in one step.
TEST_F(StreamCopyTest, AStretchOfHoleUnitsIsSkippedInOneStep) {
  constexpr uint64_t HoleUnits = uint64_t{1} << 40;
  constexpr size_t SkipsAllowed = 1000;
  Place(10, Pattern(UnitBytes, 3));
  Place(20, Pattern(UnitBytes, 4));
  struct : ContentSink {
    void Write(std::span<const std::byte> bytes) override { Written += bytes.size(); }
    void Skip(uint64_t count) override {
      if (++Skips > SkipsAllowed) throw std::length_error("a skip per unit");
      Skipped += count;
    }
    void Commit(uint64_t) override {}
    uint64_t Written = 0, Skipped = 0;
    size_t Skips = 0;
  } sink;
  MemoryVolume volume(volume_);
  const uint64_t length = (HoleUnits + 2) * UnitBytes;
  const Bytes attribute = test::NonResidentDataAttribute(
      test::EncodeRunList({{4, 10, false}, {4 * HoleUnits, 0, true}, {4, 20, false}}), length);
  const std::array<ByteView, 1> pieces{attribute};
  ExtentRuns runs(pieces, volume_.size() / ClusterBytes);
  ContentReader reader(volume, ClusterBytes, length, nullptr);

  CopyCompressedUnits(reader, ClusterBytes, runs, FourClusterUnits, length, sink);

  EXPECT_EQ(sink.Skips, 1u);
  EXPECT_EQ(sink.Skipped, HoleUnits * UnitBytes);
  EXPECT_EQ(sink.Written, 2 * UnitBytes);
}

TEST_F(StreamCopyTest, AUnitWhoseClustersFollowAHoleIsRefused) {
  EXPECT_EQ(CopyError({{4, 10, false}, {2, 0, true}, {2, 20, false}}), Damaged);
}

TEST_F(StreamCopyTest, AUnitThatDoesNotDecodeIsRefused) {
  Bytes chunk = LiteralChunk("literals");
  test::PutLE(chunk, 0, 0xB000 | 0x800, 2);  // a chunk longer than the cluster that holds it
  Place(20, chunk);
  EXPECT_EQ(CopyError({{1, 20, false}, {3, 0, true}, {4, 0, true}}), Damaged);
}

TEST(CompressionUnitTest, RefusesAMissingOrOversizedUnit) {
  for (const uint8_t unit : {0, 9, 31, 200}) {
    EXPECT_EQ(test::EngineErrorText([&] { CheckCompressionUnit(unit, 4096); }), Damaged) << int{unit};
  }
  EXPECT_EQ(test::EngineErrorText([] { CheckCompressionUnit(4, 4096); }), "(no error)");
}

}  // namespace
}  // namespace salvoran
