#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <variant>
#include <vector>

#include "engine/DeletedFileData.h"
#include "ui/model/CheckState.h"
#include "ui/model/ClusterUse.h"

namespace salvoran {

enum TSortDirection : uint8_t { sdAscending, sdDescending };

inline constexpr int NoSortColumn = -1;

class ResultTree;

// A folder files were deleted from, held once by the tree however many files name it.
struct TreeFolder {
  std::string Text;  // UTF-8, "/"-separated; "" when not even the parent folder is known
  uint32_t Id = 0;   // counts from 0 in the order the tree met the folders
};

// One row of the result tree. Nodes are made and changed through their ResultTree only, and keep
// their address until the tree is cleared, so a pointer to one is the node's handle.
class ResultNode {
 public:
  ~ResultNode();
  ResultNode(const ResultNode&) = delete;
  ResultNode& operator=(const ResultNode&) = delete;

  const TDeletedFileData& Data() const { return data_; }
  const TreeFolder& Folder() const { return *folder_; }
  const ClusterUse& Clusters() const { return clusters_; }

 private:
  friend class ResultTree;
  struct ChildList;

  // Only ResultTree makes nodes.
  ResultNode();

  // Kept to 160 bytes with the data block: a tree may hold a million nodes.
  TDeletedFileData data_;
  ResultNode* parent_ = nullptr;         // the invisible root for a top-level node
  std::unique_ptr<ChildList> children_;  // only nodes that have children pay for the list
  const TreeFolder* folder_ = nullptr;   // the tree's own, shared by the files of one folder
  ClusterUse clusters_;
  uint32_t row_ = 0;
  TCheckType checkType_ = ctNone;
  TCheckState checkState_ = csUncheckedNormal;
  bool selected_ : 1 = false;
  bool expanded_ : 1 = false;
  bool changingCheckState_ : 1 = false;
  bool hidden_ : 1 = false;
};

// The scan results: category roots at the top level, one node per found file under them.
// A null node stands for the invisible root wherever a parent is asked for, and for "no node"
// everywhere else.
class ResultTree {
 public:
  using NodeCompare = std::function<int(const ResultNode& a, const ResultNode& b, int column)>;
  // Appends to key bytes whose order (byte by byte, unsigned, shorter first) agrees with
  // NodeCompare's wherever two keys differ. True when the key is the whole order, so that equal
  // keys compare equal; false leaves nodes with equal keys to NodeCompare.
  using NodeSortKey = std::function<bool(const ResultNode& node, int column, std::string& key)>;
  // For a column whose NodeCompare orders nodes by a number and calls two numbers equal when they
  // are at most Tolerance apart (so "equal" need not carry over from one pair to the next): the
  // number of each node.
  struct NodeSortNumber {
    std::function<double(const ResultNode& node)> Value;
    double Tolerance = 0;
  };
  // What a sort may use instead of asking NodeCompare about every pair.
  using NodeSortKeys = std::variant<std::monostate, NodeSortKey, NodeSortNumber>;
  using FocusChangedHandler = std::function<void(ResultNode* focused)>;
  using CheckStateChangedHandler = std::function<void(ResultNode& node)>;
  // True for a file the list is to show.
  using NodeFilter = std::function<bool(const ResultNode& node)>;

  ResultTree();
  ~ResultTree();
  // Nodes point at the tree's own invisible root.
  ResultTree(const ResultTree&) = delete;
  ResultTree& operator=(const ResultTree&) = delete;

  // Removes every node with its data, every folder and the filter; selection and focus become
  // empty (the focus handler hears of it).
  void Clear();
  // A new last child of parent (of the top level for nullptr), with a zeroed data block, the
  // empty folder, no clusters, unchecked, without a check mark and shown.
  ResultNode* AddChild(ResultNode* parent);
  TDeletedFileData* NodeData(ResultNode* node);
  const TDeletedFileData* NodeData(const ResultNode* node) const;
  // Where the file was deleted from; the files of one folder share one TreeFolder.
  void SetFolder(ResultNode* node, std::string_view folder);
  void SetClusterUse(ResultNode* node, const ClusterUse& use);
  // Every folder that a node has named since the tree was last cleared, by Id.
  const std::deque<TreeFolder>& Folders() const { return folders_; }

  // nullptr for a top-level node.
  ResultNode* Parent(const ResultNode* node) const;
  // The node's index among its siblings.
  size_t Row(const ResultNode* node) const;
  size_t ChildCount(const ResultNode* parent) const;
  // nullptr when row is out of range.
  ResultNode* Child(const ResultNode* parent, size_t row) const;
  // 0 for a top-level node, -1 for nullptr (the invisible root).
  int Level(const ResultNode* node) const;
  // Nodes of all levels; the invisible root does not count.
  size_t TotalCount() const { return nodeCount_; }

  // Shows only the files (the nodes below the top level) that shows answers true for; an empty
  // filter shows them all. A hidden file keeps its check mark but takes no part in check marks
  // while hidden: ticking its category leaves it alone, the category's state follows its shown
  // files only, and the check-state searches and counts pass it over. So what is restored is
  // what the user sees ticked. Each category's state is worked out again from its shown files.
  void SetFilter(NodeFilter shows);
  bool Filtering() const { return static_cast<bool>(filter_); }
  // Asks the filter about one file whose data have just been set. Leaves its parent's state as it
  // is, as SetCheckType does.
  void ApplyFilter(ResultNode* node);
  bool IsShown(const ResultNode* node) const { return node && !node->hidden_; }
  size_t ShownChildCount(const ResultNode* parent) const;
  // Appends the shown children of parent in rows fromRow to toRow - 1, in order.
  void AppendShownChildren(const ResultNode* parent, size_t fromRow, size_t toRow,
                           std::vector<ResultNode*>& shown) const;
  // The shown children of every parent that has any (the top level under nullptr), in order. Reads
  // the nodes in the order they lie in memory, not one cache miss per file of a sorted list.
  std::unordered_map<const ResultNode*, std::vector<ResultNode*>> ShownChildren() const;

  // Pre-order: a node, its children, then its next sibling or the next sibling of the nearest
  // ancestor that has one. Children of collapsed nodes are visited too.
  ResultNode* FirstNode() const;
  ResultNode* NextNode(const ResultNode* node) const;

  void SetCheckType(ResultNode* node, TCheckType type);
  TCheckType CheckType(const ResultNode* node) const;
  // True when no node is without a check mark, so that views asking about each of a million rows
  // need not reach into the nodes for it.
  bool AllHaveCheckMarks() const { return withoutCheckMark_ == 0; }
  TCheckState CheckState(const ResultNode* node) const;
  // Sets the state and keeps parents and children in step with it: a checked or unchecked state
  // goes down to every shown child with a check box, and a tri-state parent follows its children
  // up to the top level. False when there is no node, the node is hidden or its state is already
  // being changed.
  bool SetCheckState(ResultNode* node, TCheckState state);
  // Shown nodes in pre-order, exactly the given state (checked-pressed is not checked-normal).
  ResultNode* FirstNodeInCheckState(TCheckState state) const;
  ResultNode* NextNodeInCheckState(const ResultNode* node, TCheckState state) const;
  size_t CountInCheckState(TCheckState state) const;
  // Called for every node whose state changes, the node itself and those that follow it.
  void SetCheckStateChangedHandler(CheckStateChangedHandler handler);

  void ClearSelection();
  void Select(ResultNode* node);
  bool IsSelected(const ResultNode* node) const;
  // In the order they were selected.
  const std::vector<ResultNode*>& SelectedNodes() const { return selected_; }

  // At most one node has the focus; the handler hears of every change of it.
  void SetFocusedNode(ResultNode* node);
  ResultNode* FocusedNode() const { return focused_; }
  void SetFocusChangedHandler(FocusChangedHandler handler);

  void SetExpanded(ResultNode* node, bool expanded);
  bool IsExpanded(const ResultNode* node) const;
  // Expands every ancestor, so that the node can be shown.
  void ExpandAncestors(const ResultNode* node);

  // What the header shows; sorting does not change it.
  int SortColumn() const { return sortColumn_; }
  TSortDirection SortDirection() const { return sortDirection_; }
  void SetSortColumn(int column) { sortColumn_ = column; }
  void SetSortDirection(TSortDirection direction) { sortDirection_ = direction; }

  // Sorts every list of siblings, the top level included, with a stable merge sort: while runs
  // are merged, the left node goes first unless compare(left, right) is above 0 (ascending) or
  // below 0 (descending). Nodes that compare equal keep their order in both directions. Check
  // states, selection, focus and expansion stay with their nodes. Sort keys or numbers, when
  // given, only make it faster.
  void Sort(int column, TSortDirection direction, const NodeCompare& compare, const NodeSortKeys& sortKeys = {});

 private:
  const ResultNode& ParentOrRoot(const ResultNode* parent) const { return parent ? *parent : root_; }
  void AssignCheckState(ResultNode& node, TCheckState state);
  ResultNode* FindInCheckState(ResultNode* from, TCheckState state) const;
  // False when the node was shown or hidden already.
  bool SetShown(ResultNode& node, bool shown);
  bool Shows(const ResultNode& node) const { return !filter_ || filter_(node); }
  void ClearFolders();
  // Every node, in the order they lie in memory.
  template <typename Visit>
  void ForEachNode(Visit visit) const;

  ResultNode root_;
  // Stable addresses in large blocks, the last one used up to nodeCount_: a deque's blocks hold
  // three nodes each, and their allocations would cost a sixth more than the nodes.
  std::vector<std::unique_ptr<ResultNode[]>> nodes_;
  size_t nodeCount_ = 0;
  std::deque<TreeFolder> folders_;  // the empty folder first
  std::unordered_map<std::string_view, const TreeFolder*> folderByText_;
  NodeFilter filter_;
  // Of the shown nodes.
  std::array<size_t, CheckStateCount> countInCheckState_{};
  size_t withoutCheckMark_ = 0;  // nodes of type ctNone
  std::vector<ResultNode*> selected_;
  ResultNode* focused_ = nullptr;
  FocusChangedHandler focusChanged_;
  CheckStateChangedHandler checkStateChanged_;
  int sortColumn_ = NoSortColumn;
  TSortDirection sortDirection_ = sdAscending;
};

}  // namespace salvoran
