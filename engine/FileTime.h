#pragma once

#include <cstdint>
#include <string>

namespace salvoran {

// An NTFS file time (100 ns units since 1601-01-01 UTC) as a local date-time of the current
// time zone, with the daylight-saving rule in force on that date. Values the platform cannot
// convert give 0.
double FileTimeToLocalDateTime(uint64_t fileTime);

// A file time as seconds since 1970-01-01 UTC (negative before it) and the 100 ns ticks past
// that second, as the platform's file times count.
struct UnixTime {
  int64_t Seconds = 0;
  uint32_t Ticks = 0;
};
UnixTime FileTimeToUnix(uint64_t fileTime);
// The file time of a Unix time in seconds; 0 before 1601.
uint64_t UnixSecondsToFileTime(int64_t seconds);

// "2024-05-01T12:34:56.789Z"; the same conversion limits as above give an empty string.
std::string FileTimeToIsoUtc(uint64_t fileTime);

}  // namespace salvoran
