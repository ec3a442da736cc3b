#include "engine/OriginalFolders.h"

#include <algorithm>

#include "engine/Attribute.h"
#include "engine/AttributeValues.h"
#include "engine/FileNameText.h"
#include "engine/FileRecord.h"

namespace salvoran {
namespace {

constexpr size_t InitialTableSize = 1024;
constexpr uint64_t TableSlotMask = 0xFFFF'FFFFu;

uint64_t HashRecord(uint32_t record) { return (uint64_t{record} * 0x9E37'79B9'7F4A'7C15u) >> 17; }

}  // namespace

bool OriginalFolders::Accepts(const Folder& folder, uint16_t referenceSequence) const {
  if (folder.Kind == RecordKind::Unusable || folder.State == Chain::Rejected) return false;
  return folder.Sequence == referenceSequence ||
         (folder.Kind == RecordKind::FreeDirectory && folder.Sequence == static_cast<uint16_t>(referenceSequence + 1));
}

uint32_t OriginalFolders::Lookup(uint32_t record) {
  if (folders_.size() * 2 >= table_.size()) {
    // Grows, keeping the table at most half full.
    std::vector<uint64_t> old = std::move(table_);
    table_.assign(std::max(InitialTableSize, old.size() * 2), 0);
    for (const Folder& folder : folders_) {
      for (size_t place = HashRecord(folder.Record) & (table_.size() - 1);; place = (place + 1) & (table_.size() - 1)) {
        if (table_[place] == 0) {
          table_[place] = (uint64_t{folder.Record} + 1) << 32 | static_cast<uint64_t>(&folder - folders_.data());
          break;
        }
      }
    }
  }
  const uint64_t key = (uint64_t{record} + 1) << 32;
  size_t place = HashRecord(record) & (table_.size() - 1);
  for (; table_[place] != 0; place = (place + 1) & (table_.size() - 1)) {
    if ((table_[place] & ~TableSlotMask) == key) return static_cast<uint32_t>(table_[place] & TableSlotMask);
  }
  const uint32_t slot = static_cast<uint32_t>(folders_.size());
  folders_.push_back(Load(record));
  table_[place] = key | slot;
  return slot;
}

OriginalFolders::Folder OriginalFolders::Load(uint32_t record) {
  Folder folder;
  folder.Record = record;
  if (!fetcher_.FetchRecord(record, record_)) return folder;
  const uint16_t flags = RecordFlags(record_);
  if ((flags & RecordIsDirectory) == 0 || BaseRecordIndex(record_) != 0) return folder;
  const bool inUse = (flags & RecordInUse) != 0;
  GatherFileAttributes(record_, record, fetcher_, attributes_, inUse ? FileState::Live : FileState::Deleted);
  // A folder known only by its DOS name still has a true name.
  const ByteView name = attributes_.FileName.empty() ? FindAttribute(record_, FileNameType, false)
                                                     : attributes_.FileName;
  std::string text = ToUtf8(ReadFileName(name));
  if (text.empty()) return folder;
  // No NTFS name holds a separator; a damaged one must not add a level.
  std::replace(text.begin(), text.end(), '/', '_');

  const uint64_t parent = ReadParentReference(name);
  if (RecordIndexOfReference(parent) < NoFolder) folder.ParentRecord = static_cast<uint32_t>(RecordIndexOfReference(parent));
  folder.ParentSequence = SequenceOfReference(parent);
  folder.Sequence = RecordSequence(record_);
  folder.Kind = inUse ? RecordKind::LiveDirectory : RecordKind::FreeDirectory;
  folder.NameOffset = static_cast<uint32_t>(names_.size());
  folder.NameBytes = static_cast<uint16_t>(text.size());  // 255 UTF-16 units at most: 765 bytes
  names_ += text;
  return folder;
}

// Works up from slot until every folder on the way knows its chain, then fills them in on the
// way down; iterative, so a hostile chain cannot exhaust the stack. The way up ends where the
// names on it pass MaxFolderTextBytes, which bounds the folders one call loads.
void OriginalFolders::Resolve(uint32_t slot) {
  stack_.assign(1, slot);
  size_t climbedBytes = folders_[slot].NameBytes + size_t{1};  // the names on the stack, each with a '/'
  const auto pop = [&] {
    climbedBytes -= folders_[stack_.back()].NameBytes + size_t{1};
    stack_.pop_back();
  };
  while (!stack_.empty()) {
    const uint32_t current = stack_.back();
    if (folders_[current].State != Chain::Unresolved && folders_[current].State != Chain::Resolving) {
      pop();
      continue;
    }
    if (folders_[current].Record == RootFolderRecord) {
      folders_[current].State = Chain::Whole;
      folders_[current].TextBytes = 1;  // "/"
      pop();
      continue;
    }
    folders_[current].State = Chain::Resolving;
    const uint32_t parentRecord = folders_[current].ParentRecord;
    const uint32_t parent = parentRecord == NoFolder ? NoFolder : Lookup(parentRecord);
    Folder& folder = folders_[current];
    if (parent != NoFolder && Accepts(folders_[parent], folder.ParentSequence)) {
      const Folder& above = folders_[parent];
      const size_t climbedWithParent = climbedBytes + above.NameBytes + 1;
      if (above.State == Chain::Unresolved && climbedWithParent <= MaxFolderTextBytes) {
        stack_.push_back(parent);
        climbedBytes = climbedWithParent;
        continue;
      }
      if (above.State == Chain::Resolving) {
        // A loop: no folder on it can be trusted, as at least one of its references is false.
        const auto start = static_cast<size_t>(std::find(stack_.begin(), stack_.end(), parent) - stack_.begin());
        for (size_t member = start; member < stack_.size(); ++member) folders_[stack_[member]].State = Chain::Rejected;
        while (stack_.size() > start) pop();
        continue;
      }
      const size_t separator = above.Record == RootFolderRecord ? 0 : 1;
      const size_t joined = above.TextBytes + separator + folder.NameBytes;
      if (above.State != Chain::Unresolved && joined <= MaxFolderTextBytes) {
        folder.State = above.State;
        folder.TextBytes = static_cast<uint32_t>(joined);
        folder.Parent = parent;
        pop();
        continue;
      }
    }
    folder.State = Chain::Broken;
    folder.TextBytes = folder.NameBytes;
    pop();
  }
}

std::string OriginalFolders::Text(uint32_t slot) const {
  std::string text(folders_[slot].TextBytes, '/');
  size_t end = text.size();
  for (uint32_t at = slot; folders_[at].Record != RootFolderRecord;) {
    const Folder& folder = folders_[at];
    end -= folder.NameBytes;
    names_.copy(text.data() + end, folder.NameBytes, folder.NameOffset);
    if (folder.Parent == NoFolder) break;
    if (folders_[folder.Parent].Record != RootFolderRecord) --end;  // the '/' left in place
    at = folder.Parent;
  }
  return text;
}

size_t OriginalFolders::CacheBytes() const {
  return folders_.size() * sizeof(Folder) + names_.size() + table_.size() * sizeof(uint64_t);
}

void OriginalFolders::Clear() {
  folders_.clear();
  names_.clear();
  table_.clear();
  haveLast_ = false;
}

std::string OriginalFolders::FolderOf(uint64_t parentReference) {
  // Files of one folder tend to lie together in the MFT.
  if (haveLast_ && parentReference == lastReference_) return lastFolder_;
  if (CacheBytes() > MaxCacheBytes) Clear();
  const uint64_t record = RecordIndexOfReference(parentReference);
  std::string folder;
  if (record < NoFolder) {
    const uint32_t slot = Lookup(static_cast<uint32_t>(record));
    if (Accepts(folders_[slot], SequenceOfReference(parentReference))) {
      Resolve(slot);
      if (folders_[slot].State != Chain::Rejected) folder = Text(slot);
    }
  }
  lastReference_ = parentReference;
  lastFolder_ = folder;
  haveLast_ = true;
  return folder;
}

}  // namespace salvoran
