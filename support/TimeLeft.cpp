#include "support/TimeLeft.h"

#include <cmath>
#include <cstdio>

namespace salvoran {
namespace {

constexpr long long SecondsPerMinute = 60;
constexpr long long SecondsPerHour = 60 * SecondsPerMinute;
// Far beyond any real task, and still a whole number that rounds without overflow.
constexpr double LongestDuration = 0x1p62;

}  // namespace

std::optional<double> SecondsLeft(uint64_t done, uint64_t total, double elapsedSeconds) {
  if (elapsedSeconds < MinimumSecondsForRate || done == 0 || done >= total) return std::nullopt;
  const double rate = static_cast<double>(done) / elapsedSeconds;
  return static_cast<double>(total - done) / rate;
}

std::string FormatDuration(double seconds) {
  const long long whole = std::llround(std::fmin(seconds, LongestDuration));
  char text[32];
  if (whole >= SecondsPerHour) {
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / SecondsPerHour,
                  whole % SecondsPerHour / SecondsPerMinute, whole % SecondsPerMinute);
  } else {
    std::snprintf(text, sizeof text, "%lld:%02lld", whole / SecondsPerMinute, whole % SecondsPerMinute);
  }
  return text;
}

}  // namespace salvoran
