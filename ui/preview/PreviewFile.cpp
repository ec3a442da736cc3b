#include "ui/preview/PreviewFile.h"

#include <optional>

#include "support/StringTable.h"
#include "ui/QtText.h"
#include "ui/preview/PreviewCaptions.h"

namespace salvoran {
namespace {

QString OriginOf(const TDeletedFileData& data, const VolumeGeometry& volume) {
  const int64_t recordOffset = data.RecordOffset;
  if (data.Origin == FileOrigin::Carved) return ToQString(strings::PreviewCarvedOriginText).arg(recordOffset);
  const std::optional<uint64_t> mftByte =
      recordOffset < 0 ? std::nullopt : volume.Mft.MftByteAt(static_cast<uint64_t>(recordOffset));
  const QString origin = !mftByte || volume.FileRecordSize == 0
                             ? ToQString(strings::PreviewOriginOffsetText).arg(recordOffset)
                             : ToQString(strings::PreviewOriginText).arg(*mftByte / volume.FileRecordSize);
  // A found file's record is one of an MFT no longer in use.
  return data.Origin == FileOrigin::Found ? origin + ToQString(strings::FoundStateSuffix) : origin;
}

}  // namespace

PreviewFile PreviewFileOf(const ResultNode& node, const VolumeGeometry& volume) {
  const TDeletedFileData& data = node.Data();
  return {data.FileName,
          node.Folder().Text,
          data.FileSize,
          node.Clusters(),
          OriginOf(data, volume),
          {data.RecordOffset, {}, data.Origin == FileOrigin::Carved ? static_cast<uint64_t>(data.FileSize) : 0},
          volume};
}

}  // namespace salvoran
