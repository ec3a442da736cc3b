#pragma once

#include <cstdint>

namespace salvoran {

// A calendar date-time as the result tree holds it: days since 30 December 1899 as a double,
// the time of day as the fraction. Before that day the value is negative and the time of day
// is subtracted from the day number.
struct CivilDateTime {
  int Year = 1899;
  int Month = 12;
  int Day = 30;
  int Hour = 0;
  int Minute = 0;
  int Second = 0;
  int Millisecond = 0;
};

double EncodeDateTime(const CivilDateTime& civil);
// The same value from a day count since 1970-01-01 and the milliseconds past that midnight.
double EncodeDaysAndTime(int64_t daysSince1970, int64_t millisecondOfDay);
CivilDateTime DecodeDateTime(double value);

// Days from 1970-01-01 to the given civil date (proleptic Gregorian), and back.
int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day);
CivilDateTime CivilFromDays(int64_t days);

}  // namespace salvoran
