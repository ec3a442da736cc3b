#pragma once

#include <QAbstractItemModel>
#include <QIcon>
#include <cstddef>
#include <unordered_map>

#include "ui/model/ResultTree.h"

namespace salvoran {

// Shows a ResultTree to Qt's item views: rows, columns and roles, nothing more. Nodes appended
// to the tree stay unknown to views until AnnounceNewRows, so that a scan adding thousands of
// files between two pauses costs one insertion per parent.
//
// The result tree has two levels, category roots and their files; only those are announced.
class ResultTreeModel : public QAbstractItemModel {
  Q_OBJECT

 public:
  static constexpr int ColumnCount = 4;

  explicit ResultTreeModel(ResultTree& tree, QObject* parent = nullptr);
  ~ResultTreeModel() override;

  ResultTree& Tree() { return tree_; }
  const ResultTree& Tree() const { return tree_; }
  // Null for an invalid index.
  ResultNode* NodeOf(const QModelIndex& index) const;
  // Invalid for null and for a node views do not know yet.
  QModelIndex IndexOf(const ResultNode* node, int column = 0) const;

  // Empties the tree; views see a reset.
  void ClearTree();
  // Tells views of the nodes appended since the last call: one insertion per parent.
  void AnnounceNewRows();
  // Sorts the whole tree; selection, expansion and the current row stay with their nodes.
  void SortTree(int column, TSortDirection direction, const ResultTree::NodeCompare& compare,
                const ResultTree::NodeSortKey& sortKey = nullptr);

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

  size_t AnnouncedRows(const ResultNode* parent) const;
  void AnnounceChildren(const ResultNode* parent);
  void NoteCheckStateChanged(const ResultNode& node);
  void EmitCheckStateChanges();

  ResultTree& tree_;
  // Rows views know, per parent; the top level is under nullptr.
  std::unordered_map<const ResultNode*, size_t> announcedRows_;
  // Rows whose check state changed during one click, per parent, told as one range each.
  std::unordered_map<const ResultNode*, RowSpan> changedRows_;
  bool collectingChanges_ = false;
  QIcon folderIcon_;
  QIcon fileIcon_;
};

}  // namespace salvoran
