#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace salvoran::cli {

// The folders of the files a listing holds, each level kept once as its name under the folder
// above it: the files of one folder, or of folders that share their upper levels, share what
// they have in common instead of each keeping its whole folder text.
class FolderTree {
 public:
  using Id = uint32_t;
  // What Add answers for a folder it has no room for.
  static constexpr Id NotKept = UINT32_MAX;

  // maxBytes bounds what the tree holds, about 100 bytes and the name per level.
  explicit FolderTree(size_t maxBytes) : maxBytes_(maxBytes) {}

  // The number of a folder text as FoundFile::Folder has it ("/a/b", "a/b", "/", ""), adding the
  // levels new to the tree; NotKept when the tree is full and the folder is not in it.
  Id Add(std::string_view folder);
  // The text Add was given for the folder.
  std::string Text(Id folder) const;

 private:
  struct Level {
    Id Parent;
    const std::string* Key;  // its key in children_: the parent's number, then its name
  };
  Id Child(Id parent, std::string_view name);

  size_t maxBytes_;
  size_t bytes_ = 0;
  // The two roots: the start of a chain that broke, and "/".
  std::vector<Level> levels_{{NotKept, nullptr}, {NotKept, nullptr}};
  std::unordered_map<std::string, Id> children_;
  // Files of one folder tend to come together.
  std::string lastFolder_;
  Id last_ = NotKept;
};

}  // namespace salvoran::cli
