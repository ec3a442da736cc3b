#include "engine/FileTime.h"

#include <charconv>
#include <cstring>
#include <ctime>

#include "engine/DateTime.h"

namespace salvoran {
namespace {

constexpr uint64_t TicksPerMillisecond = 10'000;
constexpr uint64_t TicksPerSecond = 10'000'000;
constexpr uint64_t MillisecondsPerSecond = 1000;
constexpr int64_t SecondsFrom1601To1970 = 11'644'473'600;
constexpr int64_t SecondsPerDay = 86'400;
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

// Days since 1970-01-01, rounded down, and the seconds past that midnight.
struct DaySplit {
  int64_t Day;
  int64_t SecondOfDay;
};

DaySplit SplitDays(int64_t seconds) {
  const int64_t day = seconds >= 0 ? seconds / SecondsPerDay : -((-seconds + SecondsPerDay - 1) / SecondsPerDay);
  return {day, seconds - day * SecondsPerDay};
}

CivilDateTime ToCivil(const std::tm& parts, int milliseconds) {
  return {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour,
          parts.tm_min,         parts.tm_sec,     milliseconds};
}

}  // namespace

UnixTime FileTimeToUnix(uint64_t fileTime) {
  return {static_cast<int64_t>(fileTime / TicksPerSecond) - SecondsFrom1601To1970,
          static_cast<uint32_t>(fileTime % TicksPerSecond)};
}

uint64_t UnixSecondsToFileTime(int64_t seconds) {
  if (seconds < -SecondsFrom1601To1970) return 0;
  return static_cast<uint64_t>(seconds + SecondsFrom1601To1970) * TicksPerSecond;
}

double FileTimeToLocalDateTime(uint64_t fileTime) {
  if (fileTime > LargestConvertibleFileTime) return 0;
  const SplitTime split = SplitFileTime(fileTime);
  std::tm local{};
  if (::localtime_r(&split.Seconds, &local) == nullptr) return 0;
  // A leap second from the platform has no place in the encoded value.
  if (local.tm_sec > 59) local.tm_sec = 59;
  return EncodeDateTime(ToCivil(local, split.Milliseconds));
}

LocalTimeConverter::DayOffset LocalTimeConverter::Measure(int64_t day) {
  DayOffset measured;
  measured.Day = day;
  const std::time_t start = static_cast<std::time_t>(day * SecondsPerDay);
  const std::time_t last = start + (SecondsPerDay - 1);
  std::tm atStart{};
  std::tm atLast{};
  if (::localtime_r(&start, &atStart) == nullptr || ::localtime_r(&last, &atLast) == nullptr) return measured;
  measured.OffsetSeconds = atStart.tm_gmtoff;
  // The offset must explain the clock reading too: in a zone that counts leap seconds it does not.
  const auto [localDay, secondOfDay] = SplitDays(start + atStart.tm_gmtoff);
  const CivilDateTime expected = CivilFromDays(localDay);
  const bool explained = expected.Year == atStart.tm_year + 1900 && expected.Month == atStart.tm_mon + 1 &&
                         expected.Day == atStart.tm_mday &&
                         secondOfDay == (atStart.tm_hour * 60 + atStart.tm_min) * 60 + atStart.tm_sec;
  measured.Uniform = explained && atLast.tm_gmtoff == atStart.tm_gmtoff;
  return measured;
}

double LocalTimeConverter::ToLocalDateTime(uint64_t fileTime) {
  if (fileTime > LargestConvertibleFileTime) return 0;
  const SplitTime split = SplitFileTime(fileTime);
  const int64_t day = SplitDays(split.Seconds).Day;
  DayOffset& cached = days_[static_cast<size_t>(static_cast<uint64_t>(day) % CachedDays)];
  if (cached.Day != day) cached = Measure(day);
  if (!cached.Uniform) return FileTimeToLocalDateTime(fileTime);
  const auto [localDay, secondOfDay] = SplitDays(split.Seconds + cached.OffsetSeconds);
  return EncodeDaysAndTime(localDay, secondOfDay * static_cast<int64_t>(MillisecondsPerSecond) + split.Milliseconds);
}

// Formats by hand: a listing of a million files calls this four times per file, and the C
// library's calendar and printf machinery was most of its cost.
IsoUtcText FileTimeToIsoUtc(uint64_t fileTime) {
  IsoUtcText iso;
  if (fileTime > LargestConvertibleFileTime) return iso;
  const SplitTime split = SplitFileTime(fileTime);
  const auto [days, secondOfDay] = SplitDays(split.Seconds);
  const CivilDateTime date = CivilFromDays(days);
  // A year past 9999 takes more digits; one before 1000 is padded to four.
  char year[8];
  const auto [yearEnd, error] = std::to_chars(year, year + sizeof year, date.Year);
  const size_t yearDigits = static_cast<size_t>(yearEnd - year);
  const size_t padding = yearDigits < 4 ? 4 - yearDigits : 0;
  char* text = iso.text_;
  std::memset(text, '0', padding);
  std::memcpy(text + padding, year, yearDigits);
  text += padding + yearDigits;
  constexpr std::string_view Rest = "-00-00T00:00:00.000Z";
  std::memcpy(text, Rest.data(), Rest.size());
  const auto put = [text](size_t at, int value, int width) {
    for (int i = width - 1; i >= 0; --i, value /= 10) text[at + static_cast<size_t>(i)] = static_cast<char>('0' + value % 10);
  };
  put(1, date.Month, 2);
  put(4, date.Day, 2);
  put(7, static_cast<int>(secondOfDay / 3600), 2);
  put(10, static_cast<int>(secondOfDay / 60 % 60), 2);
  put(13, static_cast<int>(secondOfDay % 60), 2);
  put(16, split.Milliseconds, 3);
  iso.length_ = padding + yearDigits + Rest.size();
  return iso;
}

}  // namespace salvoran
