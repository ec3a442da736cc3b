#pragma once

#include <cstdint>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "engine/FileAttributes.h"

namespace salvoran {

// The records a scan reaches through attribute lists, kept for the rest of the scan: free records
// can carry lists that name the same records again and again, and each would read them anew.
// What the cache lacks is fetched, up to a budget for the whole scan of as many records as the
// MFT holds (at least MinFetchBudget): however the lists are made, they cost at most one more
// pass over the MFT. Past the budget, a record the cache lacks counts as unreadable.
class ListedRecords : public RecordFetcher {
 public:
  ListedRecords(RecordFetcher& source, uint64_t mftRecords);

  bool FetchRecord(uint64_t index, std::vector<std::byte>& record) override;
  ContentRead ReadNonResident(ByteView attribute, uint64_t maxBytes, std::vector<std::byte>& content) override {
    return source_.ReadNonResident(attribute, maxBytes, content);
  }

  // More than one attribute list can name (256 KiB of entries of 26 bytes at least), so a
  // small MFT never cuts one file short.
  static constexpr uint64_t MinFetchBudget = 16384;
  // The records kept; past it the cache starts again.
  static constexpr uint64_t CacheBytes = 16u << 20;

 private:
  struct Kept {
    bool Read = false;
    std::vector<std::byte> Bytes;
  };

  RecordFetcher& source_;
  std::mutex mutex_;  // a scan's threads share one
  uint64_t fetchesLeft_;
  uint64_t keptBytes_ = 0;
  std::unordered_map<uint64_t, Kept> kept_;
};

}  // namespace salvoran
