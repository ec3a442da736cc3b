#include "support/FilesAndBytesEstimate.h"

#include <algorithm>

#include "support/TimeLeft.h"

namespace salvoran {
namespace {

// Fewer files say little about what a file costs.
constexpr uint64_t MinimumFilesToFit = 8;
// Sizes closer together than this (spread against mean) cannot tell a file's share from its bytes'.
constexpr double MinimumRelativeSpread = 0.1;
// The shares as whole numbers, for SecondsLeft.
constexpr double ShareSteps = 1e6;

}  // namespace

FilesAndBytesEstimate::FilesAndBytesEstimate(uint64_t fileCount, uint64_t totalBytes)
    : fileCount_(fileCount), totalBytes_(totalBytes) {}

void FilesAndBytesEstimate::FileDone(uint64_t bytes, double seconds) {
  ++filesDone_;
  bytesDone_ += bytes;
  const double count = static_cast<double>(filesDone_);
  const double size = static_cast<double>(bytes);
  const double bytesFromMean = size - meanBytes_;
  meanBytes_ += bytesFromMean / count;
  meanSeconds_ += (seconds - meanSeconds_) / count;
  bytesSpread_ += bytesFromMean * (size - meanBytes_);
  jointSpread_ += bytesFromMean * (seconds - meanSeconds_);
}

std::optional<FilesAndBytesEstimate::Shares> FilesAndBytesEstimate::FittedShares() const {
  if (filesDone_ < MinimumFilesToFit) return std::nullopt;
  const double count = static_cast<double>(filesDone_);
  const double leastSpread = MinimumRelativeSpread * meanBytes_;
  if (meanBytes_ <= 0 || bytesSpread_ / count < leastSpread * leastSpread) return std::nullopt;
  const double perByte = jointSpread_ / bytesSpread_;
  const double perFile = meanSeconds_ - perByte * meanBytes_;
  // Noise can tip a fitted share below zero; the other one then carries the whole time.
  if (perByte < 0) return Shares{meanSeconds_, 0};
  if (perFile < 0) return Shares{0, meanSeconds_ / meanBytes_};
  return Shares{perFile, perByte};
}

uint64_t FilesAndBytesEstimate::BytesDone(uint64_t currentBytes) const {
  return std::min(bytesDone_ + currentBytes, totalBytes_);
}

double FilesAndBytesEstimate::DoneShare(uint64_t currentBytes) const {
  const uint64_t bytesDone = BytesDone(currentBytes);
  if (const std::optional<Shares> shares = FittedShares()) {
    const double total = shares->Seconds(fileCount_, totalBytes_);
    if (total > 0) return std::clamp(shares->Seconds(filesDone_, bytesDone) / total, 0.0, 1.0);
  }
  const double fileShare =
      fileCount_ == 0 ? 1.0 : static_cast<double>(std::min(filesDone_, fileCount_)) / static_cast<double>(fileCount_);
  const double byteShare =
      totalBytes_ == 0 ? fileShare : static_cast<double>(bytesDone) / static_cast<double>(totalBytes_);
  return (fileShare + byteShare) / 2;
}

std::optional<double> FilesAndBytesEstimate::SecondsLeft(uint64_t currentBytes, double elapsedSeconds) const {
  if (filesDone_ >= fileCount_) return std::nullopt;
  if (const std::optional<Shares> shares = FittedShares()) {
    return shares->Seconds(fileCount_ - filesDone_, totalBytes_ - BytesDone(currentBytes));
  }
  return salvoran::SecondsLeft(static_cast<uint64_t>(DoneShare(currentBytes) * ShareSteps),
                               static_cast<uint64_t>(ShareSteps), elapsedSeconds);
}

}  // namespace salvoran
