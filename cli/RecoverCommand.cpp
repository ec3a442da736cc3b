#include <cstdio>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <system_error>

#include "cli/Commands.h"
#include "cli/ScanCollector.h"
#include "engine/FileNameText.h"
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

// The files to restore, in the order asked for; a record that lists no deleted file fails.
std::vector<RecoverResult> Restore(const RecoverOptions& options, const VolumeGeometry& geometry,
                                   const std::vector<FoundFile>& found) {
  std::map<int64_t, const FoundFile*> byRecord;
  for (const FoundFile& file : found) byRecord.emplace(file.RecordIndex, &file);
  std::vector<RecoverResult> results;
  std::set<std::string> taken;
  auto restoreOne = [&](const FoundFile& file) {
    RecoverResult result{file.RecordIndex, ToUtf8(file.Data.FileName), {}, {}};
    const std::filesystem::path target =
        UniqueTargetPath(options.OutputFolder, SafeFileName(file.Data.FileName), taken);
    result.Path = target.string();
    result.Error = TryRecoverFile(geometry, target, file.Data.RecordOffset, OutputFile::ExistingTarget::Keep);
    return result;
  };
  if (options.All) {
    for (const FoundFile& file : found) results.push_back(restoreOne(file));
    return results;
  }
  for (int64_t record : options.Records) {
    const auto match = byRecord.find(record);
    if (match == byRecord.end()) {
      results.push_back({record, {}, {}, "Record " + std::to_string(record) + " is not a deleted file of this volume."});
    } else {
      results.push_back(restoreOne(*match->second));
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
  VolumeGeometry geometry;
  ScanCollector collector;
  ScanSummary summary;
  if (!CollectScan(options.Source, geometry, collector, summary)) return UsageOrSourceError;

  const std::vector<RecoverResult> results = Restore(options, geometry, collector.Files());
  PrintResults(results, options.Json);
  for (const RecoverResult& result : results) {
    if (result.Error) return SomeFilesFailed;
  }
  return AllWell;
}

}  // namespace salvoran::cli
