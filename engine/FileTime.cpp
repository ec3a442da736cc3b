#include "engine/FileTime.h"

#include <ctime>
#include <cstdio>

#include "engine/DateTime.h"

namespace salvoran {
namespace {

constexpr uint64_t TicksPerMillisecond = 10'000;
constexpr uint64_t MillisecondsPerSecond = 1000;
constexpr int64_t SecondsFrom1601To1970 = 11'644'473'600;
// Beyond this the platform's calendar conversion is not trusted.
constexpr uint64_t LargestConvertibleFileTime = (uint64_t{1} << 63) - 1;

struct SplitTime {
  std::time_t Seconds;
  int Milliseconds;
};

SplitTime SplitFileTime(uint64_t fileTime) {
  const uint64_t milliseconds = fileTime / TicksPerMillisecond;
  return {static_cast<std::time_t>(static_cast<int64_t>(milliseconds / MillisecondsPerSecond) -
                                   SecondsFrom1601To1970),
          static_cast<int>(milliseconds % MillisecondsPerSecond)};
}

CivilDateTime ToCivil(const std::tm& parts, int milliseconds) {
  return {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour,
          parts.tm_min,         parts.tm_sec,     milliseconds};
}

}  // namespace

double FileTimeToLocalDateTime(uint64_t fileTime) {
  if (fileTime > LargestConvertibleFileTime) return 0;
  const SplitTime split = SplitFileTime(fileTime);
  std::tm local{};
  if (::localtime_r(&split.Seconds, &local) == nullptr) return 0;
  // A leap second from the platform has no place in the encoded value.
  if (local.tm_sec > 59) local.tm_sec = 59;
  return EncodeDateTime(ToCivil(local, split.Milliseconds));
}

std::string FileTimeToIsoUtc(uint64_t fileTime) {
  if (fileTime > LargestConvertibleFileTime) return {};
  const SplitTime split = SplitFileTime(fileTime);
  std::tm utc{};
  if (::gmtime_r(&split.Seconds, &utc) == nullptr) return {};
  char text[48];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                split.Milliseconds);
  return text;
}

}  // namespace salvoran
