#include "engine/FoundRecord.h"

#include <bit>
#include <limits>

#include "engine/Attribute.h"
#include "engine/AttributeHeader.h"
#include "engine/BootSector.h"
#include "engine/EngineError.h"
#include "engine/FileRecord.h"

namespace salvoran {
namespace {

// In use, directory, and the two flags of records in $Extend's indexes.
constexpr uint16_t KnownRecordFlags = 0x000F;
constexpr uint32_t MaxFoundRecordNumber = std::numeric_limits<int32_t>::max();
constexpr uint32_t MinClusterSize = 512;
constexpr uint64_t AnyClusterCount = std::numeric_limits<int64_t>::max() / MaxBytesPerCluster;

// The whole of a non-resident attribute's clusters lies in this piece: it starts at VCN 0 and
// the record has no list that could hold more of it.
bool TellsClusterSize(ByteView attribute) {
  return IsNonResident(attribute) && ReadNonResidentHeader(attribute).FirstVcn == 0;
}

uint32_t ClusterSizeOf(ByteView attribute) {
  const NonResidentHeader header = ReadNonResidentHeader(attribute);
  if (header.LastVcn == std::numeric_limits<uint64_t>::max()) return 0;
  const uint64_t clusters = header.LastVcn + 1;
  if (header.AllocatedSize % clusters != 0) return 0;
  const uint64_t size = header.AllocatedSize / clusters;
  return size >= MinClusterSize && size <= MaxBytesPerCluster && std::has_single_bit(size) ? static_cast<uint32_t>(size)
                                                                                            : 0;
}

}  // namespace

std::optional<FoundRecord> CheckFoundRecord(MutableByteView record, uint64_t sourceOffset) {
  const std::optional<uint32_t> size = ClaimedRecordSize(record);
  if (!size || *size != record.size()) return std::nullopt;
  try {
    ApplyFixups(record);
  } catch (const EngineError&) {
    return std::nullopt;
  }
  const std::optional<uint32_t> number = RecordNumberField(record);
  const uint16_t flags = RecordFlags(record);
  if (!number || *number > MaxFoundRecordNumber || (flags & ~KnownRecordFlags) != 0) return std::nullopt;
  FoundRecord found;
  found.SourceOffset = sourceOffset;
  found.Number = *number;
  found.BaseNumber = static_cast<uint32_t>(std::min<uint64_t>(BaseRecordIndex(record), MaxFoundRecordNumber));
  found.Sequence = RecordSequence(record);
  found.Flags = flags;
  found.RecordSizeShift = static_cast<uint8_t>(std::countr_zero(*size));
  const uint32_t clusterSize = ClusterSizeToldBy(record);
  found.ClusterSizeShift = clusterSize == 0 ? 0 : static_cast<uint8_t>(std::countr_zero(clusterSize));
  // A name and data, or a list that can hold them elsewhere: a deleted folder has neither data nor
  // the directory flag.
  const bool listed = !FindAttribute(record, AttributeListType, false).empty();
  found.FileCandidate = BaseRecordIndex(record) == 0 && (flags & RecordIsDirectory) == 0 &&
                        (listed || (!FindAttribute(record, FileNameType, false).empty() &&
                                    !FindAttribute(record, DataType, false).empty()));
  return found;
}

uint32_t ClusterSizeToldBy(ByteView record) {
  if (BaseRecordIndex(record) != 0 || !FindAttribute(record, AttributeListType, false).empty()) return 0;
  AttributeWalk walk(record);
  for (ByteView attribute = walk.Next(); !attribute.empty(); attribute = walk.Next()) {
    if (TellsClusterSize(attribute)) return ClusterSizeOf(attribute);
  }
  return 0;
}

std::optional<MftAnchor> AnchorOf(ByteView record, uint64_t sourceOffset) {
  if (RecordNumberField(record) != 0 || BaseRecordIndex(record) != 0 ||
      !FindAttribute(record, AttributeListType, false).empty()) {
    return std::nullopt;
  }
  AttributeWalk walk(record);
  for (ByteView attribute = walk.Next(); !attribute.empty(); attribute = walk.Next()) {
    if (AttributeTypeOf(attribute) != DataType || HasAttributeName(attribute) || !TellsClusterSize(attribute)) continue;
    MftAnchor anchor;
    anchor.SourceOffset = sourceOffset;
    anchor.RecordSize = static_cast<uint32_t>(record.size());
    anchor.ClusterSize = ClusterSizeOf(attribute);
    if (anchor.ClusterSize == 0) return std::nullopt;
    try {
      anchor.Runs = DecodeRunList(RunListBytes(attribute), AnyClusterCount);
    } catch (const EngineError&) {
      return std::nullopt;
    }
    return anchor;
  }
  return std::nullopt;
}

}  // namespace salvoran
