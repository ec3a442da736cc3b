#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/VolumeGeometry.h"
#include "recovery/ContentRecovery.h"
#include "recovery/OutputFile.h"

namespace salvoran {

// Restores one file of the last scan's volume (geometry.DrivePath) to TargetPath: its content,
// or its named stream streamName. Answers the full failure text ("For some reason, ... can not
// be recovied!" and the cause), or nothing when every byte was written. progress, when given,
// hears of every stretch restored. A restore asked to stop throws RestoreStopped instead: that is
// no failure of the file. Given unreadable, bytes the source cannot give are restored as zeros and
// listed there instead of failing the file.
std::optional<std::string> TryRecoverFile(const VolumeGeometry& geometry, const std::filesystem::path& TargetPath,
                                          int64_t RecordOffset,
                                          OutputFile::ExistingTarget existing = OutputFile::ExistingTarget::Replace,
                                          const ContentProgress& progress = {}, std::u16string_view streamName = {},
                                          std::vector<ByteRange>* unreadable = nullptr);
// The same into a target of a RestoreFolder.
std::optional<std::string> TryRecoverFile(const VolumeGeometry& geometry, const RestoreTarget& target,
                                          int64_t RecordOffset,
                                          OutputFile::ExistingTarget existing = OutputFile::ExistingTarget::Keep,
                                          const ContentProgress& progress = {}, std::u16string_view streamName = {},
                                          std::vector<ByteRange>* unreadable = nullptr);

// The same for a carved file: the bytes [offset, offset + length) of the source sourcePath.
std::optional<std::string> TryRecoverCarvedFile(const std::string& sourcePath, uint64_t offset, uint64_t length,
                                                const RestoreTarget& target,
                                                OutputFile::ExistingTarget existing = OutputFile::ExistingTarget::Keep,
                                                const ContentProgress& progress = {},
                                                std::vector<ByteRange>* unreadable = nullptr);

}  // namespace salvoran
