#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "ui/model/ResultTree.h"

namespace salvoran {

// The text a column shows for a node, as UTF-8.
using CellTextFunction = std::function<std::string(const ResultNode& node, int column)>;

// "A" to "Z" turned into "a" to "z"; every other byte, UTF-8 sequences included, is kept.
std::string LowerAscii(std::string_view text);

// The first shown node after lastFound in pre-order (from the first node when lastFound is null),
// children of collapsed nodes included, one of whose columns 0..columnCount-1 holds needle.
// Only ASCII letters are compared without regard to case. An empty needle matches nothing.
ResultNode* FindNextMatch(const ResultTree& tree, const ResultNode* lastFound, std::string_view needle,
                          int columnCount, const CellTextFunction& cellText);

// What the tree view does for a find; the selection, expansion and focus of the result tree
// have changed already when ShowFound is called.
class FindView {
 public:
  virtual ~FindView() = default;
  // Expands the node's ancestors in the view, scrolls it to the centre, selects it, makes it
  // current and gives the view keyboard focus, its window coming forward.
  virtual void ShowFound(ResultNode& node) = 0;
  virtual void Beep() = 0;
};

// Find Next over the result tree, continuing after the node it found last.
class TreeSearch {
 public:
  TreeSearch(ResultTree& tree, int columnCount, CellTextFunction cellText, FindView& view);

  // Selects and focuses the next match, or beeps and changes nothing when there is none.
  void FindNext(std::string_view text);
  // Starts the next find at the top. The window calls it when the find dialog is opened and
  // whenever it empties the tree, so the last match never names a removed node.
  void Reset() { lastFound_ = nullptr; }
  ResultNode* LastFoundNode() const { return lastFound_; }

 private:
  ResultTree& tree_;
  int columnCount_;
  CellTextFunction cellText_;
  FindView& view_;
  ResultNode* lastFound_ = nullptr;
};

}  // namespace salvoran
