#pragma once

#include <string>

namespace salvoran {

// Keeps a file that is still being written on the list of files that must not outlive an
// interrupted restore, from construction to destruction. The file itself is left alone.
class UnfinishedFile {
 public:
  // The file name in the folder open as folderDescriptor, which must stay open while this lives.
  UnfinishedFile(int folderDescriptor, std::string name);
  ~UnfinishedFile();
  UnfinishedFile(const UnfinishedFile&) = delete;
  UnfinishedFile& operator=(const UnfinishedFile&) = delete;

  int Folder() const { return entry_.Folder; }
  const std::string& Name() const { return entry_.Name; }

  struct Entry {
    int Folder;
    std::string Name;  // its buffer is what the list reaches, so it never moves
  };

 private:
  Entry entry_;
  int slot_ = -1;  // -1 when the list was full
};

// Removes every file on the list. Safe to call from a signal handler: it only unlinks.
void RemoveUnfinishedFiles() noexcept;

}  // namespace salvoran
