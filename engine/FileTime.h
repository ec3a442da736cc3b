#pragma once

#include <cstdint>
#include <string>

namespace salvoran {

// An NTFS file time (100 ns units since 1601-01-01 UTC) as a local date-time of the current
// time zone, with the daylight-saving rule in force on that date. Values the platform cannot
// convert give 0.
double FileTimeToLocalDateTime(uint64_t fileTime);

// "2024-05-01T12:34:56.789Z"; the same conversion limits as above give an empty string.
std::string FileTimeToIsoUtc(uint64_t fileTime);

}  // namespace salvoran
