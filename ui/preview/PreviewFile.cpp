#include "ui/preview/PreviewFile.h"

#include <optional>

#include "ui/QtText.h"
#include "ui/preview/PreviewCaptions.h"

namespace salvoran {
namespace {

QString OriginOf(int64_t recordOffset, const VolumeGeometry& volume) {
  const std::optional<uint64_t> mftByte =
      recordOffset < 0 ? std::nullopt : volume.Mft.MftByteAt(static_cast<uint64_t>(recordOffset));
  if (!mftByte || volume.FileRecordSize == 0) {
    return ToQString(strings::PreviewOriginOffsetText).arg(recordOffset);
  }
  return ToQString(strings::PreviewOriginText).arg(*mftByte / volume.FileRecordSize);
}

}  // namespace

PreviewFile PreviewFileOf(const ResultNode& node, const VolumeGeometry& volume) {
  const TDeletedFileData& data = node.Data();
  return {data.FileName,
          node.Folder().Text,
          data.FileSize,
          node.Clusters(),
          OriginOf(data.RecordOffset, volume),
          {data.RecordOffset, {}},
          volume};
}

}  // namespace salvoran
