#include "ui/model/SiblingSort.h"

#include <algorithm>
#include <cstring>

#include "ui/model/KeyRadixSort.h"
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

// Sorted siblings lie all over memory: fetch the nodes a few rows ahead while this one is read,
// and once a node is in, its name, which lies elsewhere again.
template <typename Visit>
void VisitPrefetching(const std::vector<ResultNode*>& siblings, Visit visit) {
  const size_t count = siblings.size();
  for (size_t row = 0; row < count; ++row) {
    if (row + 2 * NodeWalkLookAhead < count) __builtin_prefetch(siblings[row + 2 * NodeWalkLookAhead]);
    if (row + NodeWalkLookAhead < count) __builtin_prefetch(siblings[row + NodeWalkLookAhead]->Data().FileName.data());
    visit(siblings[row]);
  }
}

}  // namespace

SiblingSorter::SiblingSorter(int column, TSortDirection direction, const ResultTree::NodeCompare& compare,
                             const ResultTree::NodeSortKeys& sortKeys)
    : column_(column), descending_(direction == sdDescending), compare_(compare), sortKeys_(sortKeys) {}

void SiblingSorter::Sort(std::vector<ResultNode*>& siblings) {
  if (const auto* number = std::get_if<ResultTree::NodeSortNumber>(&sortKeys_)) {
    SortByNumbers(siblings, *number);
    return;
  }
  const auto* sortKey = std::get_if<ResultTree::NodeSortKey>(&sortKeys_);
  SortByKeys(siblings, sortKey ? *sortKey : ResultTree::NodeSortKey());
}

void SiblingSorter::SortByKeys(std::vector<ResultNode*>& siblings, const ResultTree::NodeSortKey& sortKey) {
  keys_.clear();
  entries_.clear();
  entries_.reserve(siblings.size());
  keysDecide_ = static_cast<bool>(sortKey);
  VisitPrefetching(siblings, [&](ResultNode* node) { AddEntry(node, sortKey); });
  if (keysDecide_) {
    // Equal keys compare equal, so the order is one that any stable sort gives.
    std::vector<std::string_view> keys(entries_.size());
    std::transform(entries_.begin(), entries_.end(), keys.begin(), [this](const Entry& entry) { return KeyOf(entry); });
    const std::vector<uint32_t> order = StableKeyOrder(keys, descending_);
    for (size_t row = 0; row < siblings.size(); ++row) siblings[row] = entries_[order[row]].Node;
    return;
  }
  // Comparisons reach into the nodes, which lie all over memory.
  StableMergeSort(
      entries_, buffer_, [this](const Entry& left, const Entry& right) { return TakeRight(left, right); },
      [](const Entry& entry) { __builtin_prefetch(entry.Node); });
  for (size_t row = 0; row < siblings.size(); ++row) siblings[row] = entries_[row].Node;
}

// The same merge sort as with the comparison, each decision taken from the two numbers alone, so
// the order is the comparison's even where "equal" does not carry over.
void SiblingSorter::SortByNumbers(std::vector<ResultNode*>& siblings, const ResultTree::NodeSortNumber& number) {
  std::vector<NumberEntry> entries;
  entries.reserve(siblings.size());
  VisitPrefetching(siblings, [&](ResultNode* node) { entries.push_back({number.Value(*node), node}); });
  std::vector<NumberEntry> buffer;
  const double tolerance = number.Tolerance;
  StableMergeSort(entries, buffer, [this, tolerance](const NumberEntry& left, const NumberEntry& right) {
    const double difference = left.Value - right.Value;
    return TakeRight((difference > tolerance) - (difference < -tolerance));
  });
  for (size_t row = 0; row < siblings.size(); ++row) siblings[row] = entries[row].Node;
}

void SiblingSorter::AddEntry(ResultNode* node, const ResultTree::NodeSortKey& sortKey) {
  const size_t offset = keys_.size();
  keys_.append(sizeof(KeyLength), '\0');
  if (sortKey) keysDecide_ = sortKey(*node, column_, keys_) && keysDecide_;
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
  if (order == 0) order = compare_(*left.Node, *right.Node, column_);
  return TakeRight(order);
}

}  // namespace salvoran
