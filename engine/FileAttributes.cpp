#include "engine/FileAttributes.h"

#include <algorithm>
#include <map>

#include "engine/Attribute.h"
#include "engine/AttributeHeader.h"
#include "engine/AttributeList.h"
#include "engine/AttributeValues.h"
#include "engine/FileRecord.h"

namespace salvoran {
namespace {

constexpr size_t NameUnitSize = 2;

bool NameIs(std::u16string_view name, ByteView utf16le) {
  if (name.size() != utf16le.size() / NameUnitSize) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    if (name[i] != static_cast<char16_t>(ReadLE<uint16_t>(utf16le, NameUnitSize * i))) return false;
  }
  return true;
}

uint64_t FirstVcnOf(ByteView piece) { return IsNonResident(piece) ? ReadNonResidentHeader(piece).FirstVcn : 0; }

// The attribute of a record with this type and instance id, or an empty view.
ByteView FindInstance(ByteView record, uint32_t type, uint16_t id) {
  AttributeWalk walk(record);
  for (ByteView attribute = walk.Next(); !attribute.empty(); attribute = walk.Next()) {
    if (AttributeTypeOf(attribute) == type && AttributeId(attribute) == id) return attribute;
  }
  return {};
}

// The records an attribute list names, each fetched once and checked to belong to the file.
class ExtensionRecordCache {
 public:
  ExtensionRecordCache(ByteView baseRecord, uint64_t baseIndex, RecordFetcher& fetcher, FileState state,
                       FileAttributes& file)
      : baseRecord_(baseRecord), baseIndex_(baseIndex), fetcher_(fetcher), state_(state), file_(file) {}

  // The record at index, or the reason it cannot be used.
  std::pair<ByteView, AttributeLoss> Get(uint64_t index) {
    if (index == baseIndex_) return {baseRecord_, AttributeLoss::None};
    const auto known = known_.find(index);
    if (known != known_.end()) return Answer(known->second);
    if (heldBytes_ > MaxExtensionRecordBytes) return {{}, AttributeLoss::ListTooLarge};

    std::vector<std::byte> record;
    Slot slot{0, AttributeLoss::Unreadable};
    if (fetcher_.FetchRecord(index, record)) {
      // Sequence numbers are not compared: freeing a record advances its own.
      const bool inUse = (RecordFlags(record) & RecordInUse) != 0;
      const bool belongs = BaseRecordIndex(record) == baseIndex_ && inUse == (state_ == FileState::Live);
      slot = {file_.ExtensionRecords.size(), belongs ? AttributeLoss::None : AttributeLoss::Reused};
      heldBytes_ += record.size();
      file_.ExtensionRecords.push_back(std::move(record));
    }
    known_.emplace(index, slot);
    return Answer(slot);
  }

 private:
  struct Slot {
    size_t Position;
    AttributeLoss Loss;
  };
  std::pair<ByteView, AttributeLoss> Answer(const Slot& slot) const {
    if (slot.Loss != AttributeLoss::None) return {{}, slot.Loss};
    return {file_.ExtensionRecords[slot.Position], AttributeLoss::None};
  }

  ByteView baseRecord_;
  uint64_t baseIndex_;
  RecordFetcher& fetcher_;
  FileState state_;
  FileAttributes& file_;
  std::map<uint64_t, Slot> known_;
  uint64_t heldBytes_ = 0;
};

void GatherFromList(ByteView content, ByteView baseRecord, uint64_t baseIndex, RecordFetcher& fetcher,
                    FileState state, FileAttributes& file) {
  // The list is the whole story: what the base record holds counts only where the list names it.
  file.Clear();
  ExtensionRecordCache records(baseRecord, baseIndex, fetcher, state, file);
  for (const AttributeListEntry& entry : ParseAttributeList(content)) {
    if (entry.Type != FileNameType && entry.Type != DataType) continue;
    const auto [record, loss] = records.Get(entry.RecordIndex);
    if (loss == AttributeLoss::ListTooLarge) {
      file.ListLoss = loss;
      return;
    }
    const ByteView attribute = record.empty() ? ByteView{} : FindInstance(record, entry.Type, entry.AttributeId);
    if (entry.Type == FileNameType) {
      if (file.FileName.empty() && !attribute.empty() && IsLongName(attribute)) file.FileName = attribute;
      continue;
    }
    DataStream& stream = file.StreamNamed(entry.Name);
    if (attribute.empty()) {
      // A record in place that lacks the attribute has lost it like an unreadable one.
      if (stream.Loss == AttributeLoss::None) stream.Loss = record.empty() ? loss : AttributeLoss::Unreadable;
      continue;
    }
    stream.Pieces.push_back(attribute);
  }
}

}  // namespace

ByteView DataStream::First() const {
  if (Pieces.empty() || FirstVcnOf(Pieces.front()) != 0) return {};
  return Pieces.front();
}

uint64_t DataStream::Size() const {
  const ByteView first = First();
  return first.empty() ? 0 : ReadDataSize(first);
}

const DataStream* FileAttributes::Stream(std::u16string_view name) const {
  for (const DataStream& stream : Streams()) {
    if (stream.Name == name) return &stream;
  }
  return nullptr;
}

void FileAttributes::SortPieces() {
  const auto byFirstVcn = [](ByteView a, ByteView b) { return FirstVcnOf(a) < FirstVcnOf(b); };
  for (size_t i = 0; i < streamCount_; ++i) {
    std::vector<ByteView>& pieces = streams_[i].Pieces;
    if (pieces.size() > 1 && !std::is_sorted(pieces.begin(), pieces.end(), byFirstVcn)) {
      std::stable_sort(pieces.begin(), pieces.end(), byFirstVcn);
    }
  }
}

void FileAttributes::Clear() {
  StandardInformation = {};
  FileName = {};
  ListLoss = AttributeLoss::None;
  ExtensionRecords.clear();
  streamCount_ = 0;
}

DataStream& FileAttributes::StreamNamed(ByteView name) {
  for (size_t i = 0; i < streamCount_; ++i) {
    if (NameIs(streams_[i].Name, name)) return streams_[i];
  }
  if (streamCount_ == streams_.size()) streams_.emplace_back();
  DataStream& stream = streams_[streamCount_++];
  stream.Name.resize(name.size() / NameUnitSize);
  for (size_t i = 0; i < stream.Name.size(); ++i) {
    stream.Name[i] = static_cast<char16_t>(ReadLE<uint16_t>(name, NameUnitSize * i));
  }
  stream.Pieces.clear();
  stream.Loss = AttributeLoss::None;
  return stream;
}

bool FileAttributes::Encrypted() const {
  if (ReadFileAttributeBits(StandardInformation) & FileAttributeEncrypted) return true;
  const DataStream* content = Stream(u"");
  return content && (AttributeFlags(content->First()) & AttributeEncrypted) != 0;
}

void GatherFileAttributes(ByteView baseRecord, uint64_t baseIndex, RecordFetcher& fetcher, FileAttributes& file,
                          FileState state) {
  file.Clear();
  ByteView list;
  AttributeWalk walk(baseRecord);
  for (ByteView attribute = walk.Next(); !attribute.empty(); attribute = walk.Next()) {
    switch (AttributeTypeOf(attribute)) {
      case StandardInformationType:
        if (file.StandardInformation.empty()) file.StandardInformation = attribute;
        break;
      case AttributeListType:
        if (list.empty()) list = attribute;
        break;
      case FileNameType:
        if (file.FileName.empty() && IsLongName(attribute)) file.FileName = attribute;
        break;
      case DataType:
        file.StreamNamed(AttributeName(attribute)).Pieces.push_back(attribute);
        break;
      default:
        break;
    }
  }
  if (!list.empty()) {
    std::vector<std::byte> listBytes;
    ByteView content = ResidentContent(list);
    if (IsNonResident(list)) {
      switch (fetcher.ReadNonResident(list, MaxAttributeListBytes, listBytes)) {
        case RecordFetcher::ContentRead::Read: content = listBytes; break;
        case RecordFetcher::ContentRead::TooLarge: file.ListLoss = AttributeLoss::ListTooLarge; break;
        case RecordFetcher::ContentRead::Unreadable: file.ListLoss = AttributeLoss::Unreadable; break;
      }
    }
    // Without its list, what the base record holds is all there is to show.
    if (file.ListLoss == AttributeLoss::None) {
      const ByteView standardInformation = file.StandardInformation;
      GatherFromList(content, baseRecord, baseIndex, fetcher, state, file);
      file.StandardInformation = standardInformation;
    }
  }
  file.SortPieces();
}

FileAttributes GatherFileAttributes(ByteView baseRecord, uint64_t baseIndex, RecordFetcher& fetcher,
                                    FileState state) {
  FileAttributes file;
  GatherFileAttributes(baseRecord, baseIndex, fetcher, file, state);
  return file;
}

}  // namespace salvoran
