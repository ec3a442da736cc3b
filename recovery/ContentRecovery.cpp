#include "recovery/ContentRecovery.h"

#include <algorithm>
#include <optional>
#include <span>
#include <vector>

#include "engine/AttributeHeader.h"
#include "engine/AttributeValues.h"
#include "engine/DataExtents.h"
#include "engine/EngineError.h"
#include "engine/FileAttributes.h"
#include "engine/FileRecord.h"
#include "engine/VolumeRecordFetcher.h"
#include "recovery/StreamCopy.h"
#include "support/Messages.h"

namespace salvoran {
namespace {

// The record at a volume offset, and its MFT index when it lies in the MFT. A record inside
// the MFT is read through its runs, so one that straddles two runs comes out whole; bytes that
// cannot be read stay zero.
std::vector<std::byte> ReadRecordAt(VolumeSource& volume, const VolumeGeometry& geometry, int64_t recordOffset,
                                    uint64_t& index) {
  std::vector<std::byte> record(geometry.FileRecordSize);
  index = NoRecordIndex;
  if (recordOffset < 0) return record;
  const uint64_t offset = static_cast<uint64_t>(recordOffset);
  const std::optional<uint64_t> mftByte = geometry.Mft.MftByteAt(offset);
  if (!mftByte) {
    volume.ReadAt(offset, record);
    return record;
  }
  if (*mftByte % geometry.FileRecordSize == 0) index = *mftByte / geometry.FileRecordSize;
  ReadMftBytes(volume, geometry.Mft, *mftByte, record);
  return record;
}

[[noreturn]] void RefuseLoss(AttributeLoss loss) {
  switch (loss) {
    case AttributeLoss::Reused: throw EngineError(messages::ExtensionReused);
    case AttributeLoss::ListTooLarge: throw EngineError(messages::AttributeListTooLarge);
    case AttributeLoss::None:
    case AttributeLoss::Unreadable: break;
  }
  throw EngineError(messages::ExtensionUnreadable);
}

// The stream to restore, once nothing stands against restoring it.
const DataStream& ChooseStream(const FileAttributes& attributes, std::u16string_view streamName) {
  const DataStream* stream = attributes.Stream(streamName);
  if (attributes.Encrypted() || (stream && (AttributeFlags(stream->First()) & AttributeEncrypted))) {
    throw EngineError(messages::EncryptedContent);
  }
  if (attributes.ListLoss != AttributeLoss::None) RefuseLoss(attributes.ListLoss);
  if (!stream) throw EngineError(streamName.empty() ? messages::NoDataAttribute : messages::NoSuchStream);
  if (stream->Loss != AttributeLoss::None) RefuseLoss(stream->Loss);
  if (stream->Pieces.empty()) throw EngineError(messages::NoDataAttribute);
  return *stream;
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
  void KeepTimes(const StandardTimes& times) override { output_.KeepTimes(times); }
  void Commit(uint64_t length) override { output_.Commit(length); }

 private:
  ContentSink& output_;
  const ContentProgress& progress_;
};

// Runs recover(openSink) with a sink that writes target, reporting progress when asked.
template <typename Target, typename Recover>
void RecoverToFile(const Target& target, OutputFile::ExistingTarget existing, const ContentProgress& progress,
                   const Recover& recover) {
  std::optional<OutputFile> output;
  std::optional<ProgressSink> reported;
  recover([&]() -> ContentSink& {
    ContentSink& file = output.emplace(target, existing);
    if (!progress) return file;
    return reported.emplace(file, progress);
  });
}

template <typename Target>
void RecoverRecordToFile(VolumeSource& volume, const VolumeGeometry& geometry, int64_t recordOffset,
                         const Target& target, OutputFile::ExistingTarget existing, const ContentProgress& progress,
                         std::u16string_view streamName, std::vector<ByteRange>* unreadable) {
  RecoverToFile(target, existing, progress, [&](const std::function<ContentSink&()>& openSink) {
    RecoverFileContent(volume, geometry, recordOffset, openSink, streamName, AllContent, unreadable);
  });
}

// A carved file's bytes are read this many at a time.
constexpr size_t SourceRangeChunkBytes = 1u << 20;
constexpr uint32_t SectorBytes = 512;

}  // namespace

void RecoverFileContent(VolumeSource& volume, const VolumeGeometry& geometry, int64_t recordOffset,
                        const std::function<ContentSink&()>& openSink, std::u16string_view streamName,
                        uint64_t firstBytes, std::vector<ByteRange>* unreadable) {
  uint64_t index = NoRecordIndex;
  std::vector<std::byte> record = ReadRecordAt(volume, geometry, recordOffset, index);
  ApplyFixups(record);
  // A found MFT's records keep the flags they had while it was current: in use is no sign of a
  // newer owner there.
  const bool inUse = (RecordFlags(record) & RecordInUse) != 0;
  if (RecordFlags(record) != 0 && !geometry.FoundMft) {
    throw EngineError(messages::RecordTaken);
  }
  VolumeRecordFetcher fetcher(volume, geometry);
  const FileAttributes attributes =
      GatherFileAttributes(record, index, fetcher, inUse ? FileState::Live : FileState::Deleted);
  const DataStream& stream = ChooseStream(attributes, streamName);
  const StandardTimes times = ReadStandardTimes(attributes.StandardInformation);

  if (!IsNonResident(stream.Pieces.front())) {
    if (stream.Pieces.size() > 1) throw EngineError(messages::DataExtentsGap, "resident data in several pieces");
    const ByteView whole = ResidentContent(stream.Pieces.front());
    const ByteView content = whole.first(static_cast<size_t>(std::min<uint64_t>(whole.size(), firstBytes)));
    ContentSink& output = openSink();
    output.Write(content);
    output.KeepTimes(times);
    output.Commit(content.size());
    return;
  }
  // Decoding and checking first: a hostile record fails before any file is created or cluster read.
  const JoinedExtents extents = JoinDataExtents(stream.Pieces, geometry.TotalClusters);
  CheckDataSize(extents, geometry.BytesPerCluster);
  const bool compressed = (extents.Flags & AttributeCompressed) != 0;
  if (compressed) CheckCompressionUnit(extents.CompressionUnit, geometry.BytesPerCluster);
  // Past the initialized size the file reads as zeros, whatever its clusters hold.
  const uint64_t finalLength = std::min(extents.DataSize, firstBytes);
  const uint64_t contentBytes = std::min(extents.InitializedSize, finalLength);

  ContentSink& output = openSink();
  ContentReader reader(volume, geometry.BytesPerSector, contentBytes, unreadable);
  ExtentRuns runs(extents.Pieces, geometry.TotalClusters);
  if (compressed) {
    CopyCompressedUnits(reader, geometry.BytesPerCluster, runs, extents.CompressionUnit, contentBytes, output);
  } else {
    CopyPlainRuns(reader, geometry.BytesPerCluster, runs, contentBytes, output);
  }
  output.KeepTimes(times);
  output.Commit(finalLength);
}

void RecoverFileContent(VolumeSource& volume, const VolumeGeometry& geometry, int64_t recordOffset,
                        const std::filesystem::path& target, OutputFile::ExistingTarget existing,
                        const ContentProgress& progress, std::u16string_view streamName,
                        std::vector<ByteRange>* unreadable) {
  RecoverRecordToFile(volume, geometry, recordOffset, target, existing, progress, streamName, unreadable);
}

void RecoverFileContent(VolumeSource& volume, const VolumeGeometry& geometry, int64_t recordOffset,
                        const RestoreTarget& target, OutputFile::ExistingTarget existing,
                        const ContentProgress& progress, std::u16string_view streamName,
                        std::vector<ByteRange>* unreadable) {
  RecoverRecordToFile(volume, geometry, recordOffset, target, existing, progress, streamName, unreadable);
}

void RecoverSourceRange(VolumeSource& source, uint64_t offset, uint64_t length,
                        const std::function<ContentSink&()>& openSink, uint64_t firstBytes,
                        std::vector<ByteRange>* unreadable) {
  if (offset > source.Size() || length > source.Size() - offset) throw EngineError(messages::CarvedPastSource);
  const uint64_t wanted = std::min(length, firstBytes);
  ContentSink& output = openSink();
  ContentReader reader(source, SectorBytes, wanted, unreadable);
  std::vector<std::byte> buffer(static_cast<size_t>(std::min<uint64_t>(wanted, SourceRangeChunkBytes)));
  for (uint64_t done = 0; done < wanted;) {
    const std::span<std::byte> chunk(buffer.data(), static_cast<size_t>(std::min<uint64_t>(buffer.size(), wanted - done)));
    reader.Read(offset + done, chunk, done);
    output.Write(chunk);
    done += chunk.size();
  }
  output.Commit(wanted);
}

void RecoverSourceRange(VolumeSource& source, uint64_t offset, uint64_t length, const RestoreTarget& target,
                        OutputFile::ExistingTarget existing, const ContentProgress& progress,
                        std::vector<ByteRange>* unreadable) {
  RecoverToFile(target, existing, progress, [&](const std::function<ContentSink&()>& openSink) {
    RecoverSourceRange(source, offset, length, openSink, AllContent, unreadable);
  });
}

}  // namespace salvoran
