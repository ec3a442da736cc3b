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

template <typename Target>
std::optional<std::string> TryRecoverTo(const VolumeGeometry& geometry, const Target& target, int64_t RecordOffset,
                                        OutputFile::ExistingTarget existing, const ContentProgress& progress,
                                        std::u16string_view streamName, std::vector<ByteRange>* unreadable) {
  std::string cause;
  try {
    OpenResult opened = OpenVolumeAt(geometry.DrivePath);
    if (!opened.Volume) throw EngineError(OpenFailureText(messages::OpenToRecoverFailed, opened));
    RecoverFileContent(*opened.Volume, geometry, RecordOffset, target, existing, progress, streamName, unreadable);
    return std::nullopt;
  } catch (const EngineError& error) {
    cause = error.what();
    if (!error.Detail().empty()) DebugTrace("recovery of record at " + std::to_string(RecordOffset) + ": " + error.Detail());
  } catch (const std::bad_alloc&) {
    cause = messages::RunReadFailed;
  }
  return std::string(strings::RecoverFailedMessage) + cause;
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

}  // namespace salvoran
