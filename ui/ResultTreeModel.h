#pragma once

#include <QAbstractItemModel>
#include <QIcon>
#include <cstddef>
#include <functional>
#include <optional>
#include <unordered_map>
#include <vector>

#include "ui/model/ResultTree.h"

namespace salvoran {

// Shows a ResultTree to Qt's item views: rows, columns and roles, nothing more. Nodes appended
// to the tree stay unknown to views until AnnounceNewRows, so that a scan adding thousands of
// files between two pauses costs one insertion per parent.
//
// The result tree has two levels, category roots and their files; only those are announced.
// While the tree has a filter, views see the shown files only.
class ResultTreeModel : public QAbstractItemModel {
  Q_OBJECT

 public:
  static constexpr int ColumnCount = 6;

  // Rows of one parent, first to last.
  struct RowRange {
    int First;
    int Last;
  };
  // The rows of parent's children that the view shows now; nothing when it shows none.
  using RowsInSight = std::function<std::optional<RowRange>(const QModelIndex& parent)>;

  explicit ResultTreeModel(ResultTree& tree, QObject* parent = nullptr);
  ~ResultTreeModel() override;

  ResultTree& Tree() { return tree_; }
  const ResultTree& Tree() const { return tree_; }
  // Null for an invalid index.
  ResultNode* NodeOf(const QModelIndex& index) const;
  // Invalid for null, for a hidden node and for a node views do not know yet.
  QModelIndex IndexOf(const ResultNode* node, int column = 0) const;

  // Empties the tree; views see a reset.
  void ClearTree();
  // Tells views of the nodes appended since the last call: one insertion per parent.
  void AnnounceNewRows();
  // Sorts the whole tree; selection, expansion and the current row stay with their nodes.
  void SortTree(int column, TSortDirection direction, const ResultTree::NodeCompare& compare,
                const ResultTree::NodeSortKeys& sortKeys = {});
  // Filters the tree (ResultTree::SetFilter; always through here, so that views follow). Views
  // see one change of layout and keep their expansion, selection and current row for the nodes
  // that stay shown.
  void SetFilter(ResultTree::NodeFilter shows);
  // A view resolves a changed range row by row against the rows it has laid out, which costs
  // rows changed times rows shown: ticking a category of 100,000 files beside an expanded one
  // froze the window for half a minute. With this set, check marks changed below the top level
  // are told only for the rows the view shows; the others are read afresh when they come into
  // sight.
  void SetRowsInSight(RowsInSight rowsInSight) { rowsInSight_ = std::move(rowsInSight); }

  QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  // A check-box click: the tree's click rule decides the new state, not the value the view
  // proposes.
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

 private:
  struct RowSpan {
    size_t First;
    size_t Last;
  };
  // What views know of one parent's children.
  struct ChildRows {
    size_t Announced = 0;            // the tree's rows from the first
    std::vector<ResultNode*> Shown;  // while filtering files: the shown ones among them, in tree order
  };

  const ChildRows* RowsOf(const ResultNode* parent) const;
  // The top level is never filtered.
  bool FiltersChildrenOf(const ResultNode* parent) const;
  size_t RowCountOf(const ResultNode* parent) const;
  ResultNode* NodeAt(const ResultNode* parent, size_t row) const;
  // The node's row as views know it; -1 when they do not know it.
  int ModelRow(const ResultNode* node) const;
  void AnnounceChildren(const ResultNode* parent);
  void RebuildShownRows();
  // After a sort the same nodes are shown in a new order: only the shown ones need be looked at,
  // not every file of a category.
  void ReorderShownRows();
  // Runs change between the two layout signals; persistent indexes follow their nodes.
  void ChangeLayout(QAbstractItemModel::LayoutChangeHint hint, const std::function<void()>& change);
  void NoteCheckStateChanged(const ResultNode& node);
  void EmitCheckStateChanges();

  ResultTree& tree_;
  // Per parent; the top level is under nullptr.
  std::unordered_map<const ResultNode*, ChildRows> rows_;
  // Rows whose check state changed during one click, per parent, told as one range each.
  std::unordered_map<const ResultNode*, RowSpan> changedRows_;
  bool collectingChanges_ = false;
  RowsInSight rowsInSight_;
  QIcon folderIcon_;
  QIcon fileIcon_;
};

}  // namespace salvoran
