#include "recovery/UnfinishedFiles.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <atomic>

namespace salvoran {
namespace {

// One restore writes one file at a time; a few places spare.
constexpr size_t ListSlots = 4;
std::array<std::atomic<const UnfinishedFile::Entry*>, ListSlots> unfinished{};
static_assert(std::atomic<const UnfinishedFile::Entry*>::is_always_lock_free);

}  // namespace

UnfinishedFile::UnfinishedFile(int folderDescriptor, std::string name) : entry_{folderDescriptor, std::move(name)} {
  for (size_t slot = 0; slot < ListSlots; ++slot) {
    const Entry* free = nullptr;
    if (unfinished[slot].compare_exchange_strong(free, &entry_)) {
      slot_ = static_cast<int>(slot);
      return;
    }
  }
}

UnfinishedFile::~UnfinishedFile() {
  // Off the list before the entry goes.
  if (slot_ >= 0) unfinished[static_cast<size_t>(slot_)].store(nullptr);
}

void RemoveUnfinishedFiles() noexcept {
  for (std::atomic<const UnfinishedFile::Entry*>& slot : unfinished) {
    if (const UnfinishedFile::Entry* entry = slot.load()) ::unlinkat(entry->Folder, entry->Name.c_str(), 0);
  }
}

}  // namespace salvoran
