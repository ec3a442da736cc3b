#pragma once

#include <string>
#include <string_view>

#include "ui/model/ResultTree.h"

namespace salvoran {

// The result list's columns, numbered as the header numbers them.
enum ResultColumn : int { rcFileName, rcCreateTime, rcModifyTime, rcFileSize, rcFolder, rcState };

// The names' UTF-8 bytes (an unpaired surrogate counts as U+FFFD) compared one by one with only
// "a".."z" folded to "A".."Z": the difference of the first two folded bytes that differ, else the
// difference of the byte lengths.
int CompareFileNames(std::u16string_view a, std::u16string_view b);

// The same rule for UTF-8 text such as folders.
int CompareFolderTexts(std::string_view a, std::string_view b);

// a - b in days, rounded to the nearest whole number with halves to even, so times at most half
// a day apart compare equal.
int CompareDays(double a, double b);

// The result list's order: by name, create time, modify time, size, folder or state (Good, then
// partly overwritten, then overwritten); any other column compares equal. Category roots compare
// by their captions like any name, and have the empty folder and the good state.
int RestoreTreeCompareNodes(const ResultNode& a, const ResultNode& b, int column);

// Sort keys for ResultTree::Sort that agree with RestoreTreeCompareNodes: the folded UTF-8 name or
// folder, the size as eight big-endian bytes, the state as one byte. Times get none, since being
// within half a day of each other does not carry over from one pair of nodes to the next: they are
// left to the comparison.
bool RestoreTreeSortKey(const ResultNode& node, int column, std::string& key);

// The sort keys for one sort of tree by column. By folder, each node's key is its folder's rank
// among the tree's folders, worked out once: most files share their folder's first bytes with
// many others, so folded texts as keys would be compared in full again and again. By a time, the
// time itself, equal to those at most half a day from it.
ResultTree::NodeSortKeys RestoreTreeSortKeyFor(const ResultTree& tree, int column);

}  // namespace salvoran
