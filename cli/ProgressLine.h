#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace salvoran::cli {

enum class ProgressUnit { Records, Bytes };

// "Scanning: 2048 of 8192 records (25%), 4096 records/s, 0:01 left": the rate and the time left
// once enough time has passed for them to mean something.
std::string ProgressText(std::string_view label, ProgressUnit unit, uint64_t done, uint64_t total,
                         double elapsedSeconds);

// One line on stderr, redrawn in place, that tells how far a long task has come: amount done of
// the total, rate and time left. Only a terminal gets it; a pipe or a file gets nothing, so
// scripts and logs stay clean.
class ProgressLine {
 public:
  ProgressLine(std::string_view label, ProgressUnit unit);
  ~ProgressLine();
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  // Starts the clock for the rate.
  void Start(uint64_t total);
  // The first report shows at once, later ones at most every refresh interval. note follows the
  // rest of the line (", 12 files found").
  void Update(uint64_t done, std::string_view note = {});
  // Removes the line, so that what follows on stderr starts on a clean line.
  void Clear();

 private:
  using Clock = std::chrono::steady_clock;
  std::string label_;
  ProgressUnit unit_;
  bool enabled_;
  bool shown_ = false;
  uint64_t total_ = 0;
  Clock::time_point started_;
  Clock::time_point lastShown_;
};

}  // namespace salvoran::cli
