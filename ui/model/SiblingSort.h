#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ui/model/ResultTree.h"

namespace salvoran {

// Sorts lists of siblings by one column. Each node's sort key or number is made once per sort,
// so that comparisons look at bytes held next to each other instead of following two nodes into
// their data; entries stay small since a list may hold a million nodes.
class SiblingSorter {
 public:
  SiblingSorter(int column, TSortDirection direction, const ResultTree::NodeCompare& compare,
                const ResultTree::NodeSortKeys& sortKeys);

  void Sort(std::vector<ResultNode*>& siblings);

 private:
  struct Entry {
    uint64_t Prefix;  // the key's first bytes, big-endian, zero-padded
    ResultNode* Node;
    uint64_t KeyOffset : 56;    // where the key's length and bytes are in keys_
    uint64_t PrefixLength : 8;  // the key's length while it fits the prefix, else one more
  };
  struct NumberEntry {
    double Value;
    ResultNode* Node;
  };

  void SortByKeys(std::vector<ResultNode*>& siblings, const ResultTree::NodeSortKey& sortKey);
  void SortByNumbers(std::vector<ResultNode*>& siblings, const ResultTree::NodeSortNumber& number);
  void AddEntry(ResultNode* node, const ResultTree::NodeSortKey& sortKey);
  std::string_view KeyOf(const Entry& entry) const;
  int CompareKeys(const Entry& left, const Entry& right) const;
  bool TakeRight(const Entry& left, const Entry& right) const;
  bool TakeRight(int order) const { return descending_ ? order < 0 : order > 0; }

  int column_;
  bool descending_;
  const ResultTree::NodeCompare& compare_;
  const ResultTree::NodeSortKeys& sortKeys_;
  bool keysDecide_ = false;  // equal keys compare equal: no need to ask compare_
  std::string keys_;         // every key as its length, then its bytes
  std::vector<Entry> entries_;
  std::vector<Entry> buffer_;
};

}  // namespace salvoran
