#include <climits>
#include <cstdio>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>
#include <system_error>

#include "cli/Commands.h"
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

RecoverResult RestoreOne(const FoundFile& file, const RecoverOptions& options, const VolumeGeometry& geometry,
                         std::set<std::string>& takenNames) {
  RecoverResult result{file.RecordIndex, ToUtf8(file.Data.FileName), {}, {}};
  const std::filesystem::path target =
      UniqueTargetPath(options.OutputFolder, SafeFileName(file.Data.FileName), takenNames);
  result.Path = target.string();
  result.Error = TryRecoverFile(geometry, target, file.Data.RecordOffset, OutputFile::ExistingTarget::Keep);
  return result;
}

// Every file a scan lists.
std::optional<std::vector<RecoverResult>> RestoreAll(const RecoverOptions& options) {
  VolumeGeometry geometry;
  ScanCollector collector;
  ScanSummary summary;
  if (!CollectScan(options.Source, geometry, collector, summary)) return std::nullopt;
  std::set<std::string> takenNames;
  std::vector<RecoverResult> results;
  for (const FoundFile& file : collector.Files()) results.push_back(RestoreOne(file, options, geometry, takenNames));
  return results;
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
  std::set<std::string> takenNames;
  std::vector<RecoverResult> results;
  for (int64_t record : options.Records) {
    const std::optional<FoundFile> file =
        record >= 0 && record <= INT32_MAX ? ReadDeletedFile(*volume, geometry, static_cast<int32_t>(record))
                                           : std::nullopt;
    if (file) {
      results.push_back(RestoreOne(*file, options, geometry, takenNames));
    } else {
      results.push_back({record, {}, {}, "Record " + std::to_string(record) + " is not a deleted file of this volume."});
    }
  }
  return results;
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
