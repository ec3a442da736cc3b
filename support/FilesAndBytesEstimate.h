#pragma once

#include <cstdint>
#include <optional>

namespace salvoran {

// How far a task over many files of different sizes has come, and the time it still needs. Each
// file costs a share of its own (opening, creating, naming) and a share per byte, and which one
// rules depends on the sizes: forty thousand small files and one of 768 MiB take as long for the
// small ones as for the large one. The two shares are fitted to what the finished files took
// (least squares); until the sizes seen tell them apart, files and bytes count half each.
class FilesAndBytesEstimate {
 public:
  FilesAndBytesEstimate(uint64_t fileCount, uint64_t totalBytes);

  // A file is done: its bytes, and the seconds since the file before it was done (or since the
  // start), so that the work between two files counts too.
  void FileDone(uint64_t bytes, double seconds);

  // The share of the work done, 0 to 1, with currentBytes of the file under way copied.
  double DoneShare(uint64_t currentBytes) const;
  // The seconds left, elapsedSeconds after the start; nothing while too little is done to say.
  std::optional<double> SecondsLeft(uint64_t currentBytes, double elapsedSeconds) const;

 private:
  struct Shares {
    double PerFile;
    double PerByte;
    double Seconds(uint64_t files, uint64_t bytes) const {
      return PerFile * static_cast<double>(files) + PerByte * static_cast<double>(bytes);
    }
  };
  // The fitted shares in seconds, or nothing while the sizes seen do not tell them apart.
  std::optional<Shares> FittedShares() const;
  uint64_t BytesDone(uint64_t currentBytes) const;

  uint64_t fileCount_;
  uint64_t totalBytes_;
  uint64_t filesDone_ = 0;
  uint64_t bytesDone_ = 0;
  // Running means and centred sums of the finished files' sizes and times (Welford).
  double meanBytes_ = 0;
  double meanSeconds_ = 0;
  double bytesSpread_ = 0;    // sum of (bytes - mean)^2
  double jointSpread_ = 0;    // sum of (bytes - mean) * (seconds - mean)
};

}  // namespace salvoran
