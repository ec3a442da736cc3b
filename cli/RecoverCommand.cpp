#include <algorithm>
#include <climits>
#include <cstdio>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>
#include <system_error>

#include "cli/Commands.h"
#include "cli/ProgressLine.h"
#include "cli/ScanCollector.h"
#include "engine/FileNameText.h"
#include "engine/OpeningPhase.h"
#include "engine/SourceDevice.h"
#include "recovery/RecoverFile.h"
#include "recovery/TargetNames.h"

namespace salvoran::cli {
namespace {

struct RecoverResult {
  int64_t Record = 0;
  std::string Name;
  std::string Path;
  std::optional<std::string> Error;
};

// A file to restore, or a record asked for that is no deleted file of the volume.
struct RestoreItem {
  int64_t Record = 0;
  std::optional<FoundFile> File;
};

RecoverResult RestoreOne(const FoundFile& file, const RecoverOptions& options, const VolumeGeometry& geometry,
                         std::set<std::string>& takenNames, const ContentProgress& progress) {
  RecoverResult result{file.RecordIndex, ToUtf8(file.Data.FileName), {}, {}};
  const std::filesystem::path target =
      UniqueTargetPath(options.OutputFolder, SafeFileName(file.Data.FileName), takenNames);
  result.Path = target.string();
  result.Error = TryRecoverFile(geometry, target, file.Data.RecordOffset, OutputFile::ExistingTarget::Keep, progress);
  return result;
}

uint64_t ContentBytes(const FoundFile& file) { return static_cast<uint64_t>(std::max<int64_t>(file.Data.FileSize, 0)); }

// Restores the items in order, with one progress line over the bytes of them all.
std::vector<RecoverResult> RestoreItems(const std::vector<RestoreItem>& items, const RecoverOptions& options,
                                        const VolumeGeometry& geometry) {
  uint64_t totalBytes = 0;
  for (const RestoreItem& item : items) {
    if (item.File) totalBytes += ContentBytes(*item.File);
  }
  ProgressLine progress("Restoring", ProgressUnit::Bytes);
  progress.Start(totalBytes);
  uint64_t finishedBytes = 0;
  std::set<std::string> takenNames;
  std::vector<RecoverResult> results;
  for (const RestoreItem& item : items) {
    if (!item.File) {
      results.push_back(
          {item.Record, {}, {}, "Record " + std::to_string(item.Record) + " is not a deleted file of this volume."});
      continue;
    }
    // The content written may differ from the listed size (a short run list): the line never
    // runs ahead of the file.
    const uint64_t fileBytes = ContentBytes(*item.File);
    uint64_t written = 0;
    progress.Update(finishedBytes);
    results.push_back(RestoreOne(*item.File, options, geometry, takenNames, [&](uint64_t bytes) {
      written += bytes;
      progress.Update(finishedBytes + std::min(written, fileBytes));
    }));
    finishedBytes += fileBytes;
  }
  return results;
}

// Every file a scan lists.
std::optional<std::vector<RecoverResult>> RestoreAll(const RecoverOptions& options) {
  VolumeGeometry geometry;
  ScanCollector collector;
  ScanSummary summary;
  if (!CollectScan(options.Source, geometry, collector, summary)) return std::nullopt;
  std::vector<RestoreItem> items;
  items.reserve(collector.Files().size());
  for (FoundFile& file : collector.Files()) items.push_back({file.RecordIndex, std::move(file)});
  return RestoreItems(items, options, geometry);
}

// Just the records asked for, each read on its own: no scan of the whole MFT.
std::optional<std::vector<RecoverResult>> RestoreRecords(const RecoverOptions& options) {
  VolumeGeometry geometry;
  geometry.DrivePath = options.Source;
  std::unique_ptr<VolumeSource> volume;
  try {
    volume = OpenVolumeToScan(options.Source);
    ReadVolumeGeometry(*volume, geometry);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return std::nullopt;
  }
  std::vector<RestoreItem> items;
  for (int64_t record : options.Records) {
    items.push_back({record, record >= 0 && record <= INT32_MAX
                                 ? ReadDeletedFile(*volume, geometry, static_cast<int32_t>(record))
                                 : std::nullopt});
  }
  return RestoreItems(items, options, geometry);
}

void PrintResults(const std::vector<RecoverResult>& results, bool json) {
  if (json) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const RecoverResult& result : results) {
      list.push_back({{"record", result.Record},
                      {"name", result.Name},
                      {"path", result.Path},
                      {"ok", !result.Error},
                      {"error", result.Error ? nlohmann::ordered_json(*result.Error) : nlohmann::ordered_json()}});
    }
    std::printf("%s\n", nlohmann::ordered_json{{"results", list}}.dump(2).c_str());
    return;
  }
  size_t restored = 0;
  for (const RecoverResult& result : results) {
    if (result.Error) {
      std::fprintf(stderr, "failed    %8lld  %s: %s\n", static_cast<long long>(result.Record), result.Name.c_str(),
                   result.Error->c_str());
    } else {
      ++restored;
      std::printf("restored  %8lld  %s\n", static_cast<long long>(result.Record), result.Path.c_str());
    }
  }
  std::printf("%zu of %zu files restored.\n", restored, results.size());
}

}  // namespace

int RunRecover(const RecoverOptions& options) {
  if (!options.Force && PathIsOnSourceDevice(options.OutputFolder, options.Source)) {
    std::fprintf(stderr,
                 "The output folder lies on %s, the volume being recovered from: writing there can overwrite the "
                 "deleted data. Choose a folder on another disk, or pass --force.\n",
                 options.Source.c_str());
    return UsageOrSourceError;
  }
  std::error_code error;
  std::filesystem::create_directories(options.OutputFolder, error);
  if (error) {
    std::fprintf(stderr, "Cannot create the output folder \"%s\": %s\n", options.OutputFolder.c_str(),
                 error.message().c_str());
    return UsageOrSourceError;
  }
  const std::optional<std::vector<RecoverResult>> results = options.All ? RestoreAll(options) : RestoreRecords(options);
  if (!results) return UsageOrSourceError;
  PrintResults(*results, options.Json);
  for (const RecoverResult& result : *results) {
    if (result.Error) return SomeFilesFailed;
  }
  return AllWell;
}

}  // namespace salvoran::cli
