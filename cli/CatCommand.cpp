#include <unistd.h>

#include <cstdio>
#include <memory>
#include <optional>

#include "cli/Commands.h"
#include "cli/SourceChoice.h"
#include "cli/StdoutSink.h"
#include "cli/TerminalText.h"
#include "engine/DeletedFileScan.h"
#include "engine/EngineError.h"
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

// The volume and the file the record describes, when it is a deleted file; prints why not.
std::optional<OpenedFile> OpenFile(const CatOptions& options, const VolumeLocation& location) {
  OpenedFile opened;
  opened.Geometry.DrivePath = location;
  try {
    opened.Volume = OpenVolumeToScan(location);
    ReadVolumeGeometry(*opened.Volume, opened.Geometry);
    opened.File = DeletedFileReader(*opened.Volume, opened.Geometry).Read(options.Record);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", TerminalText(error.what()).c_str());
    return std::nullopt;
  }
  return opened;
}

// The record's content, or the stream the options name; throws when the file has no such stream.
ListedFileRef ContentOf(const FoundFile& file, const CatOptions& options) {
  ListedFileRef content{file.Data.RecordOffset, {}};
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
  const std::optional<VolumeLocation> location = ChooseVolume(options.Source, options.Partition);
  if (!location) return UsageOrSourceError;
  std::optional<OpenedFile> opened = OpenFile(options, *location);
  if (!opened) return UsageOrSourceError;
  if (!opened->File) {
    std::fprintf(stderr, "Record %lld is not a deleted file of this volume.\n", static_cast<long long>(options.Record));
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
    std::fprintf(stderr, "failed    %8lld  %s: %s\n", static_cast<long long>(options.Record), name.c_str(),
                 TerminalText(error.what()).c_str());
    return SomeFilesFailed;
  }
  return AllWell;
}

}  // namespace salvoran::cli
