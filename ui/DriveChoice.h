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
// ("disk.img — partition 2 — DATA (32.0 MB)"); else the image file with its label and size
// ("volume.img — DATA (64.0 MB)"); else the path alone, for a device or a file that cannot be
// read now (the scan then says why).
std::vector<DriveChoice> ChoicesOfImage(const QString& path);

}  // namespace salvoran
