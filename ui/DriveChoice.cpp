#include "ui/DriveChoice.h"

#include <QFile>
#include <QFileInfo>

#include "engine/DiskLayout.h"
#include "support/FormatFileSize.h"
#include "support/StringTable.h"
#include "ui/QtText.h"

namespace salvoran {
namespace {

const QString CaptionSeparator = QStringLiteral(" \u2014 ");

QString Caption(const QString& path, const QString& partition, const std::string& label, uint64_t size) {
  QString caption = path;
  if (!partition.isEmpty()) caption += CaptionSeparator + partition;
  if (!label.empty()) caption += CaptionSeparator + ToQString(label);
  if (size != 0) caption += QStringLiteral(" (%1)").arg(ToQString(FormatFileSize(static_cast<int64_t>(size))));
  return caption;
}

}  // namespace

DriveChoice ChoiceOfDrive(const DriveEntry& drive) {
  const QString path = QFile::decodeName(drive.DevicePath.c_str());
  return {Caption(path, {}, drive.Label, drive.Size), VolumeLocation(drive.DevicePath)};
}

std::vector<DriveChoice> ChoicesOfImage(const QString& path) {
  const std::string encoded = QFile::encodeName(path).toStdString();
  // Only image files are looked into here: a device may need the user's permission to read.
  const OpenResult opened = QFileInfo(path).isFile() ? OpenSource(encoded) : OpenResult{};
  if (!opened.Volume) return {{path, VolumeLocation(encoded)}};
  std::vector<DriveChoice> choices;
  const std::optional<PartitionTable> table = ReadDiskLayout(*opened.Volume);
  for (const DiskPartition* partition : table ? NtfsPartitions(*table) : std::vector<const DiskPartition*>()) {
    const QString number = ToQString(strings::PartitionCaption) + QStringLiteral(" %1").arg(partition->Span.Number);
    choices.push_back({Caption(path, number, partition->Label, partition->Span.Size),
                       VolumeLocation(encoded, partition->Span)});
  }
  // A volume image shows its label and size as a partition does.
  if (choices.empty()) {
    const QString caption = Caption(path, {}, ReadVolumeLabel(*opened.Volume), opened.Volume->Size());
    choices.push_back({caption, VolumeLocation(encoded)});
  }
  return choices;
}

}  // namespace salvoran
