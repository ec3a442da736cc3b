#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>

#include "engine/VolumeGeometry.h"
#include "engine/VolumeSource.h"
#include "recovery/ContentSink.h"
#include "recovery/OutputFile.h"

namespace salvoran {

// Told the number of bytes just restored (written, or skipped as a hole), for a progress report.
using ContentProgress = std::function<void(uint64_t bytes)>;

// Writes the content of the free file record at recordOffset to target: resident content, or
// the clusters its runs name (holes as zeros), cut or padded to the data size. Streams through
// a bounded buffer whatever the file's size. Throws EngineError with the user's message.
void RecoverFileContent(VolumeSource& volume, const VolumeGeometry& geometry, int64_t recordOffset,
                        const std::filesystem::path& target, OutputFile::ExistingTarget existing,
                        const ContentProgress& progress = {});

// The same into any sink. openSink is called once the record has been decoded, so a hostile
// record fails before any output exists.
void RecoverFileContent(VolumeSource& volume, const VolumeGeometry& geometry, int64_t recordOffset,
                        const std::function<ContentSink&()>& openSink);

}  // namespace salvoran
