#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace salvoran {

// Below this the rate of a task says more about its start-up than about the task.
inline constexpr double MinimumSecondsForRate = 0.5;

// The seconds a task still needs at the rate it has had so far; nothing while the rate means
// little yet, before anything is done, or once everything is.
std::optional<double> SecondsLeft(uint64_t done, uint64_t total, double elapsedSeconds);

// "0:42", "12:05", "1:02:03".
std::string FormatDuration(double seconds);

}  // namespace salvoran
