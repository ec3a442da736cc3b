#include "engine/VolumeRecordFetcher.h"

#include <algorithm>

#include "engine/AttributeHeader.h"
#include "engine/EngineError.h"
#include "engine/FileRecord.h"
#include "engine/RunList.h"

namespace salvoran {

bool ReadMftBytes(VolumeSource& volume, const MftMap& map, uint64_t mftByte, std::span<std::byte> buffer) {
  uint64_t done = 0;
  map.ForEachPiece(mftByte, buffer.size(), [&](uint64_t volumeByte, uint64_t length, uint64_t pieceMftByte) {
    const std::span<std::byte> piece = buffer.subspan(static_cast<size_t>(pieceMftByte - mftByte), length);
    if (volume.ReadAt(volumeByte, piece).BytesRead == length) done += length;
  });
  return done == buffer.size();
}

bool VolumeRecordFetcher::FetchRecord(uint64_t index, std::vector<std::byte>& record) {
  const uint64_t recordSize = geometry_.FileRecordSize;
  if (index > UINT64_MAX / recordSize) return false;
  record.assign(recordSize, std::byte{0});
  if (!ReadMftBytes(volume_, geometry_.Mft, index * recordSize, record)) return false;
  try {
    ApplyFixups(record);
  } catch (const EngineError&) {
    return false;
  }
  return true;
}

RecordFetcher::ContentRead VolumeRecordFetcher::ReadNonResident(ByteView attribute, uint64_t maxBytes,
                                                                std::vector<std::byte>& content) {
  const uint64_t size = ReadNonResidentHeader(attribute).DataSize;
  if (size > maxBytes) return ContentRead::TooLarge;
  std::vector<DataRun> runs;
  try {
    runs = DecodeRunList(RunListBytes(attribute), geometry_.TotalClusters);
  } catch (const EngineError&) {
    return ContentRead::Unreadable;
  }
  content.assign(static_cast<size_t>(size), std::byte{0});
  uint64_t position = 0;
  for (const DataRun& run : runs) {
    if (position == size) break;
    const uint64_t runBytes = std::min(size - position, run.ClusterCount * geometry_.BytesPerCluster);
    const std::span<std::byte> target = std::span(content).subspan(static_cast<size_t>(position), runBytes);
    if (!run.Sparse && volume_.ReadAt(run.StartCluster * geometry_.BytesPerCluster, target).BytesRead < runBytes) {
      return ContentRead::Unreadable;
    }
    position += runBytes;
  }
  return position == size ? ContentRead::Read : ContentRead::Unreadable;
}

}  // namespace salvoran
