#include <cstdio>

#include "cli/Commands.h"
#include "engine/DriveList.h"

namespace salvoran::cli {

int RunDrives() {
  for (const std::string& drive : ListFixedNtfsVolumes()) std::printf("%s\n", drive.c_str());
  return AllWell;
}

}  // namespace salvoran::cli
