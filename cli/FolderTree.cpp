#include "cli/FolderTree.h"

#include <cstring>

namespace salvoran::cli {
namespace {

constexpr FolderTree::Id BrokenRoot = 0;
constexpr FolderTree::Id WholeRoot = 1;
// What a level costs beside its name: the map's node and bucket, the key's header, the level.
constexpr size_t LevelOverheadBytes = 96;

}  // namespace

FolderTree::Id FolderTree::Add(std::string_view folder) {
  if (last_ != NotKept && folder == lastFolder_) return last_;
  Id id = BrokenRoot;
  std::string_view rest = folder;
  if (!rest.empty() && rest.front() == '/') {
    id = WholeRoot;
    rest.remove_prefix(1);
  }
  // Every part between separators is a level, empty ones too, so that Text gives back the very
  // text that came in.
  for (bool more = !rest.empty(); more && id != NotKept;) {
    const size_t separator = rest.find('/');
    more = separator != std::string_view::npos;
    id = Child(id, rest.substr(0, separator));
    if (more) rest.remove_prefix(separator + 1);
  }
  lastFolder_ = folder;
  last_ = id;
  return id;
}

FolderTree::Id FolderTree::Child(Id parent, std::string_view name) {
  std::string key(sizeof parent, '\0');
  std::memcpy(key.data(), &parent, sizeof parent);
  key += name;
  if (const auto found = children_.find(key); found != children_.end()) return found->second;
  if (bytes_ >= maxBytes_ || levels_.size() >= NotKept) return NotKept;
  const Id id = static_cast<Id>(levels_.size());
  const auto added = children_.emplace(std::move(key), id).first;
  levels_.push_back({parent, &added->first});
  bytes_ += added->first.size() + LevelOverheadBytes;
  return id;
}

std::string FolderTree::Text(Id folder) const {
  std::vector<std::string_view> names;
  Id id = folder;
  for (; id > WholeRoot; id = levels_[id].Parent) {
    names.push_back(std::string_view(*levels_[id].Key).substr(sizeof(Id)));
  }
  std::string text = id == WholeRoot ? "/" : "";
  for (auto name = names.rbegin(); name != names.rend(); ++name) {
    if (name != names.rbegin()) text += '/';
    text += *name;
  }
  return text;
}

}  // namespace salvoran::cli
