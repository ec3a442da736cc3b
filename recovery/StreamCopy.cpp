#include "recovery/StreamCopy.h"

#include <algorithm>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/EngineError.h"
#include "engine/Lznt1.h"
#include "support/Messages.h"

namespace salvoran {
namespace {

constexpr uint64_t CopyBufferBytes = 16u << 20;

// Hands out the runs' clusters in VCN order, at most a given count at a time.
class RunCursor {
 public:
  explicit RunCursor(ExtentRuns& runs) : runs_(runs) {}

  std::optional<DataRun> Take(uint64_t clusters) {
    if (!Load()) return std::nullopt;
    const DataRun piece{std::min(clusters, left_.ClusterCount), left_.StartCluster, left_.Sparse};
    left_.ClusterCount -= piece.ClusterCount;
    if (!left_.Sparse) left_.StartCluster += piece.ClusterCount;
    return piece;
  }

  // The clusters of hole that come next without a cluster between them (0 before clusters).
  uint64_t HoleAhead() { return Load() && left_.Sparse ? left_.ClusterCount : 0; }

 private:
  bool Load() {
    if (left_.ClusterCount > 0) return true;
    const std::optional<DataRun> next = runs_.Next();
    if (!next) return false;
    left_ = *next;
    if (left_.Sparse) left_.StartCluster = 0;
    return true;
  }

  ExtentRuns& runs_;
  DataRun left_;  // what is left of the run being handed out
};

[[noreturn]] void RefuseUnit(uint64_t unit, const std::string& why) {
  throw EngineError(messages::CompressedDataDamaged, "compression unit " + std::to_string(unit) + ": " + why);
}

// Bytes from count units of unitBytes each, or all that is left when they reach past it.
uint64_t BytesOfUnits(uint64_t count, uint64_t unitBytes, uint64_t left) {
  return count > left / unitBytes ? left : count * unitBytes;
}

}  // namespace

void CopyPlainRuns(ContentReader& reader, uint32_t bytesPerCluster, ExtentRuns& runs, uint64_t length,
                   ContentSink& output) {
  // Grown to the longest run met, up to its bound: a data size that promises more than the runs
  // hold costs no memory.
  std::vector<std::byte> buffer;
  uint64_t done = 0;
  for (std::optional<DataRun> run = runs.Next(); run && done < length; run = runs.Next()) {
    const uint64_t runBytes = BytesOfUnits(run->ClusterCount, bytesPerCluster, length - done);
    if (run->Sparse) {
      output.Skip(runBytes);
      done += runBytes;
      continue;
    }
    buffer.resize(static_cast<size_t>(std::max<uint64_t>(buffer.size(), std::min(CopyBufferBytes, runBytes))));
    uint64_t position = run->StartCluster * bytesPerCluster;
    for (uint64_t left = runBytes; left > 0;) {
      const std::span<std::byte> chunk = std::span(buffer).first(static_cast<size_t>(std::min<uint64_t>(left, buffer.size())));
      reader.Read(position, chunk, done);
      output.Write(chunk);
      position += chunk.size();
      left -= chunk.size();
      done += chunk.size();
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

void CopyCompressedUnits(ContentReader& reader, uint32_t bytesPerCluster, ExtentRuns& runs, uint8_t compressionUnit,
                         uint64_t length, ContentSink& output) {
  CheckCompressionUnit(compressionUnit, bytesPerCluster);
  const uint64_t unitClusters = uint64_t{1} << compressionUnit;
  const size_t unitBytes = static_cast<size_t>(unitClusters * bytesPerCluster);
  std::vector<std::byte> stored;
  std::vector<std::byte> expanded;
  std::vector<DataRun> pieces;
  RunCursor cursor(runs);
  for (uint64_t unit = 0, done = 0; done < length;) {
    // Whole units of holes, a sparse file's gaps, in one step: a file may claim 2^46 of them.
    if (const uint64_t holeUnits = cursor.HoleAhead() / unitClusters; holeUnits > 0) {
      const uint64_t bytes = BytesOfUnits(holeUnits, unitBytes, length - done);
      cursor.Take(holeUnits * unitClusters);
      output.Skip(bytes);
      done += bytes;
      unit += holeUnits;
      continue;
    }
    const uint64_t unitStart = done;
    const size_t unitLength = static_cast<size_t>(std::min<uint64_t>(unitBytes, length - done));
    done += unitLength;
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
    ++unit;
    if (allocated == 0) {
      output.Skip(unitLength);
      continue;
    }
    // The unit's clusters in order; a unit cut short by the end of the runs stays plain.
    if (stored.empty()) stored.resize(unitBytes);
    size_t storedBytes = 0;
    bool whole = true;
    for (const DataRun& piece : pieces) {
      const std::span<std::byte> clusters =
          std::span(stored).subspan(storedBytes, static_cast<size_t>(piece.ClusterCount * bytesPerCluster));
      if (holeSeen) {
        whole = reader.ReadWhole(piece.StartCluster * bytesPerCluster, clusters) && whole;
      } else {
        reader.Read(piece.StartCluster * bytesPerCluster, clusters, unitStart + storedBytes);
      }
      storedBytes += clusters.size();
    }
    if (!holeSeen) {
      std::fill(stored.begin() + static_cast<ptrdiff_t>(storedBytes), stored.end(), std::byte{0});
      output.Write(std::span(stored).first(unitLength));
      continue;
    }
    if (!whole) {
      reader.Unreadable(unitStart, unitLength);
      output.Skip(unitLength);
      continue;
    }
    if (expanded.empty()) expanded.resize(unitBytes);
    try {
      DecompressLznt1Unit(std::span(stored).first(storedBytes), expanded);
    } catch (const EngineError& error) {
      RefuseUnit(unit - 1, error.Detail());
    }
    output.Write(std::span(expanded).first(unitLength));
  }
}

}  // namespace salvoran
