#include "recovery/ContentRecovery.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "engine/Attribute.h"
#include "engine/AttributeValues.h"
#include "engine/EngineError.h"
#include "engine/FileRecord.h"
#include "engine/RunList.h"
#include "support/Messages.h"

namespace salvoran {
namespace {

constexpr uint64_t CopyBufferBytes = 16u << 20;

// The record at a volume offset. A record inside the MFT is read through its runs, so one that
// straddles two runs comes out whole; bytes that cannot be read stay zero.
std::vector<std::byte> ReadRecordAt(VolumeSource& volume, const VolumeGeometry& geometry, int64_t recordOffset) {
  std::vector<std::byte> record(geometry.FileRecordSize);
  const uint64_t offset = static_cast<uint64_t>(recordOffset);
  const std::optional<uint64_t> mftByte = recordOffset >= 0 ? geometry.Mft.MftByteAt(offset) : std::nullopt;
  if (!mftByte) {
    if (recordOffset >= 0) volume.ReadAt(offset, record);
    return record;
  }
  geometry.Mft.ForEachPiece(*mftByte, record.size(), [&](uint64_t volumeByte, uint64_t length, uint64_t pieceMftByte) {
    volume.ReadAt(volumeByte, std::span(record).subspan(pieceMftByte - *mftByte, length));
  });
  return record;
}

void CopyRuns(VolumeSource& volume, const VolumeGeometry& geometry, const std::vector<DataRun>& runs,
              uint64_t dataSize, ContentSink& output) {
  // Sized for the longest run to copy: a data size that promises more than the runs hold
  // costs no memory.
  uint64_t longestRun = 0;
  for (const DataRun& run : runs) {
    if (!run.Sparse) longestRun = std::max(longestRun, run.ClusterCount * geometry.BytesPerCluster);
  }
  std::vector<std::byte> buffer;
  uint64_t remaining = dataSize;
  for (const DataRun& run : runs) {
    if (remaining == 0) break;
    // Saturating: a hole longer than any file must not wrap around to a short one.
    const uint64_t runBytes = run.ClusterCount > remaining / geometry.BytesPerCluster
                                  ? remaining
                                  : run.ClusterCount * geometry.BytesPerCluster;
    remaining -= runBytes;
    if (run.Sparse) {
      output.Skip(runBytes);
      continue;
    }
    if (buffer.empty()) buffer.resize(static_cast<size_t>(std::min({CopyBufferBytes, dataSize, longestRun})));
    uint64_t position = run.StartCluster * geometry.BytesPerCluster;
    for (uint64_t left = runBytes; left > 0;) {
      const size_t chunk = static_cast<size_t>(std::min<uint64_t>(left, buffer.size()));
      const ReadOutcome outcome = volume.ReadAt(position, std::span(buffer).first(chunk));
      if (outcome.BytesRead < chunk) {
        throw EngineError(messages::RunReadFailed, "short read at volume byte " + std::to_string(position + outcome.BytesRead));
      }
      output.Write(std::span(buffer).first(chunk));
      position += chunk;
      left -= chunk;
    }
  }
}

// Passes content on to another sink and reports how much went through.
class ProgressSink : public ContentSink {
 public:
  ProgressSink(ContentSink& output, const ContentProgress& progress) : output_(output), progress_(progress) {}
  void Write(std::span<const std::byte> bytes) override {
    output_.Write(bytes);
    progress_(bytes.size());
  }
  void Skip(uint64_t count) override {
    output_.Skip(count);
    progress_(count);
  }
  void Commit(uint64_t length) override { output_.Commit(length); }

 private:
  ContentSink& output_;
  const ContentProgress& progress_;
};

}  // namespace

void RecoverFileContent(VolumeSource& volume, const VolumeGeometry& geometry, int64_t recordOffset,
                        const std::function<ContentSink&()>& openSink) {
  std::vector<std::byte> record = ReadRecordAt(volume, geometry, recordOffset);
  ApplyFixups(record, geometry.BytesPerSector);
  if (RecordFlags(record) != 0) {
    throw EngineError(messages::RecordTaken);
  }
  const ByteView data = FindAttribute(record, DataType, false);
  if (data.empty()) throw EngineError(messages::NoDataAttribute);

  if (!IsNonResident(data)) {
    const ByteView content = ResidentContent(data);
    ContentSink& output = openSink();
    output.Write(content);
    output.Commit(content.size());
    return;
  }
  const uint64_t dataSize = ReadDataSize(data);
  // Decoding first: a hostile list fails before any file is created or cluster is read.
  const std::vector<DataRun> runs = DecodeRunList(RunListBytes(data), geometry.TotalClusters);
  ContentSink& output = openSink();
  CopyRuns(volume, geometry, runs, dataSize, output);
  output.Commit(dataSize);
}

void RecoverFileContent(VolumeSource& volume, const VolumeGeometry& geometry, int64_t recordOffset,
                        const std::filesystem::path& target, OutputFile::ExistingTarget existing,
                        const ContentProgress& progress) {
  std::optional<OutputFile> output;
  std::optional<ProgressSink> reported;
  RecoverFileContent(volume, geometry, recordOffset, [&]() -> ContentSink& {
    ContentSink& file = output.emplace(target, existing);
    if (!progress) return file;
    return reported.emplace(file, progress);
  });
}

}  // namespace salvoran
