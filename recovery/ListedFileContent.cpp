#include "recovery/ListedFileContent.h"

namespace salvoran {

void ReadListedFileContent(VolumeSource& volume, const VolumeGeometry& geometry, const ListedFileRef& file,
                           ContentSink& sink, uint64_t firstBytes) {
  RecoverFileContent(
      volume, geometry, file.RecordOffset, [&sink]() -> ContentSink& { return sink; }, file.Stream, firstBytes);
}

}  // namespace salvoran
