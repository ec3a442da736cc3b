#include "engine/DateTime.h"

#include <cmath>

namespace salvoran {
namespace {

constexpr int64_t DaysFrom1899To1970 = 25569;
constexpr double MillisecondsPerDay = 86'400'000.0;

}  // namespace

// Howard Hinnant's civil-date algorithms: exact over the whole range, no table.
int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day) {
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
  const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + static_cast<int64_t>(dayOfEra) - 719468;
}

CivilDateTime CivilFromDays(int64_t days) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const unsigned dayOfEra = static_cast<unsigned>(days - era * 146097);
  const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const unsigned monthIndex = (5 * dayOfYear + 2) / 153;
  CivilDateTime civil;
  civil.Day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
  civil.Month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
  civil.Year = static_cast<int>(static_cast<int64_t>(yearOfEra) + era * 400 + (civil.Month <= 2));
  civil.Hour = civil.Minute = civil.Second = civil.Millisecond = 0;
  return civil;
}

double EncodeDateTime(const CivilDateTime& civil) {
  const int64_t milliseconds =
      ((civil.Hour * 60LL + civil.Minute) * 60 + civil.Second) * 1000 + civil.Millisecond;
  return EncodeDaysAndTime(
      DaysFromCivil(civil.Year, static_cast<unsigned>(civil.Month), static_cast<unsigned>(civil.Day)), milliseconds);
}

double EncodeDaysAndTime(int64_t daysSince1970, int64_t millisecondOfDay) {
  const int64_t days = daysSince1970 + DaysFrom1899To1970;
  const double fraction = static_cast<double>(millisecondOfDay) / MillisecondsPerDay;
  return days >= 0 ? static_cast<double>(days) + fraction : static_cast<double>(days) - fraction;
}

CivilDateTime DecodeDateTime(double value) {
  const double wholeDays = std::trunc(value);
  // Round to the millisecond so that an encoded value decodes to the same clock reading.
  int64_t milliseconds = std::llround(std::fabs(value - wholeDays) * MillisecondsPerDay);
  int64_t days = static_cast<int64_t>(wholeDays);
  if (milliseconds >= static_cast<int64_t>(MillisecondsPerDay)) {
    // Rounded up to midnight of the next calendar day; before day 0 too, since there the
    // integer part still names the day and only the time of day is negated.
    milliseconds -= static_cast<int64_t>(MillisecondsPerDay);
    days += 1;
  }
  CivilDateTime civil = CivilFromDays(days - DaysFrom1899To1970);
  civil.Millisecond = static_cast<int>(milliseconds % 1000);
  civil.Second = static_cast<int>(milliseconds / 1000 % 60);
  civil.Minute = static_cast<int>(milliseconds / 60000 % 60);
  civil.Hour = static_cast<int>(milliseconds / 3600000);
  return civil;
}

}  // namespace salvoran
