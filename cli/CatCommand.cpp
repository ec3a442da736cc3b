#include <unistd.h>

#include <cstdio>
#include <memory>
#include <optional>

#include "cli/Commands.h"
#include "cli/SourceChoice.h"
#include "cli/StdoutSink.h"
#include "cli/TerminalText.h"
#include "engine/CarvedFileProbe.h"
#include "engine/DeletedFileScan.h"
#include "engine/EngineError.h"
#include "engine/FileId.h"
#include "engine/FileNameText.h"
#include "engine/OpeningPhase.h"
#include "recovery/ListedFileContent.h"
#include "recovery/MemorySink.h"
#include "support/Messages.h"
#include "support/TextDetection.h"

namespace salvoran::cli {
namespace {

// Enough of the start to tell text from binary.
constexpr uint64_t TerminalSampleBytes = 64 * 1024;

struct OpenedFile {
  std::unique_ptr<VolumeSource> Volume;
  VolumeGeometry Geometry;
  std::optional<FoundFile> File;
};

// The volume and the file the record or id names, when it is a deleted or carved file; prints
// why not. A carved file needs no volume that can be scanned: its content is a range of the source.
std::optional<OpenedFile> OpenFile(const FileId& id, const VolumeLocation& location) {
  OpenedFile opened;
  opened.Geometry.DrivePath = location;
  try {
    opened.Volume = OpenVolumeToScan(location);
    if (id.Origin != FileOrigin::Carved) {
      ReadVolumeGeometry(*opened.Volume, opened.Geometry);
      opened.File = DeletedFileReader(*opened.Volume, opened.Geometry).Read(id.Record);
      return opened;
    }
    bool scanned = true;
    try {
      ReadVolumeGeometry(*opened.Volume, opened.Geometry);
    } catch (const EngineError&) {
      scanned = false;
    }
    OpenResult source = OpenSource(location.Path);
    if (!source.Volume) throw EngineError(OpenFailureText(messages::OpenToScanFailed, source));
    opened.File = ProbeCarvedFile(*source.Volume, id.RecordSourceOffset, id.Length, scanned ? &opened.Geometry : nullptr);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", TerminalText(error.what()).c_str());
    return std::nullopt;
  }
  return opened;
}

// The file's content, or the stream the options name; throws when the file has no such stream.
ListedFileRef ContentOf(const FoundFile& file, const CatOptions& options) {
  const bool carved = file.Data.Origin == FileOrigin::Carved;
  ListedFileRef content{file.Data.RecordOffset, {}, carved ? static_cast<uint64_t>(file.Data.FileSize) : 0};
  if (options.Stream.empty()) return content;
  for (const NamedStream& stream : file.Streams) {
    if (ToUtf8(stream.Name) == options.Stream) content.Stream = stream.Name;
  }
  if (content.Stream.empty()) throw EngineError(messages::NoSuchStream);
  return content;
}

bool StartsAsBinary(VolumeSource& volume, const VolumeGeometry& geometry, const ListedFileRef& content) {
  MemorySink start;
  ReadListedFileContent(volume, geometry, content, start, TerminalSampleBytes);
  return DetectTextEncoding(start.Bytes(), true) == TextEncoding::Binary;
}

}  // namespace

int RunCat(const CatOptions& options) {
  FileId id;
  id.Record = options.Record;
  if (!options.Id.empty()) {
    const std::optional<FileId> parsed = ParseFileId(options.Id);
    if (!parsed || parsed->Origin == FileOrigin::Found) {
      std::fprintf(stderr,
                   "cat: \"%s\" is no id cat takes: give r70 or a carved file's c3c0000-1f3a from a scan's listing "
                   "(a found file's is restored with recover --id).\n",
                   TerminalText(options.Id).c_str());
      return UsageOrSourceError;
    }
    id = *parsed;
  }
  const std::optional<VolumeLocation> location = options.Deep || !options.Id.empty()
                                                     ? ChooseVolumeToDeepScan(options.Source, options.Partition)
                                                     : ChooseVolume(options.Source, options.Partition);
  if (!location) return UsageOrSourceError;
  std::optional<OpenedFile> opened = OpenFile(id, *location);
  if (!opened) return UsageOrSourceError;
  if (!opened->File) {
    if (id.Origin == FileOrigin::Carved) {
      std::fprintf(stderr, "%s is not a file of this source.\n", TerminalText(options.Id).c_str());
    } else {
      std::fprintf(stderr, "Record %lld is not a deleted file of this volume.\n", static_cast<long long>(id.Record));
    }
    return SomeFilesFailed;
  }
  const std::string name = TerminalText(ToUtf8(opened->File->Data.FileName));
  try {
    const ListedFileRef content = ContentOf(*opened->File, options);
    if (!options.Force && ::isatty(STDOUT_FILENO) == 1 && StartsAsBinary(*opened->Volume, opened->Geometry, content)) {
      std::fprintf(stderr,
                   "%s is not text: it is not written to the terminal. Redirect the output to a file or a program, "
                   "or pass --force.\n",
                   name.c_str());
      return UsageOrSourceError;
    }
    StdoutSink output;
    ReadListedFileContent(*opened->Volume, opened->Geometry, content, output);
  } catch (const EngineError& error) {
    const std::string column = options.Id.empty() ? std::to_string(id.Record) : options.Id;
    std::fprintf(stderr, "failed    %8s  %s: %s\n", column.c_str(), name.c_str(),
                 TerminalText(error.what()).c_str());
    return SomeFilesFailed;
  }
  return AllWell;
}

}  // namespace salvoran::cli
