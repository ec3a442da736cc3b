#include "ui/RestoreTree.h"

#include <QHeaderView>
#include <QHelpEvent>
#include <QPainter>
#include <QScreen>
#include <QTextLayout>
#include <QToolTip>
#include <algorithm>
#include <array>
#include <memory>
#include <vector>

#include "ui/FileListFilter.h"
#include "ui/model/NodeComparison.h"

namespace salvoran {
namespace {

// Every column shows at the window's first size, State last (it fills the rest); long names and
// folders are cut off, and show whole in a tooltip.
constexpr std::array<int, ResultTreeModel::ColumnCount> ColumnWidths = {200, 142, 142, 64, 74, 110};
constexpr int NameColumnMinimumWidth = 120;
constexpr int IconSize = 16;
constexpr int ExpanderBoxSize = 9;
constexpr int ExpanderMarkInset = 2;
// A tooltip takes at most this share of the screen's width.
constexpr int ToolTipScreenShare = 2;

// A name of 255 characters, or a deep folder, in lines no wider than widestLine, broken between
// words where it can and anywhere where it must. Rich text that keeps the lines as they are, so
// that a name that looks like markup shows as it is.
QString WrappedToolTip(const QString& text, int widestLine) {
  QTextLayout layout(text, QToolTip::font());
  QTextOption option;
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  layout.setTextOption(option);
  QStringList lines;
  layout.beginLayout();
  for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
    line.setLineWidth(widestLine);
    lines.append(text.mid(line.textStart(), line.textLength()).toHtmlEscaped());
  }
  layout.endLayout();
  return QStringLiteral("<p style='white-space:pre'>") + lines.join(QStringLiteral("<br>")) + QStringLiteral("</p>");
}

}  // namespace

RestoreTree::RestoreTree(QWidget* parent) : QTreeView(parent) {
  setModel(&model_);
  setUniformRowHeights(true);  // a million rows scroll without measuring each
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setRootIsDecorated(true);
  setItemsExpandable(true);
  setExpandsOnDoubleClick(true);
  setAllColumnsShowFocus(true);
  setSortingEnabled(false);
  setIconSize(QSize(IconSize, IconSize));

  QHeaderView* columns = header();
  columns->setSortIndicatorShown(false);
  columns->setSectionsClickable(true);
  columns->setSectionsMovable(false);
  columns->setStretchLastSection(true);
  for (int column = 0; column < ResultTreeModel::ColumnCount; ++column) {
    columns->resizeSection(column, ColumnWidths[static_cast<size_t>(column)]);
  }
  connect(columns, &QHeaderView::sectionClicked, this, &RestoreTree::RestoreTreeHeaderClick);
  connect(columns, &QHeaderView::sectionResized, this,
          [this](int logicalIndex, int, int newSize) { KeepNameColumnWidth(logicalIndex, newSize); });

  tree_.SetFocusChangedHandler([this](ResultNode* focused) { emit FocusChanged(focused); });
  model_.SetRowsInSight([this](const QModelIndex& parent) { return ChildRowsInSight(parent); });
}

RestoreTree::~RestoreTree() {
  tree_.SetFocusChangedHandler(nullptr);
  model_.SetRowsInSight(nullptr);
  setModel(nullptr);  // the view must not outlive the model it shows
}

void RestoreTree::RestoreTreeHeaderClick(int column) {
  if (sortLocked_) return;
  tree_.SetSortDirection(tree_.SortDirection() == sdAscending ? sdDescending : sdAscending);
  tree_.SetSortColumn(column);
  model_.SortTree(column, tree_.SortDirection(), RestoreTreeCompareNodes, RestoreTreeSortKeyFor(tree_, column));
}

void RestoreTree::SetFileFilter(const QString& text, bool hideOverwritten) {
  filterText_ = text;
  hideOverwritten_ = hideOverwritten;
  InstallFileFilter();
}

void RestoreTree::ClearTree() {
  model_.ClearTree();
  InstallFileFilter();
}

void RestoreTree::InstallFileFilter() {
  // A fresh filter each time: it remembers the folders of the tree it was made for.
  auto filter = std::make_shared<FileListFilter>(filterText_, hideOverwritten_);
  if (filter->ShowsAll()) {
    if (tree_.Filtering()) model_.SetFilter(nullptr);
    return;
  }
  model_.SetFilter([filter](const ResultNode& node) { return filter->Shows(node); });
}

bool RestoreTree::viewportEvent(QEvent* event) {
  if (event->type() != QEvent::ToolTip) return QTreeView::viewportEvent(event);
  const auto* help = static_cast<QHelpEvent*>(event);
  const QModelIndex index = indexAt(help->pos());
  if (!index.isValid() || index.data(Qt::ToolTipRole).isValid()) return QTreeView::viewportEvent(event);
  if (IsCutOff(index)) {
    const int widestLine = viewport()->screen()->availableGeometry().width() / ToolTipScreenShare;
    QToolTip::showText(help->globalPos(), WrappedToolTip(index.data().toString(), widestLine), viewport(),
                       visualRect(index));
  } else {
    QToolTip::hideText();
  }
  return true;
}

bool RestoreTree::IsCutOff(const QModelIndex& index) const {
  QStyleOptionViewItem option;
  initViewItemOption(&option);
  return itemDelegateForIndex(index)->sizeHint(option, index).width() > visualRect(index).width();
}

void RestoreTree::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  QTreeView::currentChanged(current, previous);
  tree_.SetFocusedNode(model_.NodeOf(current));
}

size_t RestoreTree::RowsInSight() const {
  // No row is lower than the text it shows.
  return static_cast<size_t>(viewport()->height() / std::max(fontMetrics().height(), 1) + 1);
}

std::optional<ResultTreeModel::RowRange> RestoreTree::ChildRowsInSight(const QModelIndex& parent) const {
  if (!isExpanded(parent)) return std::nullopt;
  // Children of one parent on screen are next to each other: the tree has two levels.
  std::optional<ResultTreeModel::RowRange> rows;
  const int bottom = viewport()->height();
  for (QModelIndex at = indexAt(QPoint(0, 0)); at.isValid() && visualRect(at).top() < bottom; at = indexBelow(at)) {
    if (at.parent() != parent) continue;
    if (!rows) rows = ResultTreeModel::RowRange{at.row(), at.row()};
    rows->Last = at.row();
  }
  return rows;
}

void RestoreTree::KeepNameColumnWidth(int logicalIndex, int newSize) {
  if (logicalIndex == rcFileName && newSize < NameColumnMinimumWidth) {
    header()->resizeSection(rcFileName, NameColumnMinimumWidth);
  }
}

void RestoreTree::drawBranches(QPainter* painter, const QRect& rect, const QModelIndex& index) const {
  // The index and its ancestors, top level first: one indentation step each.
  std::vector<QModelIndex> levels;
  for (QModelIndex at = index; at.isValid(); at = at.parent()) levels.insert(levels.begin(), at);
  const int step = indentation();
  const int middle = rect.center().y();
  const auto centreOfLevel = [&](size_t level) { return rect.left() + static_cast<int>(level) * step + step / 2; };

  painter->save();
  painter->setPen(QPen(palette().color(QPalette::Mid), 1, Qt::DotLine));
  for (size_t level = 0; level < levels.size(); ++level) {
    const QModelIndex& at = levels[level];
    const bool hasNext = at.row() + 1 < model()->rowCount(at.parent());
    const int x = centreOfLevel(level);
    if (level + 1 < levels.size()) {
      if (hasNext) painter->drawLine(x, rect.top(), x, rect.bottom());
      continue;
    }
    const bool firstOfAll = level == 0 && at.row() == 0;
    painter->drawLine(x, firstOfAll ? middle : rect.top(), x, hasNext ? rect.bottom() : middle);
    painter->drawLine(x, middle, x + step - step / 2, middle);
  }

  if (model()->hasChildren(index)) {
    const int x = centreOfLevel(levels.size() - 1);
    const QRect box(x - ExpanderBoxSize / 2, middle - ExpanderBoxSize / 2, ExpanderBoxSize, ExpanderBoxSize);
    painter->setPen(palette().color(QPalette::Dark));
    painter->setBrush(palette().color(QPalette::Base));
    painter->drawRect(box.adjusted(0, 0, -1, -1));
    painter->setPen(palette().color(QPalette::Text));
    const int markLeft = box.left() + ExpanderMarkInset;
    const int markRight = box.right() - ExpanderMarkInset;
    painter->drawLine(markLeft, middle, markRight, middle);
    if (!isExpanded(index)) {
      painter->drawLine(x, box.top() + ExpanderMarkInset, x, box.bottom() - ExpanderMarkInset);
    }
  }
  painter->restore();
}

}  // namespace salvoran
