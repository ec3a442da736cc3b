#pragma once

#include <QTreeView>
#include <optional>

#include "ui/ResultTreeModel.h"
#include "ui/model/ResultTree.h"

namespace salvoran {

// The list of found files: category roots with their files under them, each with a tri-state
// check box. Owns the result tree and its model.
class RestoreTree : public QTreeView {
  Q_OBJECT

 public:
  explicit RestoreTree(QWidget* parent = nullptr);
  ~RestoreTree() override;

  ResultTree& Tree() { return tree_; }
  ResultTreeModel& Model() { return model_; }

  // Every header click flips the one sort direction all columns share, then sorts the whole tree
  // by the clicked column. Does nothing while sorting is locked.
  void RestoreTreeHeaderClick(int column);
  // Shows only the files whose name or folder contains text, and no overwritten ones when asked
  // (FileListFilter); kept for the later scans.
  void SetFileFilter(const QString& text, bool hideOverwritten);
  // Empties the list for a new scan; the file filter stays.
  void ClearTree();
  // A walk over the checked nodes must not see siblings reordered under it.
  void SetSortLocked(bool locked) { sortLocked_ = locked; }
  // How many rows the list has room for on screen, at most.
  size_t RowsInSight() const;

 signals:
  // The node that now has the focus, or null when none has.
  void FocusChanged(ResultNode* focused);

 protected:
  // A cell whose text the column cuts off shows the whole text in a tooltip, unless the model
  // gives the cell a tooltip of its own.
  bool viewportEvent(QEvent* event) override;
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
  // Connector lines and plus/minus boxes, the top level included; the styles' own branch
  // indicators are arrows without lines.
  void drawBranches(QPainter* painter, const QRect& rect, const QModelIndex& index) const override;

 private:
  void KeepNameColumnWidth(int logicalIndex, int newSize);
  // The rows of parent's children on screen; nothing when it is collapsed or they are out of sight.
  std::optional<ResultTreeModel::RowRange> ChildRowsInSight(const QModelIndex& parent) const;
  bool IsCutOff(const QModelIndex& index) const;

  void InstallFileFilter();

  ResultTree tree_;
  ResultTreeModel model_{tree_};
  bool sortLocked_ = false;
  QString filterText_;
  bool hideOverwritten_ = false;
};

}  // namespace salvoran
