#include "recovery/StreamCopy.h"

#include <algorithm>
#include <optional>
#include <span>
#include <string>

#include "engine/EngineError.h"
#include "engine/Lznt1.h"
#include "support/Messages.h"

namespace salvoran {
namespace {

constexpr uint64_t CopyBufferBytes = 16u << 20;

void ReadClusters(VolumeSource& volume, uint64_t volumeByte, std::span<std::byte> buffer) {
  const ReadOutcome outcome = volume.ReadAt(volumeByte, buffer);
  if (outcome.BytesRead < buffer.size()) {
    throw EngineError(messages::RunReadFailed, "short read at volume byte " + std::to_string(volumeByte + outcome.BytesRead));
  }
}

// Hands out the runs' clusters in VCN order, at most a given count at a time.
class RunCursor {
 public:
  explicit RunCursor(const std::vector<DataRun>& runs) : runs_(runs) {}

  std::optional<DataRun> Take(uint64_t clusters) {
    while (index_ < runs_.size() && used_ == runs_[index_].ClusterCount) {
      ++index_;
      used_ = 0;
    }
    if (index_ == runs_.size()) return std::nullopt;
    const DataRun& run = runs_[index_];
    const DataRun piece{std::min(clusters, run.ClusterCount - used_), run.Sparse ? 0 : run.StartCluster + used_,
                        run.Sparse};
    used_ += piece.ClusterCount;
    return piece;
  }

 private:
  const std::vector<DataRun>& runs_;
  size_t index_ = 0;
  uint64_t used_ = 0;
};

[[noreturn]] void RefuseUnit(uint64_t unit, const std::string& why) {
  throw EngineError(messages::CompressedDataDamaged, "compression unit " + std::to_string(unit) + ": " + why);
}

}  // namespace

void CopyPlainRuns(VolumeSource& volume, uint32_t bytesPerCluster, const std::vector<DataRun>& runs, uint64_t length,
                   ContentSink& output) {
  // Sized for the longest run to copy: a data size that promises more than the runs hold
  // costs no memory.
  uint64_t longestRun = 0;
  for (const DataRun& run : runs) {
    if (!run.Sparse) longestRun = std::max(longestRun, run.ClusterCount * bytesPerCluster);
  }
  std::vector<std::byte> buffer;
  uint64_t remaining = length;
  for (const DataRun& run : runs) {
    if (remaining == 0) break;
    // Saturating: a hole longer than any file must not wrap around to a short one.
    const uint64_t runBytes =
        run.ClusterCount > remaining / bytesPerCluster ? remaining : run.ClusterCount * bytesPerCluster;
    remaining -= runBytes;
    if (run.Sparse) {
      output.Skip(runBytes);
      continue;
    }
    if (buffer.empty()) buffer.resize(static_cast<size_t>(std::min({CopyBufferBytes, length, longestRun})));
    uint64_t position = run.StartCluster * bytesPerCluster;
    for (uint64_t left = runBytes; left > 0;) {
      const size_t chunk = static_cast<size_t>(std::min<uint64_t>(left, buffer.size()));
      ReadClusters(volume, position, std::span(buffer).first(chunk));
      output.Write(std::span(buffer).first(chunk));
      position += chunk;
      left -= chunk;
    }
  }
}

void CheckCompressionUnit(uint8_t compressionUnit, uint32_t bytesPerCluster) {
  if (compressionUnit == 0 || compressionUnit >= 32 ||
      (uint64_t{1} << compressionUnit) > MaxCompressionUnitBytes / bytesPerCluster) {
    throw EngineError(messages::CompressedDataDamaged,
                      "compression unit of 2^" + std::to_string(compressionUnit) + " clusters");
  }
}

void CopyCompressedUnits(VolumeSource& volume, uint32_t bytesPerCluster, const std::vector<DataRun>& runs,
                         uint8_t compressionUnit, uint64_t length, ContentSink& output) {
  CheckCompressionUnit(compressionUnit, bytesPerCluster);
  const uint64_t unitClusters = uint64_t{1} << compressionUnit;
  const size_t unitBytes = static_cast<size_t>(unitClusters * bytesPerCluster);
  std::vector<std::byte> stored;
  std::vector<std::byte> expanded;
  std::vector<DataRun> pieces;
  RunCursor cursor(runs);
  for (uint64_t unit = 0, done = 0; done < length; ++unit) {
    const size_t unitLength = static_cast<size_t>(std::min<uint64_t>(unitBytes, length - done));
    pieces.clear();
    uint64_t allocated = 0;
    bool holeSeen = false;
    for (uint64_t taken = 0; taken < unitClusters;) {
      const std::optional<DataRun> piece = cursor.Take(unitClusters - taken);
      if (!piece) break;
      if (piece->Sparse) {
        holeSeen = true;
      } else {
        if (holeSeen) RefuseUnit(unit, "clusters after a hole");
        allocated += piece->ClusterCount;
        pieces.push_back(*piece);
      }
      taken += piece->ClusterCount;
    }
    done += unitLength;
    if (allocated == 0) {
      output.Skip(unitLength);
      continue;
    }
    // The unit's clusters in order; a unit cut short by the end of the runs stays plain.
    if (stored.empty()) stored.resize(unitBytes);
    size_t storedBytes = 0;
    for (const DataRun& piece : pieces) {
      const size_t bytes = static_cast<size_t>(piece.ClusterCount * bytesPerCluster);
      ReadClusters(volume, piece.StartCluster * bytesPerCluster, std::span(stored).subspan(storedBytes, bytes));
      storedBytes += bytes;
    }
    if (!holeSeen) {
      std::fill(stored.begin() + static_cast<ptrdiff_t>(storedBytes), stored.end(), std::byte{0});
      output.Write(std::span(stored).first(unitLength));
      continue;
    }
    if (expanded.empty()) expanded.resize(unitBytes);
    try {
      DecompressLznt1Unit(std::span(stored).first(storedBytes), expanded);
    } catch (const EngineError& error) {
      RefuseUnit(unit, error.Detail());
    }
    output.Write(std::span(expanded).first(unitLength));
  }
}

}  // namespace salvoran
