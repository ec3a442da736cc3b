#pragma once

#include <QMetaType>
#include <QString>
#include <vector>

#include "engine/DriveList.h"
#include "engine/VolumeLocation.h"

Q_DECLARE_METATYPE(salvoran::VolumeLocation)

namespace salvoran {

// One entry of the drive box: what a person recognises, and what is scanned.
struct DriveChoice {
  QString Caption;
  VolumeLocation Location;
};

// "/dev/sdb1 — DATA (465.8 GB)": the device, its label when it has one, its size when known.
DriveChoice ChoiceOfDrive(const DriveEntry& drive);

// The volumes of an image file or device given by path: each NTFS partition of a disk image
// ("disk.img — partition 2 — DATA (32.0 MB)"), or the path itself, when it is a volume, holds no
// partition table or cannot be read now (the scan then says why).
std::vector<DriveChoice> ChoicesOfImage(const QString& path);

}  // namespace salvoran
