// The carving formats' units and the carver over arbitrary bytes.
// Input: a mode byte, a split byte, then the data.
//   Even mode: the unit whose signature the data matches runs over the data whole and in pieces
//   whose sizes the split byte drives; both must agree on the outcome, the length and the type,
//   the length lies within the data, and a complete file passes its check again on its own.
//   Odd mode: the carver runs over the data with starts every (split % 64 + 1) bytes and every
//   cluster of eight free but the fifth; the files it gives lie in order inside the data, do not
//   overlap, and each passes its format's check.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/carving/CarvedFormats.h"
#include "engine/carving/Carver.h"

using namespace salvoran;
using namespace salvoran::carving;

namespace {

constexpr size_t HeaderBytes = 2;

void Require(bool condition) {
  if (!condition) std::abort();
}

struct Outcome {
  CheckOutcome Result = CheckOutcome::Open;
  uint64_t Length = 0;
  std::string Type;
  bool operator==(const Outcome&) const = default;
};

// Pieces of 1 to 256 bytes from a small generator seeded by `split`; a split of 0 feeds it whole.
Outcome Check(const CarvedFormat& format, ByteView data, uint8_t split) {
  const auto check = format.MakeCheck();
  uint32_t state = split;
  for (size_t at = 0; at < data.size() && check->Outcome() == CheckOutcome::Open;) {
    state = state * 1103515245u + 12345u;
    const size_t piece = split == 0 ? data.size() : 1 + (state >> 16) % 256;
    const size_t size = std::min(piece, data.size() - at);
    const size_t taken = check->Feed(data.subspan(at, size));
    Require(taken <= size && (taken == size || check->Outcome() != CheckOutcome::Open));
    at += size;
  }
  check->EndOfData();
  Require(check->Outcome() != CheckOutcome::Open);
  return {check->Outcome(), check->FileLength(), std::string(check->Extension())};
}

const CarvedFormat* FormatOf(ByteView data) {
  return MatchCarvedFormat(data.first(std::min(data.size(), SignatureSpan)));
}

void CheckUnit(ByteView data, uint8_t split) {
  const CarvedFormat* format = FormatOf(data);
  if (!format) return;
  const Outcome whole = Check(*format, data, 0);
  Require(Check(*format, data, split | 1) == whole);
  if (whole.Result != CheckOutcome::Complete) return;
  Require(whole.Length > 0 && whole.Length <= data.size());
  Require(Check(*format, data.first(static_cast<size_t>(whole.Length)), 0) == whole);
}

void CheckCarver(ByteView data, uint8_t split) {
  CarvingArea area;
  area.ClusterBytes = split % 64 + 1;
  area.ClusterIsFree = [](uint64_t cluster) { return cluster % 8 != 5; };
  std::vector<CarvedFile> files;
  Carver carver(area, [&](CarvedFile&& file) { files.push_back(std::move(file)); });
  const size_t block = 1 + split * 7;
  for (size_t at = 0; at < data.size(); at += block)
    carver.Consume(at, data.subspan(at, std::min(block, data.size() - at)));
  carver.Finish();
  uint64_t end = 0;
  for (const CarvedFile& file : files) {
    Require(file.SourceOffset >= end && file.Length > 0 && file.Length <= data.size() - file.SourceOffset);
    end = file.SourceOffset + file.Length;
    const ByteView bytes = data.subspan(static_cast<size_t>(file.SourceOffset), static_cast<size_t>(file.Length));
    const CarvedFormat* format = FormatOf(bytes);
    Require(format != nullptr);
    const Outcome again = Check(*format, bytes, 0);
    Require(again.Result == CheckOutcome::Complete && again.Length == file.Length && again.Type == file.Extension);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
  if (size < HeaderBytes) return 0;
  const ByteView data(reinterpret_cast<const std::byte*>(input) + HeaderBytes, size - HeaderBytes);
  if (input[0] % 2 == 0) {
    CheckUnit(data, input[1]);
  } else {
    CheckCarver(data, input[1]);
  }
  return 0;
}
