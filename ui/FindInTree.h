#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "ui/model/ResultTree.h"

namespace salvoran {

// The text a column shows for a node, as UTF-8.
using CellTextFunction = std::function<std::string(const ResultNode& node, int column)>;

// "A" to "Z" turned into "a" to "z"; every other byte, UTF-8 sequences included, is kept.
std::string LowerAscii(std::string_view text);


// What the tree view does for a find; the selection, expansion and focus of the result tree
// have changed already when ShowFound is called.
class FindView {
 public:
  virtual ~FindView() = default;
  // Expands the node's ancestors in the view, scrolls it to the centre, selects it and makes it
  // current. The keyboard stays where it is, so that Enter in the find dialog finds the next.
  virtual void ShowFound(ResultNode& node) = 0;
  virtual void Beep() = 0;
};

// Find Next over the result tree, continuing after the node it found last: the first shown node
// after it in pre-order (from the first node at the start), children of collapsed nodes
// included, one of whose columns 0..columnCount-1 holds the text. Only ASCII letters are compared
// without regard to case; an empty text matches nothing.
class TreeSearch {
 public:
  // A walk over a million files takes seconds; pause handles pending events in place, as the
  // scan does, whenever the walk has gone on for a moment, so that the window keeps answering.
  TreeSearch(ResultTree& tree, int columnCount, CellTextFunction cellText, FindView& view,
             std::function<void()> pause = {});

  // Selects and focuses the next match, or beeps and changes nothing when there is none. Does
  // nothing when called from a pause of a search under way, which goes on.
  void FindNext(std::string_view text);
  // Starts the next find at the top. The window calls it when the find dialog is opened and
  // whenever it empties the tree, so the last match never names a removed node; a search paused
  // meanwhile ends without a beep and without touching a node again.
  void Reset();
  ResultNode* LastFoundNode() const { return lastFound_; }
  bool Searching() const { return searching_; }

 private:
  // The match, or null at the end of the tree; nothing when a Reset came during a pause.
  std::optional<ResultNode*> FindFrom(ResultNode* node, const std::string& foldedNeedle);
  bool Matches(const ResultNode& node, const std::string& foldedNeedle) const;

  ResultTree& tree_;
  int columnCount_;
  CellTextFunction cellText_;
  FindView& view_;
  std::function<void()> pause_;
  ResultNode* lastFound_ = nullptr;
  bool searching_ = false;
  uint64_t resets_ = 0;
};

}  // namespace salvoran
