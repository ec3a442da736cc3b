#include "ui/model/ResultTree.h"

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <unordered_set>
#include <utility>

#include "ui/model/SiblingSort.h"
#include "ui/model/StableMergeSort.h"

namespace salvoran {
namespace {

constexpr size_t NodesPerBlock = 4096;

}  // namespace

struct ResultNode::ChildList {
  std::vector<ResultNode*> nodes;  // never empty: made with the first child
  // Children with check boxes, in all and per state, so that a parent's state follows from its
  // children in constant time however many files a category holds.
  size_t trackedCount = 0;
  std::array<size_t, CheckStateCount> trackedInState{};
  // Children that have children of their own.
  size_t parentCount = 0;
  size_t hiddenCount = 0;

  void CountTracked(TCheckState state) {
    ++trackedCount;
    ++trackedInState[state];
  }

  void UncountTracked(TCheckState state) {
    --trackedCount;
    --trackedInState[state];
  }

  // Mixed when some children with check boxes are checked or mixed but not all are checked,
  // checked when all are; whenNoneMarked when none is checked or mixed.
  TCheckState StateFromTracked(TCheckState whenNoneMarked) const {
    const size_t checked = trackedInState[csCheckedNormal] + trackedInState[csCheckedPressed];
    const size_t mixed = trackedInState[csMixedNormal] + trackedInState[csMixedPressed];
    if (checked == 0 && mixed == 0) return whenNoneMarked;
    return checked < trackedCount ? csMixedNormal : csCheckedNormal;
  }

  // Passing the state down would change nothing: every child it reaches is a leaf already in it.
  bool TrackedLeavesAllIn(TCheckState state) const { return parentCount == 0 && trackedInState[state] == trackedCount; }
};

// Parent, children, folder, row and marks: the node's cost beyond its data and cluster counts.
static_assert(sizeof(ResultNode) <= sizeof(TDeletedFileData) + sizeof(ClusterUse) + 4 * sizeof(void*));

ResultNode::ResultNode() = default;
ResultNode::~ResultNode() = default;

ResultTree::ResultTree() { ClearFolders(); }
ResultTree::~ResultTree() = default;

void ResultTree::Clear() {
  selected_.clear();
  root_.children_.reset();
  nodes_.clear();
  nodeCount_ = 0;
  ClearFolders();
  filter_ = nullptr;  // it may know the folders by Id
  countInCheckState_ = {};
  withoutCheckMark_ = 0;
  SetFocusedNode(nullptr);
}

void ResultTree::ClearFolders() {
  folderByText_.clear();
  folders_.clear();
  folders_.push_back(TreeFolder{});
  folderByText_.emplace(folders_.front().Text, &folders_.front());
}

ResultNode* ResultTree::AddChild(ResultNode* parent) {
  ResultNode& owner = parent ? *parent : root_;
  if (!owner.children_) {
    owner.children_ = std::make_unique<ResultNode::ChildList>();
    if (owner.parent_) ++owner.parent_->children_->parentCount;
  }
  std::vector<ResultNode*>& siblings = owner.children_->nodes;
  if (siblings.size() > std::numeric_limits<decltype(ResultNode::row_)>::max()) {
    throw std::length_error("too many children for one result tree node");
  }
  if (nodeCount_ % NodesPerBlock == 0) {
    std::unique_ptr<ResultNode[]> block(new ResultNode[NodesPerBlock]);
    nodes_.push_back(std::move(block));
  }
  ResultNode& node = nodes_.back()[nodeCount_++ % NodesPerBlock];
  node.parent_ = &owner;
  node.folder_ = &folders_.front();
  node.row_ = static_cast<uint32_t>(siblings.size());
  siblings.push_back(&node);
  ++countInCheckState_[node.checkState_];
  ++withoutCheckMark_;
  return &node;
}

TDeletedFileData* ResultTree::NodeData(ResultNode* node) { return node ? &node->data_ : nullptr; }

const TDeletedFileData* ResultTree::NodeData(const ResultNode* node) const { return node ? &node->data_ : nullptr; }

void ResultTree::SetFolder(ResultNode* node, std::string_view folder) {
  if (node == nullptr) return;
  const auto found = folderByText_.find(folder);
  if (found != folderByText_.end()) {
    node->folder_ = found->second;
    return;
  }
  if (folders_.size() > std::numeric_limits<decltype(TreeFolder::Id)>::max()) {
    throw std::length_error("too many folders for one result tree");
  }
  // The deque never moves its elements, so the key may view the folder's own text.
  const TreeFolder& added = folders_.emplace_back(TreeFolder{std::string(folder), static_cast<uint32_t>(folders_.size())});
  folderByText_.emplace(added.Text, &added);
  node->folder_ = &added;
}

void ResultTree::SetClusterUse(ResultNode* node, const ClusterUse& use) {
  if (node) node->clusters_ = use;
}

ResultNode* ResultTree::Parent(const ResultNode* node) const {
  return node && node->parent_ != &root_ ? node->parent_ : nullptr;
}

size_t ResultTree::Row(const ResultNode* node) const { return node ? node->row_ : 0; }

size_t ResultTree::ChildCount(const ResultNode* parent) const {
  const ResultNode& owner = ParentOrRoot(parent);
  return owner.children_ ? owner.children_->nodes.size() : 0;
}

ResultNode* ResultTree::Child(const ResultNode* parent, size_t row) const {
  return row < ChildCount(parent) ? ParentOrRoot(parent).children_->nodes[row] : nullptr;
}

int ResultTree::Level(const ResultNode* node) const {
  int level = -1;
  for (; node != nullptr && node != &root_; node = node->parent_) ++level;
  return level;
}

ResultNode* ResultTree::FirstNode() const { return Child(nullptr, 0); }

ResultNode* ResultTree::NextNode(const ResultNode* node) const {
  if (node == nullptr) return nullptr;
  if (ChildCount(node) > 0) return node->children_->nodes.front();
  for (; node != &root_; node = node->parent_) {
    const std::vector<ResultNode*>& siblings = node->parent_->children_->nodes;
    if (node->row_ + 1 < siblings.size()) return siblings[node->row_ + 1];
  }
  return nullptr;
}

size_t ResultTree::ShownChildCount(const ResultNode* parent) const {
  const ResultNode& owner = ParentOrRoot(parent);
  return owner.children_ ? owner.children_->nodes.size() - owner.children_->hiddenCount : 0;
}

void ResultTree::AppendShownChildren(const ResultNode* parent, size_t fromRow, size_t toRow,
                                     std::vector<ResultNode*>& shown) const {
  if (ChildCount(parent) == 0) return;
  const std::vector<ResultNode*>& children = ParentOrRoot(parent).children_->nodes;
  toRow = std::min(toRow, children.size());
  for (size_t row = fromRow; row < toRow; ++row) {
    // Sorted siblings lie all over memory.
    if (row + NodeWalkLookAhead < toRow) __builtin_prefetch(children[row + NodeWalkLookAhead]);
    if (!children[row]->hidden_) shown.push_back(children[row]);
  }
}

template <typename Visit>
void ResultTree::ForEachNode(Visit visit) const {
  for (size_t index = 0; index < nodeCount_; ++index) visit(nodes_[index / NodesPerBlock][index % NodesPerBlock]);
}

std::unordered_map<const ResultNode*, std::vector<ResultNode*>> ResultTree::ShownChildren() const {
  std::unordered_map<const ResultNode*, std::vector<std::pair<uint32_t, ResultNode*>>> byParent;
  const ResultNode* lastParent = nullptr;
  std::vector<std::pair<uint32_t, ResultNode*>>* lastList = nullptr;
  ForEachNode([&](ResultNode& node) {
    if (node.hidden_) return;
    if (lastList == nullptr || node.parent_ != lastParent) {
      lastParent = node.parent_;
      lastList = &byParent[lastParent == &root_ ? nullptr : lastParent];
    }
    lastList->emplace_back(node.row_, &node);
  });
  std::unordered_map<const ResultNode*, std::vector<ResultNode*>> shown;
  for (auto& [parent, children] : byParent) {
    std::sort(children.begin(), children.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<ResultNode*>& list = shown[parent];
    list.reserve(children.size());
    for (const auto& child : children) list.push_back(child.second);
  }
  return shown;
}

void ResultTree::SetFilter(NodeFilter shows) {
  filter_ = std::move(shows);
  // In the order the nodes lie in memory, not in the (sorted) order of their siblings: a million
  // nodes are then read front to back instead of one cache miss each. The files of different
  // categories lie mixed, so the parents are kept in a set.
  std::unordered_set<ResultNode*> changedParents;
  const ResultNode* lastChanged = nullptr;
  ForEachNode([&](ResultNode& node) {
    if (node.parent_ == &root_ || node.parent_->parent_ != &root_) return;
    if (SetShown(node, Shows(node)) && node.parent_ != lastChanged) {
      lastChanged = node.parent_;
      changedParents.insert(node.parent_);
    }
  });
  for (ResultNode* parent : changedParents) {
    if (parent->checkType_ == ctTriStateCheckBox) {
      SetCheckState(parent, parent->children_->StateFromTracked(csUncheckedNormal));
    }
  }
}

void ResultTree::ApplyFilter(ResultNode* node) {
  // Files only: the top level is always shown.
  if (Level(node) == 1) SetShown(*node, Shows(*node));
}

bool ResultTree::SetShown(ResultNode& node, bool shown) {
  if (node.hidden_ != shown) return false;
  ResultNode::ChildList& siblings = *node.parent_->children_;
  const bool tracked = IsTrackedCheckType(node.checkType_);
  if (shown) {
    --siblings.hiddenCount;
    ++countInCheckState_[node.checkState_];
    if (tracked) siblings.CountTracked(node.checkState_);
  } else {
    ++siblings.hiddenCount;
    --countInCheckState_[node.checkState_];
    if (tracked) siblings.UncountTracked(node.checkState_);
  }
  node.hidden_ = !shown;
  return true;
}

void ResultTree::SetCheckType(ResultNode* node, TCheckType type) {
  if (node == nullptr) return;
  ResultNode::ChildList& siblings = *node->parent_->children_;
  if (!node->hidden_) {
    if (IsTrackedCheckType(node->checkType_)) siblings.UncountTracked(node->checkState_);
    if (IsTrackedCheckType(type)) siblings.CountTracked(node->checkState_);
  }
  if (node->checkType_ == ctNone) --withoutCheckMark_;
  if (type == ctNone) ++withoutCheckMark_;
  node->checkType_ = type;
}

TCheckType ResultTree::CheckType(const ResultNode* node) const { return node ? node->checkType_ : ctNone; }

TCheckState ResultTree::CheckState(const ResultNode* node) const {
  return node ? node->checkState_ : csUncheckedNormal;
}

bool ResultTree::SetCheckState(ResultNode* node, TCheckState state) {
  // The flag ends the recursion: a change coming back up (or down) to a node being changed stops.
  if (node == nullptr || node->hidden_ || node->changingCheckState_) return false;
  node->changingCheckState_ = true;
  if ((IsChecked(state) || IsUnchecked(state)) && node->children_) {
    ResultNode::ChildList& children = *node->children_;
    if (!children.TrackedLeavesAllIn(state)) {
      // By index: a handler may add nodes while this runs.
      for (size_t row = 0; row < children.nodes.size(); ++row) {
        ResultNode* child = children.nodes[row];
        if (IsTrackedCheckType(child->checkType_) && !child->hidden_) SetCheckState(child, state);
      }
    }
    state = children.StateFromTracked(state);
  }
  AssignCheckState(*node, state);
  // A parent passing its own state down is being changed, and ignores this.
  ResultNode* parent = node->parent_;
  if (parent != &root_ && parent->checkType_ == ctTriStateCheckBox) {
    SetCheckState(parent, parent->children_->StateFromTracked(csUncheckedNormal));
  }
  node->changingCheckState_ = false;
  return true;
}

void ResultTree::AssignCheckState(ResultNode& node, TCheckState state) {
  const TCheckState previous = node.checkState_;
  if (previous == state) return;
  node.checkState_ = state;
  --countInCheckState_[previous];
  ++countInCheckState_[state];
  if (IsTrackedCheckType(node.checkType_)) {
    ResultNode::ChildList& siblings = *node.parent_->children_;
    --siblings.trackedInState[previous];
    ++siblings.trackedInState[state];
  }
  if (checkStateChanged_) checkStateChanged_(node);
}

ResultNode* ResultTree::FirstNodeInCheckState(TCheckState state) const { return FindInCheckState(FirstNode(), state); }

ResultNode* ResultTree::NextNodeInCheckState(const ResultNode* node, TCheckState state) const {
  return FindInCheckState(NextNode(node), state);
}

ResultNode* ResultTree::FindInCheckState(ResultNode* from, TCheckState state) const {
  if (countInCheckState_[state] == 0) return nullptr;
  while (from != nullptr && (from->checkState_ != state || from->hidden_)) from = NextNode(from);
  return from;
}

size_t ResultTree::CountInCheckState(TCheckState state) const { return countInCheckState_[state]; }

void ResultTree::SetCheckStateChangedHandler(CheckStateChangedHandler handler) {
  checkStateChanged_ = std::move(handler);
}

void ResultTree::ClearSelection() {
  for (ResultNode* node : selected_) node->selected_ = false;
  selected_.clear();
}

void ResultTree::Select(ResultNode* node) {
  if (node == nullptr || node->selected_) return;
  node->selected_ = true;
  selected_.push_back(node);
}

bool ResultTree::IsSelected(const ResultNode* node) const { return node && node->selected_; }

void ResultTree::SetFocusedNode(ResultNode* node) {
  if (node == focused_) return;
  focused_ = node;
  if (focusChanged_) focusChanged_(node);
}

void ResultTree::SetFocusChangedHandler(FocusChangedHandler handler) { focusChanged_ = std::move(handler); }

void ResultTree::SetExpanded(ResultNode* node, bool expanded) {
  if (node) node->expanded_ = expanded;
}

bool ResultTree::IsExpanded(const ResultNode* node) const { return node && node->expanded_; }

void ResultTree::ExpandAncestors(const ResultNode* node) {
  for (ResultNode* ancestor = Parent(node); ancestor != nullptr; ancestor = Parent(ancestor)) {
    ancestor->expanded_ = true;
  }
}

void ResultTree::Sort(int column, TSortDirection direction, const NodeCompare& compare, const NodeSortKeys& sortKeys) {
  SiblingSorter sorter(column, direction, compare, sortKeys);
  std::vector<ResultNode*> parents{&root_};
  while (!parents.empty()) {
    ResultNode* parent = parents.back();
    parents.pop_back();
    if (!parent->children_) continue;
    std::vector<ResultNode*>& siblings = parent->children_->nodes;
    sorter.Sort(siblings);
    for (size_t row = 0; row < siblings.size(); ++row) {
      if (row + NodeWalkLookAhead < siblings.size()) __builtin_prefetch(siblings[row + NodeWalkLookAhead], 1);
      siblings[row]->row_ = static_cast<uint32_t>(row);
      if (siblings[row]->children_) parents.push_back(siblings[row]);
    }
  }
}

}  // namespace salvoran
