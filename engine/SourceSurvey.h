#pragma once

#include "engine/FoundMfts.h"
#include "engine/MftsInUse.h"
#include "engine/VolumeLocation.h"

namespace salvoran {

// What is known of a source before the records found in it are placed: the volume that was
// scanned, the other NTFS partitions its table names, and the MFTs they use now.
struct SourceSurvey {
  FoundRecordContext Context;  // without the volumes found by boot sector: those come from the read
  MftsInUse InUse;
};

// source is the whole source that location names a volume of; scanned is the geometry the scan of
// that volume read, or null when it could not be read. The survey keeps a pointer to it.
void SurveySource(VolumeSource& source, const VolumeLocation& location, const VolumeGeometry* scanned,
                  SourceSurvey& survey);

}  // namespace salvoran
