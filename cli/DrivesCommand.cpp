#include <cstdio>

#include "cli/Commands.h"
#include "engine/DriveList.h"

namespace salvoran::cli {

int RunDrives() {
  for (const DriveEntry& drive : ListFixedNtfsVolumes()) std::printf("%s\n", drive.DevicePath.c_str());
  return AllWell;
}

}  // namespace salvoran::cli
