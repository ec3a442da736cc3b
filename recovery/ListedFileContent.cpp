#include "recovery/ListedFileContent.h"

#include "engine/EngineError.h"
#include "engine/VolumeLocation.h"
#include "support/Messages.h"

namespace salvoran {

void ReadListedFileContent(VolumeSource& volume, const VolumeGeometry& geometry, const ListedFileRef& file,
                           ContentSink& sink, uint64_t firstBytes) {
  if (file.CarvedLength != 0) {
    OpenResult opened = OpenSource(geometry.DrivePath.Path);
    if (!opened.Volume) throw EngineError(OpenFailureText(messages::OpenToRecoverFailed, opened));
    RecoverSourceRange(*opened.Volume, static_cast<uint64_t>(file.RecordOffset), file.CarvedLength,
                       [&sink]() -> ContentSink& { return sink; }, firstBytes);
    return;
  }
  RecoverFileContent(
      volume, geometry, file.RecordOffset, [&sink]() -> ContentSink& { return sink; }, file.Stream, firstBytes);
}

}  // namespace salvoran
