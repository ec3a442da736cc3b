#pragma once

#include "engine/VolumeGeometry.h"
#include "engine/VolumeSource.h"

namespace salvoran {

// Reads the boot sector and MFT record 0 of an open volume and fills the geometry (all but
// DrivePath), writing the two diagnostic lines. Throws EngineError with the user's message.
void ReadVolumeGeometry(VolumeSource& volume, VolumeGeometry& geometry);

}  // namespace salvoran
