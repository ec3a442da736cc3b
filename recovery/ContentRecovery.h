#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string_view>
#include <vector>

#include "engine/VolumeGeometry.h"
#include "engine/VolumeSource.h"
#include "recovery/ContentReader.h"
#include "recovery/ContentSink.h"
#include "recovery/OutputFile.h"

namespace salvoran {

// Told the number of bytes just restored (written, or skipped as a hole), for a progress report.
using ContentProgress = std::function<void(uint64_t bytes)>;

// Writes the content of the free file record at recordOffset to target: the unnamed $DATA, or
// the named stream streamName, gathered across the file's records; resident content, or the
// clusters its runs name (holes, and the bytes past the initialized size, as zeros), compressed
// units expanded; the file gets the times of the record's $STANDARD_INFORMATION. Streams through
// a bounded buffer whatever the file's size or run count. Throws EngineError with the user's
// message. Bytes the source cannot give fail the file, naming them; given unreadable, the restore
// keeps going instead, with zeros there, and lists those stretches of the file in it.
void RecoverFileContent(VolumeSource& volume, const VolumeGeometry& geometry, int64_t recordOffset,
                        const std::filesystem::path& target, OutputFile::ExistingTarget existing,
                        const ContentProgress& progress = {}, std::u16string_view streamName = {},
                        std::vector<ByteRange>* unreadable = nullptr);
void RecoverFileContent(VolumeSource& volume, const VolumeGeometry& geometry, int64_t recordOffset,
                        const RestoreTarget& target, OutputFile::ExistingTarget existing,
                        const ContentProgress& progress = {}, std::u16string_view streamName = {},
                        std::vector<ByteRange>* unreadable = nullptr);

// No cut: the whole content.
inline constexpr uint64_t AllContent = UINT64_MAX;

// The same into any sink. openSink is called once every check that can refuse the file has
// passed, so a hostile or unrestorable record fails before any output exists. Content past
// firstBytes is not read: the sink gets a length of at most that, for a look at a file's start.
void RecoverFileContent(VolumeSource& volume, const VolumeGeometry& geometry, int64_t recordOffset,
                        const std::function<ContentSink&()>& openSink, std::u16string_view streamName = {},
                        uint64_t firstBytes = AllContent, std::vector<ByteRange>* unreadable = nullptr);

// The content of a carved file: the bytes [offset, offset + length) of the whole source, as they
// stand (no times to keep). A range past the source's end is refused (EngineError) before the
// sink is opened; bytes the source cannot give go to unreadable's rule as above.
void RecoverSourceRange(VolumeSource& source, uint64_t offset, uint64_t length,
                        const std::function<ContentSink&()>& openSink, uint64_t firstBytes = AllContent,
                        std::vector<ByteRange>* unreadable = nullptr);
void RecoverSourceRange(VolumeSource& source, uint64_t offset, uint64_t length, const RestoreTarget& target,
                        OutputFile::ExistingTarget existing, const ContentProgress& progress = {},
                        std::vector<ByteRange>* unreadable = nullptr);

}  // namespace salvoran
