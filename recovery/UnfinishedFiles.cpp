#include "recovery/UnfinishedFiles.h"

#include <unistd.h>

#include <array>
#include <atomic>

namespace salvoran {
namespace {

// One restore writes one file at a time; a few places spare.
constexpr size_t ListSlots = 4;
std::array<std::atomic<const char*>, ListSlots> unfinished{};
static_assert(std::atomic<const char*>::is_always_lock_free);

}  // namespace

UnfinishedFile::UnfinishedFile(std::string path) : path_(std::move(path)) {
  for (size_t slot = 0; slot < ListSlots; ++slot) {
    const char* free = nullptr;
    if (unfinished[slot].compare_exchange_strong(free, path_.c_str())) {
      slot_ = static_cast<int>(slot);
      return;
    }
  }
}

UnfinishedFile::~UnfinishedFile() {
  // Off the list before the path's buffer goes.
  if (slot_ >= 0) unfinished[static_cast<size_t>(slot_)].store(nullptr);
}

void RemoveUnfinishedFiles() noexcept {
  for (std::atomic<const char*>& slot : unfinished) {
    if (const char* path = slot.load()) ::unlink(path);
  }
}

}  // namespace salvoran
