#pragma once

#include <string>

namespace salvoran::test {

// Watches a source image for as long as it lives: its SHA-256 when it is made and when it goes,
// and an inotify watch that sees any write, even one that puts the same bytes back, or a change
// of mode, owner or times. Running as root, mode bits stop no write, so the watch is what
// proves that nothing opened the image for writing. A change is reported as a test failure.
class UnchangedSource {
 public:
  explicit UnchangedSource(std::string path);
  ~UnchangedSource();
  UnchangedSource(const UnchangedSource&) = delete;
  UnchangedSource& operator=(const UnchangedSource&) = delete;

 private:
  std::string path_;
  std::string digest_;
  int watch_ = -1;
};

}  // namespace salvoran::test
