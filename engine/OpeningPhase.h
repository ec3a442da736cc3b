#pragma once

#include <memory>

#include "engine/VolumeGeometry.h"
#include "engine/VolumeSource.h"

namespace salvoran {

// Opens the volume read-only for a scan, or throws EngineError "Fail to open the driver to scan:
// <system text>".
std::unique_ptr<VolumeSource> OpenVolumeToScan(const VolumeLocation& location);

// Reads the boot sector and MFT record 0 of an open volume and fills the geometry (all but
// DrivePath), writing the two diagnostic lines. Throws EngineError with the user's message.
void ReadVolumeGeometry(VolumeSource& volume, VolumeGeometry& geometry);

}  // namespace salvoran
