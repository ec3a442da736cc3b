// Writes the seed inputs of the fuzz targets, so that the committed corpus can be made again
// from the generated images (tests/fuzz/make_seed_corpus.sh):
//   salvoran_fuzz_seeds image IMAGE NAME OUTDIR   boot sector + record 0, deleted-file records, run lists,
//                                                 compressed units, the MFT up to a file with an
//                                                 attribute list
//   salvoran_fuzz_seeds crafted OUTDIR            small whole volumes for FuzzScanAndRecover and
//                                                 FuzzDeepScan, a file split across records for
//                                                 FuzzAttributeList
#include <algorithm>
#include <array>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "engine/Attribute.h"
#include "engine/AttributeList.h"
#include "engine/AttributeValues.h"
#include "engine/BootSector.h"
#include "engine/DeletedFileScan.h"
#include "engine/EngineError.h"
#include "engine/FileRecord.h"
#include "engine/OpeningPhase.h"
#include "engine/RawVolume.h"
#include "engine/RunList.h"
#include "engine/SystemError.h"
#include "engine/VolumeRecordFetcher.h"
#include "tests/support/CraftedVolume.h"

namespace salvoran::test {
namespace {

namespace fs = std::filesystem;

// FuzzLznt1 picks the unit size from its first byte, modulo its list, which begins so.
constexpr std::array<uint64_t, 4> Lznt1UnitSizes = {8192, 16384, 32768, 65536};

void WriteSeed(const fs::path& folder, const std::string& name, const Bytes& bytes) {
  fs::create_directories(folder);
  WriteImage(folder / name, bytes);
}

// The record as it lies in the MFT, protection included, read through the MFT's runs.
Bytes RawRecord(VolumeSource& volume, const VolumeGeometry& geometry, int64_t recordOffset) {
  Bytes record(geometry.FileRecordSize);
  const uint64_t mftByte = *geometry.Mft.MftByteAt(static_cast<uint64_t>(recordOffset));
  geometry.Mft.ForEachPiece(mftByte, record.size(), [&](uint64_t volumeByte, uint64_t length, uint64_t pieceMftByte) {
    volume.ReadAt(volumeByte, std::span(record).subspan(pieceMftByte - mftByte, length));
  });
  return record;
}

Bytes WithClusterCount(uint64_t totalClusters, ByteView runList) {
  Bytes seed(8);
  PutLE(seed, 0, totalClusters, 8);
  seed.insert(seed.end(), runList.begin(), runList.end());
  return seed;
}

struct DecodedRecord {
  Bytes Raw;
  Bytes RunList;  // empty for resident data
  size_t Runs = 0;
  bool Sparse = false;
  Bytes CompressedUnit;  // FuzzLznt1's seed: a unit-size selector and a unit's stored bytes
};

// The stored clusters of a compressed $DATA's first unit that holds chunks (clusters with data,
// then a hole), behind FuzzLznt1's selector of the unit's size; empty when it has none.
Bytes FirstCompressedUnit(VolumeSource& volume, const VolumeGeometry& geometry, ByteView data,
                          const std::vector<DataRun>& runs) {
  const NonResidentHeader header = ReadNonResidentHeader(data);
  if ((header.Flags & AttributeCompressed) == 0 || header.CompressionUnit >= 32) return {};
  const uint64_t unitClusters = uint64_t{1} << header.CompressionUnit;
  const uint64_t unitSize = unitClusters * geometry.BytesPerCluster;
  const auto selector = std::find(Lznt1UnitSizes.begin(), Lznt1UnitSizes.end(), unitSize);
  if (selector == Lznt1UnitSizes.end()) return {};
  std::vector<std::optional<uint64_t>> clusters;  // by VCN; none for a hole
  for (const DataRun& run : runs) {
    for (uint64_t i = 0; i < run.ClusterCount; ++i) {
      clusters.push_back(run.Sparse ? std::nullopt : std::optional(run.StartCluster + i));
    }
  }
  for (size_t first = 0; first + unitClusters <= clusters.size(); first += unitClusters) {
    const auto unitEnd = clusters.begin() + static_cast<ptrdiff_t>(first + unitClusters);
    const auto hole = std::find(clusters.begin() + static_cast<ptrdiff_t>(first), unitEnd, std::nullopt);
    if (hole == clusters.begin() + static_cast<ptrdiff_t>(first) || hole == unitEnd) continue;
    Bytes seed{static_cast<std::byte>(selector - Lznt1UnitSizes.begin())};
    for (auto cluster = clusters.begin() + static_cast<ptrdiff_t>(first); cluster != hole; ++cluster) {
      Bytes stored(geometry.BytesPerCluster);
      volume.ReadAt(**cluster * geometry.BytesPerCluster, stored);
      seed.insert(seed.end(), stored.begin(), stored.end());
    }
    return seed;
  }
  return {};
}

DecodedRecord Decode(VolumeSource& volume, Bytes raw, const VolumeGeometry& geometry) {
  DecodedRecord decoded{raw, {}, 0, false, {}};
  ApplyFixups(raw);
  const ByteView data = FindAttribute(raw, DataType, false);
  if (data.empty() || !IsNonResident(data)) return decoded;
  const ByteView runList = RunListBytes(data);
  decoded.RunList.assign(runList.begin(), runList.end());
  const std::vector<DataRun> runs = DecodeRunList(runList, geometry.TotalClusters);
  decoded.Runs = runs.size();
  decoded.Sparse = std::any_of(runs.begin(), runs.end(), [](const DataRun& run) { return run.Sparse; });
  decoded.CompressedUnit = FirstCompressedUnit(volume, geometry, data, runs);
  return decoded;
}

// FuzzAttributeList takes 1024-byte records.
constexpr uint32_t AttributeListSeedRecordBytes = 1024;

// For a live and a deleted file with an attribute list: its index, then the MFT up to the last
// record its list names.
void AttributeListSeeds(VolumeSource& volume, const VolumeGeometry& geometry, const std::string& name,
                        const fs::path& out) {
  if (geometry.FileRecordSize != AttributeListSeedRecordBytes) return;
  bool written[2] = {false, false};
  Bytes record(geometry.FileRecordSize);
  for (int32_t index = FirstUserRecord; index < geometry.RecordCount; ++index) {
    if (!ReadMftBytes(volume, geometry.Mft, uint64_t{geometry.FileRecordSize} * index, record)) continue;
    Bytes fixed = record;
    try {
      ApplyFixups(fixed);
    } catch (const EngineError&) {
      continue;
    }
    const ByteView list = FindAttribute(fixed, AttributeListType, false);
    const bool live = (RecordFlags(fixed) & RecordInUse) != 0;
    if (list.empty() || IsNonResident(list) || BaseRecordIndex(fixed) != 0 || written[live]) continue;
    uint64_t last = static_cast<uint64_t>(index);
    for (const AttributeListEntry& entry : ParseAttributeList(ResidentContent(list))) {
      last = std::max(last, entry.RecordIndex);
    }
    Bytes seed(4);
    PutLE(seed, 0, static_cast<uint64_t>(index), 4);
    Bytes mft((last + 1) * geometry.FileRecordSize);
    ReadMftBytes(volume, geometry.Mft, 0, mft);
    seed.insert(seed.end(), mft.begin(), mft.end());
    WriteSeed(out / "FuzzAttributeList", name + (live ? "-live" : "-deleted"), seed);
    written[live] = true;
  }
}

int SeedsFromImage(const std::string& image, const std::string& name, const fs::path& out) {
  OpenResult opened = OpenRawVolume(image);
  if (!opened.Volume) {
    std::fprintf(stderr, "%s: %s\n", image.c_str(), SystemErrorText(opened.ErrorCode).c_str());
    return 1;
  }
  VolumeSource& volume = *opened.Volume;
  VolumeGeometry geometry;
  CollectingObserver observer;
  ScanOpenVolume(volume, geometry, observer);

  Bytes opening(BootSectorSize);
  volume.ReadAt(0, opening);
  const Bytes recordZero = RawRecord(volume, geometry, geometry.MftOffset);
  opening.insert(opening.end(), recordZero.begin(), recordZero.end());
  WriteSeed(out / "FuzzOpeningPhase", name, opening);
  WriteSeed(out / "FuzzRunList", name + "-mft", WithClusterCount(geometry.TotalClusters, Decode(volume, recordZero, geometry).RunList));

  // One record of each kind: resident, one run, the most runs, a hole.
  std::vector<DecodedRecord> records;
  for (const FoundFile& file : observer.Files) {
    records.push_back(Decode(volume, RawRecord(volume, geometry, file.Data.RecordOffset), geometry));
  }
  const auto resident = std::find_if(records.begin(), records.end(), [](const auto& r) { return r.RunList.empty(); });
  const auto single = std::find_if(records.begin(), records.end(), [](const auto& r) { return r.Runs == 1; });
  const auto sparse = std::find_if(records.begin(), records.end(), [](const auto& r) { return r.Sparse; });
  const auto most = std::max_element(records.begin(), records.end(), [](const auto& a, const auto& b) { return a.Runs < b.Runs; });
  // The compressed unit that stores least (a short file's few chunks) and most (many chunks).
  std::vector<const Bytes*> units;
  for (const DecodedRecord& record : records) {
    if (!record.CompressedUnit.empty()) units.push_back(&record.CompressedUnit);
  }
  if (!units.empty()) {
    const auto [least, most] = std::minmax_element(units.begin(), units.end(),
                                                   [](const Bytes* a, const Bytes* b) { return a->size() < b->size(); });
    WriteSeed(out / "FuzzLznt1", name + "-short-unit", **least);
    WriteSeed(out / "FuzzLznt1", name + "-long-unit", **most);
  }
  for (const auto& [kind, chosen] : {std::pair{"resident", resident}, std::pair{"single-run", single},
                                     std::pair{"sparse", sparse}, std::pair{"fragmented", most}}) {
    if (chosen == records.end() || (chosen == most && most->Runs < 2)) continue;
    WriteSeed(out / "FuzzRecordDecoder", name + "-" + kind, chosen->Raw);
    if (!chosen->RunList.empty()) {
      WriteSeed(out / "FuzzRunList", name + "-" + kind, WithClusterCount(geometry.TotalClusters, chosen->RunList));
    }
  }
  AttributeListSeeds(volume, geometry, name, out);
  return 0;
}

// A whole volume of a few dozen KiB: an MFT in two runs and one deleted file of each kind
// (compressed, and split across two records by an attribute list, among them), so that a fuzzer
// mutating it as bytes reaches the scan and every branch of recovery at once.
Bytes CraftedSeedVolume(uint16_t bytesPerSector, uint32_t bytesPerCluster, uint32_t recordSize) {
  VolumeSpec spec;
  spec.BytesPerSector = bytesPerSector;
  spec.BytesPerCluster = bytesPerCluster;
  spec.RecordSize = recordSize;
  const uint64_t mftClusters = std::max<uint64_t>(2, 24ull * recordSize / bytesPerCluster);
  spec.MftRuns = {{mftClusters / 2, 2, false}, {mftClusters - mftClusters / 2, 2 + mftClusters / 2 + 1, false}};
  const uint64_t data = 4 + mftClusters;
  spec.TotalClusters = data + 13;
  auto record = [&](std::u16string_view name, Bytes dataAttribute, uint16_t flags = 0) {
    RecordSpec file = DeletedFileSpec(name, std::move(dataAttribute));
    file.Flags = flags;
    file.RecordSize = recordSize;
    return BuildRecord(file);
  };
  auto nonResident = [&](const std::vector<DataRun>& runs, uint64_t size) {
    uint64_t clusters = 0;
    for (const DataRun& run : runs) clusters += run.ClusterCount;
    return NonResidentDataAttribute(EncodeRunList(runs), size, clusters - 1);
  };
  spec.Records[16] = record(u"note.txt", ResidentDataAttribute(ToBytes("a note that stays in its record")));
  spec.Records[17] = record(u"photo.jpg", nonResident({{2, data, false}}, bytesPerCluster + 100));
  spec.Records[18] = record(u"clip.mp4", nonResident({{1, data + 4, false}, {1, data + 2, false}, {2, data + 6, false}},
                                                     4ull * bytesPerCluster));
  spec.Records[19] = record(u"disk.img", nonResident({{1, data + 8, false}, {6, 0, true}, {1, data + 9, false}},
                                                     8ull * bytesPerCluster));
  spec.Records[20] = record(u"live.doc", nonResident({{1, data + 10, false}}, 10), RecordInUse);
  for (uint64_t cluster = data; cluster < data + 11; ++cluster) {
    spec.Clusters[cluster] = Pattern(bytesPerCluster, static_cast<uint8_t>(cluster));
  }
  // Units of four clusters: one cluster of LZNT1 chunks, then holes.
  Bytes packed = NonResidentDataAttribute(EncodeRunList({{1, data + 11, false}, {3, 0, true}}), 2ull * bytesPerCluster,
                                          3, AttributeCompressed);
  PutLE(packed, 0x22, 2, 1);
  spec.Records[21] = record(u"packed.txt", packed);
  Bytes chunk(bytesPerCluster);
  PutLE(chunk, 0, 0xB008, 2);  // a compressed chunk of 9 bytes: a flag byte, eight literals
  const Bytes literals = ToBytes("literals");
  std::copy(literals.begin(), literals.end(), chunk.begin() + 3);
  spec.Clusters[data + 11] = chunk;
  // Its name and second cluster in the extension record 23.
  RecordSpec base = DeletedFileSpec(u"", WithId(nonResident({{1, data + 1, false}}, 2ull * bytesPerCluster), 2));
  base.RecordSize = recordSize;
  base.Attributes.erase(base.Attributes.begin() + 1);
  base.Attributes.insert(base.Attributes.begin() + 1,
                         AttributeListAttribute({{0x10, 22, 0, 0}, {0x30, 23, 1, 0}, {0x80, 22, 2, 0}, {0x80, 23, 3, 1}}));
  spec.Records[22] = BuildRecord(base);
  RecordSpec extension;
  extension.RecordSize = recordSize;
  extension.BaseRecord = 22;
  extension.Attributes = {WithId(FileNameAttribute(u"split.bin", Win32Namespace), 1),
                          WithId(LaterPiece(nonResident({{1, data + 12, false}}, 0), 1, 1), 3)};
  spec.Records[23] = BuildRecord(extension);
  spec.Clusters[data + 12] = Pattern(bytesPerCluster, 12);
  return BuildVolume(spec);
}

// A deleted file at index 1 whose name and second piece of data lie in the extension record 2.
Bytes CraftedAttributeListSeed() {
  const auto piece = [](uint64_t cluster, uint64_t firstVcn, uint16_t id) {
    return WithId(LaterPiece(NonResidentDataAttribute(EncodeRunList({{2, cluster, false}}), 4 * 512), firstVcn,
                             firstVcn + 1),
                  id);
  };
  RecordSpec base;
  base.Attributes = {StandardInformationAttribute(SampleCreated, SampleModified),
                     AttributeListAttribute({{0x10, 1, 0, 0}, {0x30, 2, 1, 0}, {0x80, 1, 2, 0}, {0x80, 2, 3, 2}}),
                     piece(0, 0, 2)};
  RecordSpec extension;
  extension.BaseRecord = 1;
  extension.Attributes = {WithId(FileNameAttribute(u"split.bin", Win32Namespace), 1), piece(4, 2, 3)};
  Bytes seed(4 + AttributeListSeedRecordBytes);
  PutLE(seed, 0, 1, 4);
  for (const Bytes& record : {BuildRecord(base), BuildRecord(extension)}) seed.insert(seed.end(), record.begin(), record.end());
  return seed;
}

// A source for FuzzDeepScan: a block size, then the crafted volume with each record carrying its
// own number (which the deep scan places records by), its boot sector kept or zeroed.
Bytes DeepScanSeed(uint8_t blockSize, bool keepBootSector) {
  Bytes volume = CraftedSeedVolume(512, 2048, 1024);
  VolumeGeometry geometry;
  MemoryVolume memory(volume);
  ReadVolumeGeometry(memory, geometry);
  for (int32_t index = 0; index < geometry.RecordCount; ++index) {
    const uint64_t offset = *geometry.Mft.VolumeOffsetOf(static_cast<uint64_t>(index) * geometry.FileRecordSize);
    if (std::memcmp(volume.data() + offset, "FILE", 4) != 0) continue;
    PatchRecord(volume, offset, geometry.FileRecordSize, [&](Bytes& record) { PutLE(record, 0x2C, index, 4); });
  }
  if (!keepBootSector) std::fill_n(volume.begin(), 512, std::byte{0});
  volume.insert(volume.begin(), std::byte{blockSize});
  return volume;
}

int CraftedSeeds(const fs::path& out) {
  WriteSeed(out / "FuzzDeepScan", "crafted-boot-sector", DeepScanSeed(7, true));
  WriteSeed(out / "FuzzDeepScan", "crafted-no-boot-sector", DeepScanSeed(2, false));
  WriteSeed(out / "FuzzScanAndRecover", "crafted-512", CraftedSeedVolume(512, 512, 1024));
  WriteSeed(out / "FuzzScanAndRecover", "crafted-2k", CraftedSeedVolume(512, 2048, 1024));
  WriteSeed(out / "FuzzAttributeList", "crafted", CraftedAttributeListSeed());
  return 0;
}

}  // namespace
}  // namespace salvoran::test

int main(int argc, char** argv) {
  using namespace salvoran::test;
  try {
    if (argc == 5 && std::string(argv[1]) == "image") return SeedsFromImage(argv[2], argv[3], argv[4]);
    if (argc == 3 && std::string(argv[1]) == "crafted") return CraftedSeeds(argv[2]);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "salvoran_fuzz_seeds: %s\n", error.what());
    return 1;
  }
  std::fprintf(stderr, "usage: salvoran_fuzz_seeds image IMAGE NAME OUTDIR | crafted OUTDIR\n");
  return 2;
}
