// The records a scan reaches through attribute lists: each read once, and no more read in a scan
// than its budget, however many lists name them.
#include <gtest/gtest.h>

#include <numeric>

#include "engine/FileRecord.h"
#include "engine/ListedRecords.h"
#include "tests/support/CraftedVolume.h"

namespace salvoran::test {
namespace {

constexpr uint64_t KeptIndex = 7;

int TotalReads(const MemoryRecords& source) {
  return std::accumulate(source.Reads.begin(), source.Reads.end(), 0,
                         [](int sum, const auto& reads) { return sum + reads.second; });
}

TEST(ListedRecordsTest, ReadsARecordOnceAndNoMoreRecordsThanItsBudget) {
  MemoryRecords source;
  source.Records[KeptIndex] = BuildRecord(RecordSpec{});
  constexpr uint64_t MftRecords = 100;  // below the least budget, which then holds
  ListedRecords listed(source, MftRecords);
  std::vector<std::byte> record;

  for (int list = 0; list < 3; ++list) EXPECT_TRUE(listed.FetchRecord(KeptIndex, record));
  EXPECT_EQ(source.Reads[KeptIndex], 1);
  EXPECT_EQ(record, [] {
    Bytes fixed = BuildRecord(RecordSpec{});
    ApplyFixups(fixed);
    return fixed;
  }());

  // Records that cannot be read cost a read each, once, until the budget is spent.
  for (uint64_t index = 100; index < 100 + 2 * ListedRecords::MinFetchBudget; ++index) {
    EXPECT_FALSE(listed.FetchRecord(index, record));
  }
  EXPECT_EQ(TotalReads(source), static_cast<int>(ListedRecords::MinFetchBudget));
  EXPECT_TRUE(listed.FetchRecord(KeptIndex, record)) << "what it keeps still comes without a read";
}

}  // namespace
}  // namespace salvoran::test
