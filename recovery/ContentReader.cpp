#include "recovery/ContentReader.h"

#include <algorithm>
#include <string>

#include "engine/EngineError.h"
#include "support/Messages.h"

namespace salvoran {
namespace {

// The smallest sector NTFS knows; a geometry without one still reads.
constexpr uint32_t SmallestSector = 512;

}  // namespace

ContentReader::ContentReader(VolumeSource& volume, uint32_t bytesPerSector, uint64_t fileLength,
                             std::vector<ByteRange>* damaged)
    : volume_(volume), probeBytes_(std::max(bytesPerSector, SmallestSector)), fileLength_(fileLength), damaged_(damaged) {}

void ContentReader::Read(uint64_t volumeByte, std::span<std::byte> buffer, uint64_t fileByte) {
  size_t done = 0;
  while (done < buffer.size()) {
    done += volume_.ReadAt(volumeByte + done, buffer.subspan(done)).BytesRead;
    if (done == buffer.size()) return;
    // Unreadable from here, up to the first sector the source gives again.
    const size_t start = done;
    size_t end = buffer.size();
    while (done < buffer.size()) {
      const size_t step =
          static_cast<size_t>(std::min<uint64_t>(probeBytes_ - (volumeByte + done) % probeBytes_, buffer.size() - done));
      const std::span<std::byte> probe = buffer.subspan(done, step);
      const bool readable = volume_.ReadAt(volumeByte + done, probe).BytesRead == step;
      if (readable) end = done;
      if (!readable) std::fill(probe.begin(), probe.end(), std::byte{0});
      done += step;
      if (readable) break;
    }
    if (end > start) Unreadable(fileByte + start, end - start);
  }
}

bool ContentReader::ReadWhole(uint64_t volumeByte, std::span<std::byte> buffer) {
  return volume_.ReadAt(volumeByte, buffer).BytesRead == buffer.size();
}

void ContentReader::Unreadable(uint64_t fileByte, uint64_t length) {
  if (fileByte >= fileLength_) return;
  length = std::min(length, fileLength_ - fileByte);
  if (length == 0) return;
  if (!damaged_) {
    throw EngineError(std::string(messages::RunReadFailed) + std::string(messages::UnreadableBytes) +
                          std::to_string(fileByte) + std::string(messages::UnreadableBytesTo) +
                          std::to_string(fileByte + length - 1) + std::string(messages::UnreadableBytesEnd),
                      "unreadable source under file bytes " + std::to_string(fileByte));
  }
  if (!damaged_->empty() && damaged_->back().Offset + damaged_->back().Length == fileByte) {
    damaged_->back().Length += length;
  } else {
    damaged_->push_back({fileByte, length});
  }
}

}  // namespace salvoran
