// The spool that holds the text listing's lines until a scan ends, in memory and, past its
// share of memory, in a temporary file.
#include "cli/ByteSpool.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace salvoran::cli {
namespace {

class ByteSpoolTest : public testing::TestWithParam<size_t> {};

TEST_P(ByteSpoolTest, GivesBackWhatWasAppendedAcrossBlocks) {
  ByteSpool spool(GetParam());
  std::vector<std::string> pieces;
  // Pieces of every length up to beyond one block, so some straddle two blocks and one spans three.
  for (size_t length : {0, 1, 47, 4096, 100000, 300000, 600000, 13}) {
    std::string piece(length, '\0');
    for (size_t i = 0; i < length; ++i) piece[i] = static_cast<char>('a' + (i * 7 + pieces.size()) % 26);
    spool.Append(piece.data(), piece.size());
    pieces.push_back(piece);
  }
  ByteSpool::Reader reader(spool);
  for (const std::string& piece : pieces) {
    std::string read(piece.size(), '\0');
    ASSERT_TRUE(reader.Read(read.data(), read.size()));
    EXPECT_EQ(read, piece);
  }
  char past = 0;
  EXPECT_FALSE(reader.Read(&past, 1));
}

// Room for everything; room for one block, the rest read back from the file (and from the part
// of a block still waiting to be written there).
INSTANTIATE_TEST_SUITE_P(MemoryShares, ByteSpoolTest, testing::Values(ByteSpool::DefaultMemoryBytes, size_t{1}),
                         [](const auto& info) { return info.index == 0 ? "InMemory" : "MostlyInAFile"; });

}  // namespace
}  // namespace salvoran::cli
