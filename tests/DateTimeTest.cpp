#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <random>
#include <string>

#include "engine/DateTime.h"
#include "engine/FileTime.h"
#include "tests/support/CraftedVolume.h"

namespace salvoran {
namespace {

constexpr uint64_t TicksPerSecond = 10'000'000;
constexpr int64_t SecondsFrom1601To1970 = 11'644'473'600;
constexpr uint64_t FirstUnconvertible = uint64_t{1} << 63;

// "1899-12-29 12:00:00.000": compared as text so that a failure shows the date.
std::string Text(const CivilDateTime& civil) {
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", civil.Year, civil.Month, civil.Day, civil.Hour,
                civil.Minute, civil.Second, civil.Millisecond);
  return text;
}

// The file time of a UTC clock reading.
uint64_t FileTimeOf(const CivilDateTime& utc) {
  const int64_t seconds = DaysFromCivil(utc.Year, static_cast<unsigned>(utc.Month), static_cast<unsigned>(utc.Day)) * 86400 +
                          (utc.Hour * 60 + utc.Minute) * 60 + utc.Second;
  return static_cast<uint64_t>(seconds + SecondsFrom1601To1970) * TicksPerSecond +
         static_cast<uint64_t>(utc.Millisecond) * 10'000;
}

// The local clock reading the scan shows for the file time of a UTC clock reading.
std::string LocalText(const CivilDateTime& utc) { return Text(DecodeDateTime(FileTimeToLocalDateTime(FileTimeOf(utc)))); }

struct KnownDate {
  CivilDateTime Civil;
  double Value;
};

class KnownDateTest : public ::testing::TestWithParam<KnownDate> {};

TEST_P(KnownDateTest, EncodesToTheDayCountAndBack) {
  EXPECT_EQ(EncodeDateTime(GetParam().Civil), GetParam().Value);
  EXPECT_EQ(Text(DecodeDateTime(GetParam().Value)), Text(GetParam().Civil));
}

INSTANTIATE_TEST_SUITE_P(
    Dates, KnownDateTest,
    ::testing::Values(KnownDate{{1899, 12, 30, 0, 0, 0, 0}, 0.0},
                      KnownDate{{1899, 12, 30, 18, 0, 0, 0}, 0.75},
                      KnownDate{{1899, 12, 29, 12, 0, 0, 0}, -1.5},  // time of day subtracted before 1899-12-30
                      KnownDate{{1899, 12, 29, 0, 0, 0, 0}, -1.0},
                      KnownDate{{1899, 12, 28, 6, 0, 0, 0}, -2.25},
                      KnownDate{{1900, 1, 1, 0, 0, 0, 0}, 2.0},
                      KnownDate{{1970, 1, 1, 0, 0, 0, 0}, 25569.0},
                      KnownDate{{2024, 5, 1, 12, 0, 0, 0}, 45413.5},
                      KnownDate{{2000, 3, 1, 0, 0, 0, 0}, 36586.0}));

class RoundTripTest : public ::testing::TestWithParam<CivilDateTime> {};

TEST_P(RoundTripTest, DecodesToTheSameClockReadingToTheMillisecond) {
  EXPECT_EQ(Text(DecodeDateTime(EncodeDateTime(GetParam()))), Text(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(Dates, RoundTripTest,
                         ::testing::Values(CivilDateTime{1601, 1, 1, 0, 0, 0, 0}, CivilDateTime{1601, 1, 1, 0, 0, 0, 1},
                                           CivilDateTime{1800, 6, 15, 6, 30, 0, 500},
                                           CivilDateTime{1899, 12, 29, 23, 59, 59, 999},
                                           CivilDateTime{1899, 12, 30, 0, 0, 0, 1},
                                           CivilDateTime{1900, 2, 28, 23, 59, 59, 999},
                                           CivilDateTime{2000, 2, 29, 12, 34, 56, 789},
                                           CivilDateTime{2024, 5, 1, 12, 34, 56, 789},
                                           CivilDateTime{2038, 1, 19, 3, 14, 8, 0},
                                           CivilDateTime{9999, 12, 31, 23, 59, 59, 999},
                                           CivilDateTime{30828, 9, 14, 2, 48, 5, 477}));

// A value a hair before midnight rounds to the next day's midnight, on either side of day 0.
TEST(DecodeDateTimeTest, RoundsToTheNextMidnightOnEitherSideOfDayZero) {
  EXPECT_EQ(Text(DecodeDateTime(1.9999999999)), "1900-01-01 00:00:00.000");
  EXPECT_EQ(Text(DecodeDateTime(-1.9999999999)), "1899-12-30 00:00:00.000");
  EXPECT_EQ(Text(DecodeDateTime(-2.9999999999)), "1899-12-29 00:00:00.000");
}

TEST(CivilDaysTest, CountsDaysFromTheUnixEpoch) {
  EXPECT_EQ(DaysFromCivil(1970, 1, 1), 0);
  EXPECT_EQ(DaysFromCivil(2000, 3, 1), 11017);
  EXPECT_EQ(DaysFromCivil(1601, 1, 1), -134774);
  EXPECT_EQ(DaysFromCivil(1969, 12, 31), -1);
}

TEST(CivilDaysTest, DaysAndDatesConvertBothWaysOverTheWholeFileTimeRange) {
  // From 1601 to beyond year 30828, in steps that visit every day of the month and leap years.
  for (int64_t days = -134774; days <= 10'600'000; days += 367) {
    const CivilDateTime civil = CivilFromDays(days);
    ASSERT_EQ(DaysFromCivil(civil.Year, static_cast<unsigned>(civil.Month), static_cast<unsigned>(civil.Day)), days);
    ASSERT_GE(civil.Day, 1);
    ASSERT_LE(civil.Day, 31);
  }
}

TEST(FileTimeZoneTest, ShowsUtcFileTimesUnchangedInUtc) {
  test::ScopedTimeZone zone("UTC");
  const CivilDateTime utc{2024, 5, 1, 12, 34, 56, 789};
  EXPECT_EQ(LocalText(utc), Text(utc));
  EXPECT_EQ(Text(DecodeDateTime(FileTimeToLocalDateTime(0))), "1601-01-01 00:00:00.000");
}

// Berlin is an hour ahead in winter and two in summer: the rule in force on that date applies,
// not today's.
TEST(FileTimeZoneTest, AppliesTheDaylightSavingRuleOfTheFileTimesDate) {
  test::ScopedTimeZone zone("Europe/Berlin");
  EXPECT_EQ(LocalText({2023, 7, 10, 12, 0, 0, 0}), "2023-07-10 14:00:00.000");
  EXPECT_EQ(LocalText({2023, 1, 10, 12, 0, 0, 0}), "2023-01-10 13:00:00.000");
  EXPECT_EQ(LocalText({2023, 12, 31, 23, 30, 0, 250}), "2024-01-01 00:30:00.250");
}

TEST(FileTimeZoneTest, PutsTheZoneBackAfterwards) {
  const char* before = std::getenv("TZ");
  const std::string saved = before ? before : "(unset)";
  { test::ScopedTimeZone zone("Asia/Tokyo"); }
  const char* after = std::getenv("TZ");
  EXPECT_EQ(after ? after : "(unset)", saved);
}

TEST(FileTimeIsoTest, WritesUtcWithMilliseconds) {
  EXPECT_EQ(FileTimeToIsoUtc(133'590'404'967'890'000), "2024-05-01T12:34:56.789Z");
  // Ticks below a millisecond are dropped, not rounded.
  EXPECT_EQ(FileTimeToIsoUtc(133'590'404'967'899'999), "2024-05-01T12:34:56.789Z");
  EXPECT_EQ(FileTimeToIsoUtc(0), "1601-01-01T00:00:00.000Z");
  EXPECT_EQ(FileTimeToIsoUtc(FileTimeOf({1970, 1, 1, 0, 0, 0, 0})), "1970-01-01T00:00:00.000Z");
}

TEST(FileTimeIsoTest, TheLargestConvertibleValueStillConverts) {
  EXPECT_EQ(FileTimeToIsoUtc(FirstUnconvertible - 1), "30828-09-14T02:48:05.477Z");
}

class UnconvertibleFileTimeTest : public ::testing::TestWithParam<uint64_t> {};

TEST_P(UnconvertibleFileTimeTest, GivesZeroAndEmptyText) {
  test::ScopedTimeZone zone("UTC");
  EXPECT_EQ(FileTimeToLocalDateTime(GetParam()), 0.0);
  EXPECT_EQ(FileTimeToIsoUtc(GetParam()), "");
}

INSTANTIATE_TEST_SUITE_P(Values, UnconvertibleFileTimeTest,
                         ::testing::Values(FirstUnconvertible, FirstUnconvertible + 1, UINT64_MAX));

// The scan's converter, which asks for the zone's offset once per day, must give what the C
// library gives for every value: on days the clocks change (by an hour, by half an hour at Lord
// Howe), in a zone that counts leap seconds, and at random over the whole range.
class LocalTimeConverterTest : public ::testing::TestWithParam<const char*> {};

TEST_P(LocalTimeConverterTest, AgreesWithTheCLibraryEverywhere) {
  test::ScopedTimeZone zone(GetParam());
  LocalTimeConverter converter;
  constexpr uint64_t QuarterHour = 15 * 60 * TicksPerSecond;
  for (const CivilDateTime& changeDay : {CivilDateTime{2023, 3, 26}, CivilDateTime{2023, 10, 29},
                                         CivilDateTime{2023, 4, 2}, CivilDateTime{2023, 10, 1},
                                         CivilDateTime{2016, 12, 31}}) {
    const uint64_t dayStart = FileTimeOf(changeDay) - 86'400 * TicksPerSecond;
    for (uint64_t fileTime = dayStart; fileTime < dayStart + 3 * 86'400 * TicksPerSecond; fileTime += QuarterHour) {
      ASSERT_EQ(converter.ToLocalDateTime(fileTime + 7'770'000), FileTimeToLocalDateTime(fileTime + 7'770'000))
          << fileTime;
    }
  }
  std::mt19937_64 random(1970);
  std::uniform_int_distribution<uint64_t> fileTimes(0, FirstUnconvertible + 1000);
  for (int round = 0; round < 20'000; ++round) {
    const uint64_t fileTime = fileTimes(random);
    ASSERT_EQ(converter.ToLocalDateTime(fileTime), FileTimeToLocalDateTime(fileTime)) << fileTime;
  }
}

INSTANTIATE_TEST_SUITE_P(Zones, LocalTimeConverterTest,
                         ::testing::Values("UTC", "Europe/Berlin", "Australia/Lord_Howe", "America/St_Johns",
                                           "right/Europe/London"));

}  // namespace
}  // namespace salvoran

namespace salvoran {
namespace {

// The hand-made formatter must agree with the C library's calendar on any date it can meet.
TEST(FileTimeIsoUtc, AgreesWithTheCalendarOfTheCLibrary) {
  std::mt19937_64 random(1601);
  constexpr uint64_t TicksPerSecond = 10'000'000;
  constexpr int64_t SecondsFrom1601To1970 = 11'644'473'600;
  std::uniform_int_distribution<uint64_t> fileTimes(0, uint64_t{9000} * 366 * 86'400 * TicksPerSecond);
  for (int round = 0; round < 20'000; ++round) {
    const uint64_t fileTime = fileTimes(random);
    const std::time_t seconds = static_cast<std::time_t>(fileTime / TicksPerSecond) - SecondsFrom1601To1970;
    std::tm utc{};
    ASSERT_NE(gmtime_r(&seconds, &utc), nullptr);
    char expected[80];
    std::snprintf(expected, sizeof expected, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                  static_cast<int>(fileTime / 10'000 % 1000));
    ASSERT_EQ(FileTimeToIsoUtc(fileTime), expected) << fileTime;
  }
}

}  // namespace
}  // namespace salvoran
