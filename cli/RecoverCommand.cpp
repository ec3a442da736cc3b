#include <string.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <memory>
#include <nlohmann/json.hpp>
#include <system_error>

#include "cli/Commands.h"
#include "cli/JsonText.h"
#include "cli/ProgressLine.h"
#include "cli/ScanCollector.h"
#include "cli/SourceChoice.h"
#include "cli/TerminalText.h"
#include "engine/CarvedFileProbe.h"
#include "engine/EngineError.h"
#include "engine/DeepScan.h"
#include "engine/FileId.h"
#include "engine/FileNameText.h"
#include "engine/FoundFileProbe.h"
#include "engine/OpeningPhase.h"
#include "engine/SourceDevice.h"
#include "recovery/RecoverFile.h"
#include "recovery/RestoreFolder.h"
#include "recovery/RestoreStop.h"
#include "recovery/StopSignals.h"
#include "support/Messages.h"
#include "support/StringTable.h"

namespace salvoran::cli {
namespace {

constexpr int SignalExitBase = 128;

struct RecoverResult {
  int64_t Record = 0;
  std::string Id;  // as the listing gives it: the record's column of a found file
  std::string Name;
  std::string Path;
  std::optional<std::string> Error;
  uint64_t OverwrittenClusters = 0;
  uint64_t Clusters = 0;
  std::vector<ByteRange> Damaged{};  // with --keep-going: what the source could not give, now zeros
};

// A line lists this many unreadable stretches at most; the JSON has them all.
constexpr size_t StretchesShown = 8;

// A file to restore, or a record or id asked for that is no file of the source.
struct RestoreItem {
  int64_t Record = 0;
  std::string Id;  // as asked for, when the file was asked for by id
  std::optional<FoundFile> File;
};

struct RestorePlan {
  VolumeGeometry Geometry;
  std::vector<RestoreItem> Items;
};

class PlanSink : public ListedFileSink {
 public:
  explicit PlanSink(RestorePlan& plan) : plan_(plan) {}
  void Add(FoundFile&& file) override { plan_.Items.push_back({file.RecordIndex, {}, std::move(file)}); }

 private:
  RestorePlan& plan_;
};

// The id a found file is known by; empty for a file of the MFT in use, known by its record.
std::string ColumnId(const FoundFile& file) { return file.Data.Origin != FileOrigin::Mft ? FileIdOf(file) : std::string(); }

// A found file asked for by id, and what reading it where the id says gave.
struct AskedFoundFile {
  std::string Text;
  FileId Id;
  ProbedFile Probed;
};

// Takes the files of a deep scan whose ids were asked for and could not be read on their own.
class IdCollector : public ScanObserver {
 public:
  explicit IdCollector(std::vector<AskedFoundFile>& asked) : asked_(asked) {}
  void ScanStarted(const VolumeGeometry&) override {}
  void Progress(int32_t) override {}
  bool StopRequested() override { return RestoreStopRequested(); }
  void FileFound(FoundFile&& file) override {
    if (file.Data.Origin != FileOrigin::Found) return;
    const std::optional<FileId> id = ParseFileId(FileIdOf(file));
    for (AskedFoundFile& asked : asked_) {
      if (asked.Probed.NeedsWholeSource && !asked.Probed.File && id &&
          asked.Id.RecordSourceOffset == id->RecordSourceOffset && asked.Id.VolumeOffset == id->VolumeOffset) {
        asked.Probed.File = file;
      }
    }
  }

 private:
  std::vector<AskedFoundFile>& asked_;
};

// Every file a scan lists.
std::optional<RestorePlan> PlanAll(const RecoverOptions& options, const VolumeLocation& volume) {
  RestorePlan plan;
  PlanSink sink(plan);
  ScanCollector collector(options.Filter, sink);
  ScanSummary summary;
  if (!CollectScan(volume, plan.Geometry, collector, summary, options.Deep)) return std::nullopt;
  return plan;
}

// The ids asked for, as records of the MFT in use, found records and carved files; ids of no
// kind are refused before anything is read.
struct AskedIds {
  std::vector<std::pair<std::string, int64_t>> Records;
  std::vector<std::pair<std::string, FileId>> Found;
  std::vector<std::pair<std::string, FileId>> Carved;
};

std::optional<AskedIds> SortIds(const std::vector<std::string>& ids) {
  AskedIds sorted;
  for (const std::string& text : ids) {
    const std::optional<FileId> id = ParseFileId(text);
    if (!id) {
      std::fprintf(stderr,
                   "recover: \"%s\" is no file id: give one from a scan's listing (r70, f1a2b400, c3c0000-1f3a).\n",
                   TerminalText(text).c_str());
      return std::nullopt;
    }
    if (id->Origin == FileOrigin::Mft) {
      sorted.Records.emplace_back(text, id->Record);
    } else if (id->Origin == FileOrigin::Carved) {
      sorted.Carved.emplace_back(text, *id);
    } else {
      sorted.Found.emplace_back(text, *id);
    }
  }
  return sorted;
}

// The found files asked for by id: each read where its id says, with the records it needs around
// it; when one of those is not where its MFT is guessed to lie, the deep scan reads the whole
// source once and the files are taken from its listing.
void PlanFoundIds(const std::vector<std::pair<std::string, FileId>>& ids, const VolumeLocation& location,
                  const VolumeGeometry* scanned, RestorePlan& plan) {
  if (ids.empty()) return;
  OpenResult opened = OpenSource(location.Path);
  if (!opened.Volume) throw EngineError(OpenFailureText(messages::OpenToScanFailed, opened));
  SourceSurvey survey;
  SurveySource(*opened.Volume, location, scanned, survey);
  std::vector<AskedFoundFile> asked;
  bool needsWholeSource = false;
  for (const auto& [text, id] : ids) {
    asked.push_back({text, id, ProbeFoundFile(*opened.Volume, survey, id.RecordSourceOffset, id.VolumeOffset)});
    needsWholeSource = needsWholeSource || asked.back().Probed.NeedsWholeSource;
  }
  if (needsWholeSource) {
    std::fprintf(stderr, "%s\n", std::string(messages::IdNeedsDeepScan).c_str());
    IdCollector collector(asked);
    VolumeGeometry geometry;
    DeepScanDrive(location, geometry, collector);
  }
  for (AskedFoundFile& file : asked) {
    const int64_t record = file.Probed.File ? file.Probed.File->RecordIndex : 0;
    plan.Items.push_back({record, file.Text, std::move(file.Probed.File)});
  }
}

// The carved files asked for by id, each checked again where its id says.
void PlanCarvedIds(const std::vector<std::pair<std::string, FileId>>& ids, const VolumeLocation& location,
                   const VolumeGeometry* scanned, RestorePlan& plan) {
  if (ids.empty()) return;
  OpenResult opened = OpenSource(location.Path);
  if (!opened.Volume) throw EngineError(OpenFailureText(messages::OpenToScanFailed, opened));
  for (const auto& [text, id] : ids)
    plan.Items.push_back({0, text, ProbeCarvedFile(*opened.Volume, id.RecordSourceOffset, id.Length, scanned)});
}

// Just the records and files asked for, each read on its own: no scan of the whole MFT.
std::optional<RestorePlan> PlanRecords(const RecoverOptions& options, const VolumeLocation& location) {
  const std::optional<AskedIds> ids = SortIds(options.Ids);
  if (!ids) return std::nullopt;
  RestorePlan plan;
  plan.Geometry.DrivePath = location;
  try {
    std::unique_ptr<VolumeSource> volume = OpenVolumeToScan(location);
    bool scanned = false;
    try {
      ReadVolumeGeometry(*volume, plan.Geometry);
      PrintRepairNotes(plan.Geometry);
      scanned = true;
    } catch (const EngineError&) {
      // Found files need no MFT in use; records of it do.
      if (!options.Records.empty() || !ids->Records.empty()) throw;
    }
    if (scanned) {
      DeletedFileReader files(*volume, plan.Geometry);
      for (int64_t record : options.Records) plan.Items.push_back({record, {}, files.Read(record)});
      for (const auto& [text, record] : ids->Records) plan.Items.push_back({record, text, files.Read(record)});
    }
    PlanFoundIds(ids->Found, location, scanned ? &plan.Geometry : nullptr, plan);
    PlanCarvedIds(ids->Carved, location, scanned ? &plan.Geometry : nullptr, plan);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", TerminalText(error.what()).c_str());
    return std::nullopt;
  }
  return plan;
}

// Made only once the source has proved readable, so a wrong source leaves nothing behind.
bool MakeOutputFolder(const std::string& folder) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (!error) return true;
  std::fprintf(stderr, "Cannot create the output folder \"%s\": %s\n", TerminalText(folder).c_str(),
               error.message().c_str());
  return false;
}

// The named stream the options ask for, or nothing when they ask for the file's content.
const NamedStream* ChosenStream(const FoundFile& file, const RecoverOptions& options) {
  for (const NamedStream& stream : file.Streams) {
    if (ToUtf8(stream.Name) == options.Stream) return &stream;
  }
  return nullptr;
}

RecoverResult RestoreOne(const FoundFile& file, const RecoverOptions& options, const VolumeGeometry& scanned,
                         RestoreFolder& output, const ContentProgress& progress) {
  RecoverResult result{file.RecordIndex, ColumnId(file), ToUtf8(file.Data.FileName), {}, {}, file.OverwrittenClusters,
                       file.Clusters};
  // A found file is read through the MFT it was found in.
  const VolumeGeometry& geometry = file.FoundIn ? *file.FoundIn : scanned;
  const NamedStream* stream = options.Stream.empty() ? nullptr : ChosenStream(file, options);
  if (!options.Stream.empty() && !stream) {
    result.Error = std::string(strings::RecoverFailedMessage) + std::string(messages::NoSuchStream);
    return result;
  }
  // A stream is restored as "name_stream", beside the file's own name.
  const std::u16string name = stream ? file.Data.FileName + u"_" + stream->Name : file.Data.FileName;
  RestoreTarget target;
  try {
    target = output.TargetFor(name, options.KeepFolders ? std::optional<std::string_view>(file.Folder) : std::nullopt);
  } catch (const EngineError& error) {
    result.Error = std::string(strings::RecoverFailedMessage) + error.what();
    return result;
  }
  result.Path = target.Path.string();
  std::vector<ByteRange>* damaged = options.KeepGoing ? &result.Damaged : nullptr;
  // A carved file is a plain range of the source.
  result.Error = file.Data.Origin == FileOrigin::Carved
                     ? TryRecoverCarvedFile(scanned.DrivePath.Path, static_cast<uint64_t>(file.Data.RecordOffset),
                                            static_cast<uint64_t>(file.Data.FileSize), target,
                                            OutputFile::ExistingTarget::Keep, progress, damaged)
                     : TryRecoverFile(geometry, target, file.Data.RecordOffset, OutputFile::ExistingTarget::Keep,
                                      progress, stream ? std::u16string_view(stream->Name) : std::u16string_view(),
                                      damaged);
  // A file that failed was removed: what it met on the way is no file's damage.
  if (result.Error) result.Damaged.clear();
  return result;
}

// The bytes a restore writes: the file's content, or the stream asked for.
uint64_t ContentBytes(const FoundFile& file, const RecoverOptions& options) {
  if (!options.Stream.empty()) {
    const NamedStream* stream = ChosenStream(file, options);
    return stream ? stream->Size : 0;
  }
  return static_cast<uint64_t>(std::max<int64_t>(file.Data.FileSize, 0));
}

// Restores the items in order, with one progress line over the bytes of them all, until they
// are done or a stop is asked for; the file being written when a stop comes is removed and
// gets no result.
std::vector<RecoverResult> RestoreItems(const RestorePlan& plan, const RecoverOptions& options,
                                        RestoreFolder& output) {
  uint64_t totalBytes = 0;
  for (const RestoreItem& item : plan.Items) {
    if (item.File) totalBytes += ContentBytes(*item.File, options);
  }
  ProgressLine progress("Restoring", ProgressUnit::Bytes);
  progress.Start(totalBytes);
  uint64_t finishedBytes = 0;
  std::vector<RecoverResult> results;
  for (const RestoreItem& item : plan.Items) {
    if (RestoreStopRequested()) break;
    if (!item.File) {
      results.push_back({item.Record, item.Id, {}, {},
                         item.Id.empty() || item.Id.front() == 'r'
                             ? "Record " + std::to_string(item.Record) + " is not a deleted file of this volume."
                             : item.Id + " is not a file of this source."});
      continue;
    }
    // The content written may differ from the listed size (a short run list): the line never
    // runs ahead of the file.
    const uint64_t fileBytes = ContentBytes(*item.File, options);
    uint64_t written = 0;
    progress.Update(finishedBytes);
    try {
      results.push_back(RestoreOne(*item.File, options, plan.Geometry, output, [&](uint64_t bytes) {
        written += bytes;
        progress.Update(finishedBytes + std::min(written, fileBytes));
      }));
    } catch (const RestoreStopped&) {
      break;
    }
    finishedBytes += fileBytes;
  }
  return results;
}

std::string SignalName(int signalNumber) {
  const char* abbreviation = ::sigabbrev_np(signalNumber);
  return abbreviation ? std::string("SIG") + abbreviation : "signal " + std::to_string(signalNumber);
}

nlohmann::ordered_json RangesJson(const std::vector<ByteRange>& ranges) {
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  for (const ByteRange& range : ranges) list.push_back({{"offset", range.Offset}, {"length", range.Length}});
  return list;
}

// "bytes 0 to 32767, 65536 to 98303"
std::string RangesText(const std::vector<ByteRange>& ranges) {
  std::string text = "bytes ";
  for (size_t i = 0; i < ranges.size() && i < StretchesShown; ++i) {
    if (i > 0) text += ", ";
    text += std::to_string(ranges[i].Offset) + " to " + std::to_string(ranges[i].Offset + ranges[i].Length - 1);
  }
  if (ranges.size() > StretchesShown) text += " and " + std::to_string(ranges.size() - StretchesShown) + " more stretches";
  return text;
}

size_t CountRestored(const std::vector<RecoverResult>& results) {
  size_t restored = 0;
  for (const RecoverResult& result : results) restored += result.Error ? 0 : 1;
  return restored;
}

void PrintResults(const std::vector<RecoverResult>& results, bool json, int stopSignal) {
  if (json) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const RecoverResult& result : results) {
      list.push_back({{"record", result.Record},
                      {"id", result.Id.empty() ? "r" + std::to_string(result.Record) : result.Id},
                      {"name", result.Name},
                      {"path", result.Path},
                      {"ok", !result.Error},
                      {"error", result.Error ? nlohmann::ordered_json(*result.Error) : nlohmann::ordered_json()},
                      {"overwritten_clusters", result.OverwrittenClusters},
                      {"damaged_ranges", RangesJson(result.Damaged)}});
    }
    nlohmann::ordered_json document{{"results", list}};
    if (stopSignal != 0) document["interrupted"] = SignalName(stopSignal);
    std::printf("%s\n", JsonDocumentText(document).c_str());
    return;
  }
  for (const RecoverResult& result : results) {
    const std::string column = result.Id.empty() || result.Id.front() == 'r' ? std::to_string(result.Record) : result.Id;
    if (result.Error) {
      std::fprintf(stderr, "failed    %8s  %s: %s\n", column.c_str(), TerminalText(result.Name).c_str(),
                   TerminalText(*result.Error).c_str());
    } else {
      std::printf("restored  %8s  %s\n", column.c_str(), TerminalText(result.Path).c_str());
      if (result.OverwrittenClusters > 0) {
        std::fprintf(stderr, "warning   %8s  %s: %llu of its %llu clusters %s\n", column.c_str(),
                     TerminalText(result.Path).c_str(), static_cast<unsigned long long>(result.OverwrittenClusters),
                     static_cast<unsigned long long>(result.Clusters), std::string(messages::OverwrittenWarning).c_str());
      }
      if (!result.Damaged.empty()) {
        std::fprintf(stderr, "warning   %8lld  %s: %s %s\n", static_cast<long long>(result.Record),
                     TerminalText(result.Path).c_str(), RangesText(result.Damaged).c_str(),
                     std::string(messages::ZeroedWarning).c_str());
      }
    }
  }
  std::printf("%zu of %zu files restored.\n", CountRestored(results), results.size());
}

}  // namespace

int RunRecover(const RecoverOptions& options) {
  if (!options.Force && PathIsOnSourceDevice(options.OutputFolder, options.Source)) {
    std::fprintf(stderr,
                 "The output folder lies on %s, the volume being recovered from: writing there can overwrite the "
                 "deleted data. Choose a folder on another disk, or pass --force.\n",
                 TerminalText(options.Source).c_str());
    return UsageOrSourceError;
  }
  const std::optional<VolumeLocation> volume = options.Deep || !options.Ids.empty()
                                                   ? ChooseVolumeToDeepScan(options.Source, options.Partition)
                                                   : ChooseVolume(options.Source, options.Partition);
  if (!volume) return UsageOrSourceError;
  const std::optional<RestorePlan> plan = options.All ? PlanAll(options, *volume) : PlanRecords(options, *volume);
  if (!plan || !MakeOutputFolder(options.OutputFolder)) return UsageOrSourceError;
  std::optional<RestoreFolder> output;
  try {
    output.emplace(options.OutputFolder);
  } catch (const EngineError& error) {
    std::fprintf(stderr, "%s\n", TerminalText(error.what()).c_str());
    return UsageOrSourceError;
  }
  // From the first file on, Ctrl+C, SIGTERM and SIGHUP stop the restore without leaving a
  // partial file, and a file-size limit fails one file instead of ending the process.
  IgnoreFileSizeSignal();
  InstallStopSignals();
  const std::vector<RecoverResult> results = RestoreItems(*plan, options, *output);
  const bool interrupted = results.size() < plan->Items.size();
  const int stopSignal = interrupted ? RestoreStopSignal() : 0;
  PrintResults(results, options.Json, stopSignal);
  if (interrupted) {
    const size_t restored = CountRestored(results);
    std::fprintf(stderr,
                 "Restore interrupted by %s after %zu of %zu files (%zu restored, %zu failed); the other %zu were "
                 "not restored, and no partial file was left.\n",
                 SignalName(stopSignal).c_str(), results.size(), plan->Items.size(), restored,
                 results.size() - restored, plan->Items.size() - results.size());
    return SignalExitBase + stopSignal;
  }
  for (const RecoverResult& result : results) {
    if (result.Error || !result.Damaged.empty()) return SomeFilesFailed;
  }
  return AllWell;
}

}  // namespace salvoran::cli
