// The thread that writes scan's streamed outputs beside the scan.
#include "cli/PipelinedPrinter.h"

#include <gtest/gtest.h>

namespace salvoran::cli {
namespace {

FoundFile FileOfRecord(int32_t record) {
  FoundFile file;
  file.RecordIndex = record;
  return file;
}

class RecordingPrinter : public ScanPrinter {
 public:
  explicit RecordingPrinter(std::vector<int32_t>& records) : records_(records) {}
  void Add(FoundFile&& file) override { records_.push_back(file.RecordIndex); }
  void Finish(const ScanSummary&) override { records_.push_back(-1); }

 private:
  std::vector<int32_t>& records_;
};

// More files than fit in the batches that may wait, and a last batch that is not full.
TEST(PipelinedPrinterTest, HandsOnEveryFileInOrderBeforeTheEnd) {
  std::vector<int32_t> records;
  PipelinedPrinter printer(std::make_unique<RecordingPrinter>(records));
  constexpr int32_t Files = 10'000;
  for (int32_t record = 0; record < Files; ++record) printer.Add(FileOfRecord(record));
  printer.Finish(ScanSummary{});
  ASSERT_EQ(records.size(), static_cast<size_t>(Files) + 1);
  for (int32_t record = 0; record < Files; ++record) EXPECT_EQ(records[static_cast<size_t>(record)], record);
  EXPECT_EQ(records.back(), -1);
}

// A scan that fails half-way never finishes the output: the thread must still end.
TEST(PipelinedPrinterTest, EndsItsThreadWithoutFinish) {
  std::vector<int32_t> records;
  {
    PipelinedPrinter printer(std::make_unique<RecordingPrinter>(records));
    for (int32_t record = 0; record < 1000; ++record) printer.Add(FileOfRecord(record));
  }
  EXPECT_EQ(records.size(), 1000u);
}

}  // namespace
}  // namespace salvoran::cli
