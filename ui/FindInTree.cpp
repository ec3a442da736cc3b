#include "ui/FindInTree.h"

#include <chrono>
#include <utility>

namespace salvoran {
namespace {

// Well below what a user notices as a window that does not answer.
constexpr std::chrono::milliseconds PauseInterval(25);
// Nodes looked at between two looks at the clock.
constexpr unsigned NodesPerClockRead = 64;

}  // namespace

std::string LowerAscii(std::string_view text) {
  std::string folded(text);
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

TreeSearch::TreeSearch(ResultTree& tree, int columnCount, CellTextFunction cellText, FindView& view,
                       std::function<void()> pause)
    : tree_(tree), columnCount_(columnCount), cellText_(std::move(cellText)), view_(view), pause_(std::move(pause)) {}

void TreeSearch::Reset() {
  lastFound_ = nullptr;
  ++resets_;
}

void TreeSearch::FindNext(std::string_view text) {
  if (searching_) return;
  searching_ = true;
  // An empty text matches nothing.
  ResultNode* start = text.empty() ? nullptr : lastFound_ ? tree_.NextNode(lastFound_) : tree_.FirstNode();
  const std::optional<ResultNode*> found = FindFrom(start, LowerAscii(text));
  searching_ = false;
  if (!found) return;
  if (*found == nullptr) {
    view_.Beep();
    return;
  }
  tree_.ClearSelection();
  tree_.ExpandAncestors(*found);
  tree_.Select(*found);
  tree_.SetFocusedNode(*found);
  view_.ShowFound(**found);
  lastFound_ = *found;
}

std::optional<ResultNode*> TreeSearch::FindFrom(ResultNode* node, const std::string& foldedNeedle) {
  const uint64_t resets = resets_;
  auto lastPause = std::chrono::steady_clock::now();
  unsigned sinceClockRead = 0;
  for (; node != nullptr; node = tree_.NextNode(node)) {
    // A file the filter hides is not in the list to be found.
    if (tree_.IsShown(node) && Matches(*node, foldedNeedle)) return node;
    if (!pause_ || ++sinceClockRead < NodesPerClockRead) continue;
    sinceClockRead = 0;
    if (std::chrono::steady_clock::now() - lastPause < PauseInterval) continue;
    // The tree may be emptied during the pause (a new scan resets the search first); it may be
    // sorted or filtered too, and the walk then goes on from where this node is now.
    pause_();
    if (resets != resets_) return std::nullopt;
    lastPause = std::chrono::steady_clock::now();
  }
  return nullptr;
}

bool TreeSearch::Matches(const ResultNode& node, const std::string& foldedNeedle) const {
  for (int column = 0; column < columnCount_; ++column) {
    if (LowerAscii(cellText_(node, column)).find(foldedNeedle) != std::string::npos) return true;
  }
  return false;
}

}  // namespace salvoran
