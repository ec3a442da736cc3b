#include "cli/ProgressLine.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

#include "support/FormatFileSize.h"
#include "support/TimeLeft.h"

namespace salvoran::cli {
namespace {

constexpr auto RefreshInterval = std::chrono::milliseconds(100);
constexpr double PercentPerWhole = 100.0;
constexpr char EraseLine[] = "\r\033[K";

// Far beyond any real volume, and still a whole number that rounds without overflow.
constexpr double LargestAmount = 0x1p62;

std::string AmountText(ProgressUnit unit, double amount) {
  const long long whole = std::llround(std::min(amount, LargestAmount));
  if (unit == ProgressUnit::Bytes) return FormatFileSize(whole);
  return std::to_string(whole);
}

}  // namespace

std::string ProgressText(std::string_view label, ProgressUnit unit, uint64_t done, uint64_t total,
                         double elapsedSeconds) {
  const std::string unitWord = unit == ProgressUnit::Records ? " records" : "";
  std::string text = std::string(label) + ": " + AmountText(unit, static_cast<double>(done)) + " of " +
                     AmountText(unit, static_cast<double>(total)) + unitWord;
  if (total > 0) {
    char percent[16];
    std::snprintf(percent, sizeof percent, " (%.0f%%)",
                  PercentPerWhole * static_cast<double>(done) / static_cast<double>(total));
    text += percent;
  }
  if (elapsedSeconds >= MinimumSecondsForRate && done > 0) {
    const double rate = static_cast<double>(done) / elapsedSeconds;
    text += ", " + AmountText(unit, rate) + unitWord + "/s";
    if (const std::optional<double> left = SecondsLeft(done, total, elapsedSeconds)) {
      text += ", " + FormatDuration(*left) + " left";
    }
  }
  return text;
}

ProgressLine::ProgressLine(std::string_view label, ProgressUnit unit)
    : label_(label), unit_(unit), enabled_(::isatty(STDERR_FILENO) == 1) {}

ProgressLine::~ProgressLine() { Clear(); }

void ProgressLine::Start(uint64_t total) {
  total_ = total;
  started_ = Clock::now();
}

void ProgressLine::Update(uint64_t done, std::string_view note) {
  if (!enabled_) return;
  const Clock::time_point now = Clock::now();
  if (shown_ && now - lastShown_ < RefreshInterval) return;
  lastShown_ = now;
  shown_ = true;
  const double elapsed = std::chrono::duration<double>(now - started_).count();
  const std::string line = EraseLine + ProgressText(label_, unit_, done, total_, elapsed) + std::string(note);
  std::fputs(line.c_str(), stderr);
  std::fflush(stderr);
}

void ProgressLine::Clear() {
  if (!shown_) return;
  std::fputs(EraseLine, stderr);
  std::fflush(stderr);
  shown_ = false;
}

}  // namespace salvoran::cli
