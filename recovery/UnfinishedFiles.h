#pragma once

#include <string>

namespace salvoran {

// Keeps a file that is still being written on the list of files that must not outlive an
// interrupted restore, from construction to destruction. The file itself is left alone.
class UnfinishedFile {
 public:
  explicit UnfinishedFile(std::string path);
  ~UnfinishedFile();
  UnfinishedFile(const UnfinishedFile&) = delete;
  UnfinishedFile& operator=(const UnfinishedFile&) = delete;

  const std::string& Path() const { return path_; }

 private:
  std::string path_;  // its buffer is what the list points at, so it never moves
  int slot_ = -1;     // -1 when the list was full
};

// Removes every file on the list. Safe to call from a signal handler: it only unlinks.
void RemoveUnfinishedFiles() noexcept;

}  // namespace salvoran
