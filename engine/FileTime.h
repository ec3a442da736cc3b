#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace salvoran {

// An NTFS file time (100 ns units since 1601-01-01 UTC) as a local date-time of the current
// time zone, with the daylight-saving rule in force on that date. Values the platform cannot
// convert give 0.
double FileTimeToLocalDateTime(uint64_t fileTime);

// The same conversion for many file times in one time zone: the C library is asked for the
// zone's offset once per day met rather than once per value, since a scan converts two times per
// file. Days with a change of offset, and zones that count leap seconds, go the slow way.
class LocalTimeConverter {
 public:
  double ToLocalDateTime(uint64_t fileTime);

 private:
  struct DayOffset {
    int64_t Day = INT64_MIN;  // days since 1970-01-01, UTC
    int64_t OffsetSeconds = 0;
    bool Uniform = false;  // one offset the whole day
  };
  static DayOffset Measure(int64_t day);

  static constexpr size_t CachedDays = 4096;  // 11 years of distinct days
  std::vector<DayOffset> days_ = std::vector<DayOffset>(CachedDays);
};

// A file time as seconds since 1970-01-01 UTC (negative before it) and the 100 ns ticks past
// that second, as the platform's file times count.
struct UnixTime {
  int64_t Seconds = 0;
  uint32_t Ticks = 0;
};
UnixTime FileTimeToUnix(uint64_t fileTime);
// The file time of a Unix time in seconds; 0 before 1601.
uint64_t UnixSecondsToFileTime(int64_t seconds);

// A time as ISO text, held in place rather than allocated: a listing of a million files formats
// four per file.
class IsoUtcText {
 public:
  std::string_view View() const { return {text_, length_}; }
  explicit operator std::string_view() const { return View(); }
  friend bool operator==(const IsoUtcText& text, std::string_view other) { return text.View() == other; }

 private:
  friend IsoUtcText FileTimeToIsoUtc(uint64_t fileTime);
  char text_[32] = {};  // a year of up to 5 digits, and more room than that
  size_t length_ = 0;
};

// "2024-05-01T12:34:56.789Z"; the same conversion limits as above give an empty text.
IsoUtcText FileTimeToIsoUtc(uint64_t fileTime);

}  // namespace salvoran
