#pragma once

#include <functional>

#include <QDialog>
#include <QModelIndex>

#include "ui/FindInTree.h"

class QLineEdit;
class QTreeView;

namespace salvoran {

// The modeless "Search File" dialog: a text and Find Next (also the Enter key). The text stays
// between openings.
class FindDialog : public QDialog {
  Q_OBJECT

 public:
  FindDialog(TreeSearch& search, QWidget* parent);

  // The Search File command: the next find starts at the top of the tree again, and the dialog
  // shows, or comes forward when it is shown already.
  void Show();

 private:
  void FindNext();

  TreeSearch& search_;
  QLineEdit* text_;
};

// The desktop's beep.
void SystemBeep();

// A find shown in a QTreeView over the result tree.
class TreeViewFindView : public FindView {
 public:
  using IndexOfNode = std::function<QModelIndex(const ResultNode& node)>;

  TreeViewFindView(QTreeView& view, IndexOfNode indexOf, std::function<void()> beep = SystemBeep)
      : view_(view), indexOf_(std::move(indexOf)), beep_(std::move(beep)) {}

  void ShowFound(ResultNode& node) override;
  void Beep() override { beep_(); }

 private:
  QTreeView& view_;
  IndexOfNode indexOf_;
  std::function<void()> beep_;
};

}  // namespace salvoran
