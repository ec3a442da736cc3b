#pragma once

#include <memory>
#include <string>

#include "engine/VolumeGeometry.h"
#include "engine/VolumeSource.h"

namespace salvoran {

// Opens a block device or image file read-only for a scan, or throws EngineError "Fail to open
// the driver to scan: <system text>".
std::unique_ptr<VolumeSource> OpenVolumeToScan(const std::string& drivePath);

// Reads the boot sector and MFT record 0 of an open volume and fills the geometry (all but
// DrivePath), writing the two diagnostic lines. Throws EngineError with the user's message.
void ReadVolumeGeometry(VolumeSource& volume, VolumeGeometry& geometry);

}  // namespace salvoran
