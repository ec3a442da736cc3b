#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "engine/EngineError.h"
#include "engine/ParallelRecordDecoder.h"

namespace salvoran {
namespace {

constexpr int32_t SliceRecords = 16;
constexpr int32_t StretchRecords = 256;
constexpr int32_t RecordCount = 1024;

// Says every third record is a file and every tenth unreadable, after a pause that differs from
// slice to slice, so that slices finish out of order; fails at failAt.
class EveryThirdRecord : public SliceDecoder {
 public:
  EveryThirdRecord(int32_t failAt, std::set<std::thread::id>& threads, std::mutex& mutex) : failAt_(failAt) {
    const std::lock_guard lock(mutex);
    threads.insert(std::this_thread::get_id());
  }

  int32_t Decode(int32_t first, int32_t count, std::vector<FoundFile>& files) override {
    std::this_thread::sleep_for(std::chrono::microseconds(first * 37 % 500));
    int32_t unreadable = 0;
    for (int32_t index = first; index < first + count; ++index) {
      if (index == failAt_) throw EngineError("Read failed!");
      if (index % 10 == 0) ++unreadable;
      if (index % 3 != 0) continue;
      FoundFile file;
      file.RecordIndex = index;
      files.push_back(std::move(file));
    }
    return unreadable;
  }

 private:
  int32_t failAt_;
};

struct Outcome {
  std::vector<int32_t> Files;
  int32_t Unreadable = 0;
  bool Failed = false;
  size_t Threads = 0;
};

// Takes the files record by record, as the scan does, a stretch at a time.
Outcome DecodeAll(int32_t failAt) {
  std::set<std::thread::id> threads;
  std::mutex mutex;
  Outcome outcome;
  {
    ParallelRecordDecoder decoder([&] { return std::make_unique<EveryThirdRecord>(failAt, threads, mutex); },
                                  SliceRecords);
    try {
      for (int32_t first = 0; first < RecordCount; first += StretchRecords) {
        outcome.Unreadable += decoder.TakeUnreadable();
        decoder.Release(first, StretchRecords);
        for (int32_t index = first; index < first + StretchRecords; ++index) {
          // A file handed over at another record than its own shows as -1.
          if (const FoundFile* file = decoder.FileAt(index)) outcome.Files.push_back(file->RecordIndex == index ? index : -1);
        }
      }
      outcome.Unreadable += decoder.TakeUnreadable();
    } catch (const EngineError&) {
      outcome.Failed = true;
    }
  }
  outcome.Threads = threads.size();
  return outcome;
}

TEST(ParallelRecordDecoderTest, HandsTheFilesOverInRecordOrderWhicheverThreadDecodedThem) {
  const Outcome outcome = DecodeAll(-1);

  std::vector<int32_t> expected;
  for (int32_t index = 0; index < RecordCount; index += 3) expected.push_back(index);
  EXPECT_EQ(outcome.Files, expected);
  EXPECT_EQ(outcome.Unreadable, RecordCount / 10 + 1);
  EXPECT_FALSE(outcome.Failed);
  if (std::thread::hardware_concurrency() > 1) {
    EXPECT_GT(outcome.Threads, 1u);
  }
}

TEST(ParallelRecordDecoderTest, AFailureEndsTheDecodingAfterTheFilesBeforeIt) {
  const Outcome outcome = DecodeAll(500);

  EXPECT_TRUE(outcome.Failed);
  std::vector<int32_t> expected;
  for (int32_t index = 0; index < 500; index += 3) expected.push_back(index);
  EXPECT_EQ(outcome.Files, expected);
}

}  // namespace
}  // namespace salvoran
