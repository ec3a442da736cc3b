// Takes the input as a whole source: its first byte chooses the size of the blocks the finders
// are handed (so records cut by a block's end come often), the rest is the source. Finds boot
// sectors and records as the deep scan does, puts the records back into their MFTs, lists their
// files, reads each one again by its place alone (as recover --id does) and restores it into a
// sink that only counts: hostile records (loops of parents, absurd run lists, records claiming the
// numbers of others) must end in a refusal, never in a crash, a hang or more than was listed.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/BootSectorFinder.h"
#include "engine/EngineError.h"
#include "engine/FoundFileProbe.h"
#include "engine/FoundFileReader.h"
#include "engine/SourceSurvey.h"
#include "engine/FoundMfts.h"
#include "engine/RecordFinder.h"
#include "engine/VolumeWindow.h"
#include "recovery/ContentRecovery.h"
#include "tests/fuzz/ListingAndCounting.h"

using namespace salvoran;

namespace {

constexpr size_t BlockUnit = 512;
constexpr size_t BlockSizes = 16;
// Each file is described, probed and restored: a bound on them keeps one input quick.
constexpr size_t MaxFilesLooked = 64;

void RestoreAndCheck(VolumeSource& source, const FoundFile& file) {
  const VolumeGeometry& geometry = *file.FoundIn;
  VolumeWindow volume(source, VolumeOffsetInSource(geometry), geometry.DrivePath.Partition->Size);
  fuzz::CountingSink sink;
  try {
    RecoverFileContent(volume, geometry, file.Data.RecordOffset, [&]() -> ContentSink& { return sink; });
  } catch (const EngineError&) {
    return;
  }
  if (!sink.Committed() || sink.Length() != static_cast<uint64_t>(file.Data.FileSize)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::SilenceWarnings();
  if (size == 0) return 0;
  const size_t blockBytes = BlockUnit * (1 + data[0] % BlockSizes);
  MemoryVolume source(std::vector<std::byte>(reinterpret_cast<const std::byte*>(data + 1),
                                             reinterpret_cast<const std::byte*>(data + size)));
  std::vector<std::byte> bytes(source.Size());
  source.ReadAt(0, bytes);

  const MftsInUse none;
  BootSectorFinder bootSectors;
  RecordFinder records(none);
  for (size_t at = 0; at < bytes.size(); at += blockBytes) {
    const ByteView block = ByteView(bytes).subspan(at, std::min(blockBytes, bytes.size() - at));
    bootSectors.Consume(at, block);
    records.Consume(at, block);
  }
  SourceSurvey survey;
  survey.Context.SourcePath = "fuzz";
  survey.Context.SourceSize = source.Size();
  survey.Context.Volumes = bootSectors.Volumes(source);

  size_t looked = 0;
  for (const FoundMft& mft : RebuildFoundMfts(records.Records(), records.Anchors(), survey.Context)) {
    FoundFileReader reader(source, mft.Geometry);
    for (size_t index : mft.Files) {
      if (++looked > MaxFilesLooked) return 0;
      const FoundRecord& record = records.Records()[index];
      if (std::optional<FoundFileReader::Described> described = reader.Read(record)) {
        RestoreAndCheck(source, described->File);
      }
      const ProbedFile probed = ProbeFoundFile(source, survey, record.SourceOffset, mft.VolumeOffset);
      if (probed.File) RestoreAndCheck(source, *probed.File);
    }
  }
  return 0;
}
