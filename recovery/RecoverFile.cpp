#include "recovery/RecoverFile.h"

#include <new>

#include "support/Diagnostics.h"
#include "support/StringTable.h"
#include "engine/EngineError.h"
#include "engine/VolumeLocation.h"
#include "recovery/ContentRecovery.h"
#include "support/Messages.h"

namespace salvoran {

namespace {

// Opens location and runs recover on it; answers the failure text, or nothing.
template <typename Recover>
std::optional<std::string> TryRecoverAt(const VolumeLocation& location, int64_t offset, const Recover& recover) {
  std::string cause;
  try {
    OpenResult opened = OpenVolumeAt(location);
    if (!opened.Volume) throw EngineError(OpenFailureText(messages::OpenToRecoverFailed, opened));
    recover(*opened.Volume);
    return std::nullopt;
  } catch (const EngineError& error) {
    cause = error.what();
    if (!error.Detail().empty()) DebugTrace("recovery of the file at " + std::to_string(offset) + ": " + error.Detail());
  } catch (const std::bad_alloc&) {
    cause = messages::RunReadFailed;
  }
  return std::string(strings::RecoverFailedMessage) + cause;
}

template <typename Target>
std::optional<std::string> TryRecoverTo(const VolumeGeometry& geometry, const Target& target, int64_t RecordOffset,
                                        OutputFile::ExistingTarget existing, const ContentProgress& progress,
                                        std::u16string_view streamName, std::vector<ByteRange>* unreadable) {
  return TryRecoverAt(geometry.DrivePath, RecordOffset, [&](VolumeSource& volume) {
    RecoverFileContent(volume, geometry, RecordOffset, target, existing, progress, streamName, unreadable);
  });
}

}  // namespace

std::optional<std::string> TryRecoverFile(const VolumeGeometry& geometry, const std::filesystem::path& TargetPath,
                                          int64_t RecordOffset, OutputFile::ExistingTarget existing,
                                          const ContentProgress& progress, std::u16string_view streamName,
                                          std::vector<ByteRange>* unreadable) {
  return TryRecoverTo(geometry, TargetPath, RecordOffset, existing, progress, streamName, unreadable);
}

std::optional<std::string> TryRecoverFile(const VolumeGeometry& geometry, const RestoreTarget& target,
                                          int64_t RecordOffset, OutputFile::ExistingTarget existing,
                                          const ContentProgress& progress, std::u16string_view streamName,
                                          std::vector<ByteRange>* unreadable) {
  return TryRecoverTo(geometry, target, RecordOffset, existing, progress, streamName, unreadable);
}

std::optional<std::string> TryRecoverCarvedFile(const std::string& sourcePath, uint64_t offset, uint64_t length,
                                                const RestoreTarget& target, OutputFile::ExistingTarget existing,
                                                const ContentProgress& progress, std::vector<ByteRange>* unreadable) {
  return TryRecoverAt(VolumeLocation(sourcePath), static_cast<int64_t>(offset), [&](VolumeSource& source) {
    RecoverSourceRange(source, offset, length, target, existing, progress, unreadable);
  });
}

}  // namespace salvoran
