#include "ui/FindInTree.h"

#include <utility>

namespace salvoran {
namespace {

bool NodeMatches(const ResultNode& node, std::string_view foldedNeedle, int columnCount,
                 const CellTextFunction& cellText) {
  for (int column = 0; column < columnCount; ++column) {
    if (LowerAscii(cellText(node, column)).find(foldedNeedle) != std::string::npos) return true;
  }
  return false;
}

}  // namespace

std::string LowerAscii(std::string_view text) {
  std::string folded(text);
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

ResultNode* FindNextMatch(const ResultTree& tree, const ResultNode* lastFound, std::string_view needle,
                          int columnCount, const CellTextFunction& cellText) {
  if (needle.empty()) return nullptr;
  const std::string foldedNeedle = LowerAscii(needle);
  for (ResultNode* node = lastFound ? tree.NextNode(lastFound) : tree.FirstNode(); node != nullptr;
       node = tree.NextNode(node)) {
    // A file the filter hides is not in the list to be found.
    if (tree.IsShown(node) && NodeMatches(*node, foldedNeedle, columnCount, cellText)) return node;
  }
  return nullptr;
}

TreeSearch::TreeSearch(ResultTree& tree, int columnCount, CellTextFunction cellText, FindView& view)
    : tree_(tree), columnCount_(columnCount), cellText_(std::move(cellText)), view_(view) {}

void TreeSearch::FindNext(std::string_view text) {
  ResultNode* found = FindNextMatch(tree_, lastFound_, text, columnCount_, cellText_);
  if (found == nullptr) {
    view_.Beep();
    return;
  }
  tree_.ClearSelection();
  tree_.ExpandAncestors(found);
  tree_.Select(found);
  tree_.SetFocusedNode(found);
  view_.ShowFound(*found);
  lastFound_ = found;
}

}  // namespace salvoran
