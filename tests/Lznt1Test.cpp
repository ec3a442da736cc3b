#include "engine/Lznt1.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/EngineError.h"
#include "tests/support/CraftedVolume.h"

namespace salvoran {
namespace {

using test::Bytes;
using test::Pattern;
using test::ToBytes;

constexpr size_t UnitSize = 4 * Lznt1ChunkSize;
constexpr std::byte Stale{0xEE};
constexpr uint16_t CompressedChunk = 0xB000;
constexpr uint16_t PlainChunk = 0x3000;

void Append(Bytes& bytes, const Bytes& more) { bytes.insert(bytes.end(), more.begin(), more.end()); }

void AppendHeader(Bytes& bytes, uint16_t kind, size_t dataSize) {
  bytes.push_back(static_cast<std::byte>(dataSize - 1));
  bytes.push_back(static_cast<std::byte>(kind >> 8 | (dataSize - 1) >> 8));
}

// Writes a compressed chunk token by token: a flag byte before every eight tokens.
class ChunkWriter {
 public:
  ChunkWriter& Literals(const Bytes& bytes) {
    for (std::byte byte : bytes) Token(false, {byte});
    return *this;
  }
  // The split between offset and length is the test's to give: the decoder must agree.
  ChunkWriter& Reference(size_t offset, size_t length, unsigned lengthBits) {
    const size_t value = (offset - 1) << lengthBits | (length - 3);
    return Token(true, {static_cast<std::byte>(value), static_cast<std::byte>(value >> 8)});
  }
  ChunkWriter& RawByte(std::byte byte) {
    data_.push_back(byte);
    return *this;
  }
  Bytes Chunk() const {
    if (data_.size() > Lznt1ChunkSize) throw std::length_error("a chunk holds at most 4096 bytes");
    Bytes chunk;
    AppendHeader(chunk, CompressedChunk, data_.size());
    Append(chunk, data_);
    return chunk;
  }

 private:
  ChunkWriter& Token(bool reference, const Bytes& bytes) {
    if (tokens_ % 8 == 0) {
      flagByte_ = data_.size();
      data_.push_back(std::byte{0});
    }
    if (reference) data_[flagByte_] |= std::byte{1} << (tokens_ % 8);
    ++tokens_;
    Append(data_, bytes);
    return *this;
  }

  Bytes data_;
  size_t tokens_ = 0;
  size_t flagByte_ = 0;
};

Bytes PlainChunkOf(const Bytes& content) {
  Bytes chunk;
  AppendHeader(chunk, PlainChunk, content.size());
  Append(chunk, content);
  return chunk;
}

Bytes Slice(const Bytes& bytes, size_t offset, size_t length) {
  return Bytes(bytes.begin() + offset, bytes.begin() + offset + length);
}

struct Decoded {
  Bytes Unit;
  size_t Produced;
};

Decoded Decode(const Bytes& stored, size_t unitSize = UnitSize) {
  Decoded decoded{Bytes(unitSize, Stale), 0};
  decoded.Produced = DecompressLznt1Unit(stored, decoded.Unit);
  return decoded;
}

// The unit holds expected at its start and zeros after it.
void ExpectUnit(const Decoded& decoded, const Bytes& expected) {
  ASSERT_EQ(decoded.Produced, expected.size());
  EXPECT_EQ(Slice(decoded.Unit, 0, expected.size()), expected);
  EXPECT_EQ(Slice(decoded.Unit, expected.size(), decoded.Unit.size() - expected.size()),
            Bytes(decoded.Unit.size() - expected.size()));
}

TEST(DecompressLznt1UnitTest, ExpandsLiteralsAndPlainChunks) {
  ExpectUnit(Decode(ChunkWriter().Literals(ToBytes("eleven byte")).Chunk()), ToBytes("eleven byte"));
  const Bytes full = Pattern(Lznt1ChunkSize, 7);
  ExpectUnit(Decode(PlainChunkOf(full)), full);
}

TEST(DecompressLznt1UnitTest, OverlappingCopyRepeatsItsSource) {
  // "ab" then 10 bytes from 2 back; 9 letters then 21 from 9 back; "x" then 4095 bytes from 1
  // back fills the chunk.
  ExpectUnit(Decode(ChunkWriter().Literals(ToBytes("ab")).Reference(2, 10, 12).Chunk()), ToBytes("abababababab"));
  ExpectUnit(Decode(ChunkWriter().Literals(ToBytes("123456789")).Reference(9, 21, 12).Chunk()),
             ToBytes("123456789123456789123456789123"));
  Bytes run = ToBytes("x");
  run.resize(Lznt1ChunkSize, std::byte{'x'});
  ExpectUnit(Decode(ChunkWriter().Literals(ToBytes("x")).Reference(1, Lznt1ChunkSize - 1, 12).Chunk()), run);
}

struct Split {
  size_t Position;  // bytes of the chunk before the back-reference
  unsigned LengthBits;
};

class BackReferenceSplitTest : public ::testing::TestWithParam<Split> {};

// The farthest offset (the chunk's first byte) with the longest length that fits, so that
// both fields are fully used on each side of every widening of the offset field.
TEST_P(BackReferenceSplitTest, ReachesTheChunkStartWithTheLongestLength) {
  const auto [position, lengthBits] = GetParam();
  const Bytes literals = Pattern(position, 3);
  const size_t longest = (size_t{1} << lengthBits) + 2;
  const size_t length = std::min({longest, position, Lznt1ChunkSize - position});
  Bytes expected = literals;
  Append(expected, Slice(literals, 0, length));
  ExpectUnit(Decode(ChunkWriter().Literals(literals).Reference(position, length, lengthBits).Chunk()), expected);
}

// Literals alone reach no further than about 3600 bytes within a chunk's 4096 stored bytes.
INSTANTIATE_TEST_SUITE_P(Positions, BackReferenceSplitTest,
                         ::testing::Values(Split{16, 12}, Split{17, 11}, Split{32, 11}, Split{33, 10},
                                           Split{64, 10}, Split{65, 9}, Split{128, 9}, Split{129, 8}, Split{256, 8},
                                           Split{257, 7}, Split{512, 7}, Split{513, 6}, Split{1024, 6},
                                           Split{1025, 5}, Split{2048, 5}, Split{2049, 4}, Split{3600, 4}));

TEST(DecompressLznt1UnitTest, EachChunkFillsItsOwn4096Bytes) {
  // A full compressed chunk, a short one, a plain one, then the end marker and stale bytes.
  const Bytes plain = Pattern(Lznt1ChunkSize, 9);
  Bytes stored = ChunkWriter().Literals(ToBytes("x")).Reference(1, Lznt1ChunkSize - 1, 12).Chunk();
  Append(stored, ChunkWriter().Literals(ToBytes("short")).Chunk());
  Append(stored, PlainChunkOf(plain));
  Append(stored, Bytes(2));
  Append(stored, PlainChunkOf(ToBytes("after the end")));

  Bytes expected(Lznt1ChunkSize, std::byte{'x'});
  Append(expected, ToBytes("short"));
  expected.resize(2 * Lznt1ChunkSize);
  Append(expected, plain);
  ExpectUnit(Decode(stored), expected);
}

TEST(DecompressLznt1UnitTest, StopsAtTheEndOfAFullUnit) {
  const Bytes full = Pattern(Lznt1ChunkSize, 5);
  Bytes stored = PlainChunkOf(full);
  stored.push_back(std::byte{0xFF});  // the slack of the unit's last cluster
  ExpectUnit(Decode(stored, Lznt1ChunkSize), full);
}

struct DamagedUnit {
  const char* Description;
  Bytes Stored;
  size_t UnitSize;
  std::string Where;
};

class DamagedUnitTest : public ::testing::TestWithParam<DamagedUnit> {};

TEST_P(DamagedUnitTest, RefusesWithThePosition) {
  const DamagedUnit& damaged = GetParam();
  Bytes unit(damaged.UnitSize);
  try {
    DecompressLznt1Unit(damaged.Stored, unit);
    ADD_FAILURE() << damaged.Description << ": no error";
  } catch (const EngineError& error) {
    EXPECT_STREQ(error.what(), "The file's compressed content is damaged and cannot be decompressed.");
    EXPECT_EQ(error.Detail(), damaged.Where) << damaged.Description;
  }
}

Bytes Truncated(Bytes bytes, size_t drop) {
  bytes.resize(bytes.size() - drop);
  return bytes;
}

Bytes AfterFullChunk(const Bytes& chunk) {
  Bytes stored = PlainChunkOf(Pattern(Lznt1ChunkSize, 1));
  Append(stored, chunk);
  return stored;
}

INSTANTIATE_TEST_SUITE_P(
    Faults, DamagedUnitTest,
    ::testing::Values(
        DamagedUnit{"chunk longer than the stored bytes", Truncated(PlainChunkOf(ToBytes("abcdef")), 1), UnitSize,
                    "chunk runs past the stored bytes at compressed byte 0"},
        DamagedUnit{"lone header byte", AfterFullChunk({std::byte{0x10}}), UnitSize,
                    "chunk runs past the stored bytes at compressed byte 4098"},
        DamagedUnit{"reference as the first token", ChunkWriter().Reference(1, 3, 12).Chunk(), UnitSize,
                    "back-reference before the chunk's start at compressed byte 3"},
        DamagedUnit{"reference before the chunk's start",
                    AfterFullChunk(ChunkWriter().Literals(ToBytes("abc")).Reference(4, 3, 12).Chunk()), UnitSize,
                    "back-reference before the chunk's start at compressed byte 4104"},
        DamagedUnit{"reference cut off by the chunk's end",
                    ChunkWriter().Literals(ToBytes("abcdefgh")).RawByte(std::byte{1}).RawByte(std::byte{0}).Chunk(),
                    UnitSize, "back-reference cut off by the chunk's end at compressed byte 12"},
        DamagedUnit{"chunk expanding past 4096 bytes",
                    ChunkWriter().Literals(ToBytes("ab")).Reference(1, Lznt1ChunkSize - 1, 12).Chunk(), UnitSize,
                    "chunk expands past 4096 bytes at compressed byte 5"},
        DamagedUnit{"plain chunk longer than the unit", PlainChunkOf(Pattern(Lznt1ChunkSize, 2)), 1024,
                    "output past the unit's end at compressed byte 0"},
        DamagedUnit{"compressed chunk longer than the unit", ChunkWriter().Literals(ToBytes("abcde")).Chunk(), 4,
                    "output past the unit's end at compressed byte 7"}),
    [](const auto& info) { return std::to_string(info.index); });

}  // namespace
}  // namespace salvoran
