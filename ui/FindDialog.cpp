#include "ui/FindDialog.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>

namespace salvoran {
namespace {

constexpr char FindTitle[] = "Find";
constexpr char FindWhatLabel[] = "Find what:";
constexpr char FindNextCaption[] = "Find Next";

}  // namespace

FindDialog::FindDialog(TreeSearch& search, QWidget* parent)
    : QDialog(parent), search_(search), text_(new QLineEdit(this)) {
  setWindowTitle(QString::fromUtf8(FindTitle));
  setModal(false);
  text_->setObjectName("findText");
  auto* label = new QLabel(QString::fromUtf8(FindWhatLabel), this);
  label->setBuddy(text_);
  auto* findNext = new QPushButton(QString::fromUtf8(FindNextCaption), this);
  findNext->setObjectName("findNext");
  // The default button takes the Enter key of the text field.
  findNext->setDefault(true);
  connect(findNext, &QPushButton::clicked, this, &FindDialog::FindNext);

  auto* layout = new QHBoxLayout(this);
  layout->addWidget(label);
  layout->addWidget(text_, 1);
  layout->addWidget(findNext);
}

void FindDialog::Show() {
  search_.Reset();
  show();
  raise();
  activateWindow();
  text_->selectAll();
  text_->setFocus();
}

void FindDialog::FindNext() {
  // A search through a long list takes a while; the window answers meanwhile.
  QApplication::setOverrideCursor(Qt::BusyCursor);
  search_.FindNext(text_->text().toStdString());
  QApplication::restoreOverrideCursor();
}

void TreeViewFindView::ShowFound(ResultNode& node) {
  const QModelIndex index = indexOf_(node);
  if (!index.isValid()) return;
  for (QModelIndex ancestor = index.parent(); ancestor.isValid(); ancestor = ancestor.parent()) {
    view_.expand(ancestor);
  }
  view_.scrollTo(index, QAbstractItemView::PositionAtCenter);
  view_.selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void SystemBeep() { QApplication::beep(); }

}  // namespace salvoran
