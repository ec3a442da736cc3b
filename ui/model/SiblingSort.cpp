#include "ui/model/SiblingSort.h"

#include <algorithm>
#include <cstring>

#include "ui/model/StableMergeSort.h"

namespace salvoran {
namespace {

using KeyLength = size_t;
constexpr size_t PrefixBytes = sizeof(uint64_t);
constexpr unsigned BitsPerByte = 8;

// Zero padding keeps the order: a key that ends early sorts first, as it does in full.
uint64_t PrefixOf(std::string_view key) {
  uint64_t prefix = 0;
  for (size_t index = 0; index < PrefixBytes; ++index) {
    prefix = (prefix << BitsPerByte) | (index < key.size() ? static_cast<unsigned char>(key[index]) : 0U);
  }
  return prefix;
}

}  // namespace

SiblingSorter::SiblingSorter(int column, TSortDirection direction, const ResultTree::NodeCompare& compare,
                             const ResultTree::NodeSortKey& sortKey)
    : column_(column), descending_(direction == sdDescending), compare_(compare), sortKey_(sortKey) {}

void SiblingSorter::Sort(std::vector<ResultNode*>& siblings) {
  keys_.clear();
  entries_.clear();
  entries_.reserve(siblings.size());
  keysDecide_ = static_cast<bool>(sortKey_);
  for (size_t row = 0; row < siblings.size(); ++row) {
    if (row + LookAheadDistance < siblings.size()) __builtin_prefetch(siblings[row + LookAheadDistance]);
    AddEntry(siblings[row]);
  }
  const auto takeRight = [this](const Entry& left, const Entry& right) { return TakeRight(left, right); };
  if (keysDecide_) {
    StableMergeSort(entries_, buffer_, takeRight);
  } else {
    // Comparisons reach into the nodes, which lie all over memory.
    StableMergeSort(entries_, buffer_, takeRight, [](const Entry& entry) { __builtin_prefetch(entry.Node); });
  }
  for (size_t row = 0; row < siblings.size(); ++row) siblings[row] = entries_[row].Node;
}

void SiblingSorter::AddEntry(ResultNode* node) {
  const size_t offset = keys_.size();
  keys_.append(sizeof(KeyLength), '\0');
  if (sortKey_) keysDecide_ = sortKey_(*node, column_, keys_) && keysDecide_;
  const KeyLength length = keys_.size() - offset - sizeof(KeyLength);
  std::memcpy(keys_.data() + offset, &length, sizeof length);
  const std::string_view key = std::string_view(keys_).substr(offset + sizeof length);
  entries_.push_back({PrefixOf(key), node, offset, std::min(length, PrefixBytes + 1)});
}

std::string_view SiblingSorter::KeyOf(const Entry& entry) const {
  KeyLength length = 0;
  std::memcpy(&length, keys_.data() + entry.KeyOffset, sizeof length);
  return std::string_view(keys_).substr(entry.KeyOffset + sizeof length, length);
}

int SiblingSorter::CompareKeys(const Entry& left, const Entry& right) const {
  if (left.Prefix != right.Prefix) return left.Prefix < right.Prefix ? -1 : 1;
  // Equal prefixes: a key that ends inside the prefix is the other's beginning.
  if (left.PrefixLength <= PrefixBytes || right.PrefixLength <= PrefixBytes) {
    return static_cast<int>(left.PrefixLength) - static_cast<int>(right.PrefixLength);
  }
  // string_view compares bytes as unsigned char, shorter first.
  return KeyOf(left).compare(KeyOf(right));
}

bool SiblingSorter::TakeRight(const Entry& left, const Entry& right) const {
  int order = CompareKeys(left, right);
  if (order == 0 && !keysDecide_) order = compare_(*left.Node, *right.Node, column_);
  return descending_ ? order < 0 : order > 0;
}

}  // namespace salvoran
