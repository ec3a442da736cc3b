#include "engine/ListedRecords.h"

#include <algorithm>

namespace salvoran {

ListedRecords::ListedRecords(RecordFetcher& source, uint64_t mftRecords)
    : source_(source), fetchesLeft_(std::max(mftRecords, MinFetchBudget)) {}

bool ListedRecords::FetchRecord(uint64_t index, std::vector<std::byte>& record) {
  const std::lock_guard lock(mutex_);
  if (const auto kept = kept_.find(index); kept != kept_.end()) {
    record = kept->second.Bytes;
    return kept->second.Read;
  }
  if (fetchesLeft_ == 0) return false;
  --fetchesLeft_;
  const bool read = source_.FetchRecord(index, record);
  const uint64_t bytes = read ? record.size() : 0;
  if (keptBytes_ + bytes > CacheBytes) {
    kept_.clear();
    keptBytes_ = 0;
  }
  keptBytes_ += bytes;
  kept_.emplace(index, read ? Kept{true, record} : Kept{});
  return read;
}

}  // namespace salvoran
