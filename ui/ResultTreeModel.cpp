#include "ui/ResultTreeModel.h"

#include <QApplication>
#include <QStyle>
#include <algorithm>
#include <array>
#include <string_view>
#include <utility>
#include <vector>

#include "support/StringTable.h"
#include "ui/QtText.h"
#include "ui/RestoreTreeText.h"
#include "ui/model/CheckState.h"
#include "ui/model/NodeComparison.h"

namespace salvoran {
namespace {

constexpr std::array<std::string_view, ResultTreeModel::ColumnCount> ColumnCaptions = {
    strings::FileNameColumn, strings::CreateTimeColumn, strings::ModifyTimeColumn,
    strings::FileSizeColumn, strings::FolderColumn,     strings::StateColumn};

Qt::CheckState QtCheckState(TCheckState state) {
  if (IsChecked(state)) return Qt::Checked;
  return IsMixed(state) ? Qt::PartiallyChecked : Qt::Unchecked;
}

}  // namespace

ResultTreeModel::ResultTreeModel(ResultTree& tree, QObject* parent)
    : QAbstractItemModel(parent),
      tree_(tree),
      folderIcon_(QApplication::style()->standardIcon(QStyle::SP_DirIcon)),
      fileIcon_(QApplication::style()->standardIcon(QStyle::SP_FileIcon)) {
  tree_.SetCheckStateChangedHandler([this](ResultNode& node) { NoteCheckStateChanged(node); });
}

ResultTreeModel::~ResultTreeModel() { tree_.SetCheckStateChangedHandler(nullptr); }

ResultNode* ResultTreeModel::NodeOf(const QModelIndex& index) const {
  return index.isValid() ? static_cast<ResultNode*>(index.internalPointer()) : nullptr;
}

QModelIndex ResultTreeModel::IndexOf(const ResultNode* node, int column) const {
  if (node == nullptr) return {};
  const int row = ModelRow(node);
  const ResultNode* parent = tree_.Parent(node);
  if (row < 0 || (parent != nullptr && !IndexOf(parent).isValid())) return {};
  return createIndex(row, column, const_cast<ResultNode*>(node));
}

const ResultTreeModel::ChildRows* ResultTreeModel::RowsOf(const ResultNode* parent) const {
  const auto found = rows_.find(parent);
  return found == rows_.end() ? nullptr : &found->second;
}

bool ResultTreeModel::FiltersChildrenOf(const ResultNode* parent) const {
  return parent != nullptr && tree_.Filtering();
}

size_t ResultTreeModel::RowCountOf(const ResultNode* parent) const {
  const ChildRows* rows = RowsOf(parent);
  if (rows == nullptr) return 0;
  return FiltersChildrenOf(parent) ? rows->Shown.size() : rows->Announced;
}

ResultNode* ResultTreeModel::NodeAt(const ResultNode* parent, size_t row) const {
  if (row >= RowCountOf(parent)) return nullptr;
  return FiltersChildrenOf(parent) ? RowsOf(parent)->Shown[row] : tree_.Child(parent, row);
}

int ResultTreeModel::ModelRow(const ResultNode* node) const {
  const ResultNode* parent = tree_.Parent(node);
  const ChildRows* rows = RowsOf(parent);
  const size_t treeRow = tree_.Row(node);
  if (rows == nullptr || treeRow >= rows->Announced) return -1;
  if (!FiltersChildrenOf(parent)) return static_cast<int>(treeRow);
  // The shown nodes are in tree order.
  const auto found = std::lower_bound(rows->Shown.begin(), rows->Shown.end(), treeRow,
                                      [this](const ResultNode* shown, size_t row) { return tree_.Row(shown) < row; });
  if (found == rows->Shown.end() || *found != node) return -1;
  return static_cast<int>(found - rows->Shown.begin());
}

void ResultTreeModel::ClearTree() {
  beginResetModel();
  tree_.Clear();
  rows_.clear();
  changedRows_.clear();
  endResetModel();
}

void ResultTreeModel::AnnounceNewRows() {
  AnnounceChildren(nullptr);
  const size_t roots = tree_.ChildCount(nullptr);
  for (size_t row = 0; row < roots; ++row) AnnounceChildren(tree_.Child(nullptr, row));
}

void ResultTreeModel::AnnounceChildren(const ResultNode* parent) {
  const ChildRows* known = RowsOf(parent);
  const size_t from = known ? known->Announced : 0;
  const size_t count = tree_.ChildCount(parent);
  if (count <= from) return;
  const QModelIndex parentIndex = IndexOf(parent);
  std::vector<ResultNode*> shown;
  if (FiltersChildrenOf(parent)) tree_.AppendShownChildren(parent, from, count, shown);
  const size_t firstRow = RowCountOf(parent);
  const size_t newRows = FiltersChildrenOf(parent) ? shown.size() : count - from;
  if (newRows > 0) beginInsertRows(parentIndex, static_cast<int>(firstRow), static_cast<int>(firstRow + newRows - 1));
  ChildRows& rows = rows_[parent];
  rows.Announced = count;
  rows.Shown.insert(rows.Shown.end(), shown.begin(), shown.end());
  if (newRows > 0) endInsertRows();
  // A root's caption counts its files.
  if (parentIndex.isValid()) emit dataChanged(parentIndex, parentIndex, {Qt::DisplayRole});
}

void ResultTreeModel::RebuildShownRows() {
  auto shown = tree_.Filtering() ? tree_.ShownChildren() : decltype(tree_.ShownChildren()){};
  for (auto& [parent, rows] : rows_) {
    rows.Shown.clear();
    const auto found = shown.find(parent);
    if (!FiltersChildrenOf(parent) || found == shown.end()) {
      rows.Shown.shrink_to_fit();
      continue;
    }
    // Views know only the announced rows.
    rows.Shown = std::move(found->second);
    const auto unannounced = std::partition_point(rows.Shown.begin(), rows.Shown.end(), [&](const ResultNode* node) {
      return tree_.Row(node) < rows.Announced;
    });
    rows.Shown.erase(unannounced, rows.Shown.end());
  }
}

void ResultTreeModel::ReorderShownRows() {
  std::vector<std::pair<size_t, ResultNode*>> byRow;
  for (auto& [parent, rows] : rows_) {
    if (!FiltersChildrenOf(parent)) continue;
    byRow.clear();
    for (ResultNode* node : rows.Shown) byRow.emplace_back(tree_.Row(node), node);
    std::sort(byRow.begin(), byRow.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::transform(byRow.begin(), byRow.end(), rows.Shown.begin(), [](const auto& entry) { return entry.second; });
  }
}

void ResultTreeModel::ChangeLayout(QAbstractItemModel::LayoutChangeHint hint, const std::function<void()>& change) {
  emit layoutAboutToBeChanged({}, hint);
  const QModelIndexList before = persistentIndexList();
  std::vector<std::pair<const ResultNode*, int>> cells;
  cells.reserve(before.size());
  for (const QModelIndex& index : before) cells.emplace_back(NodeOf(index), index.column());
  change();
  QModelIndexList after;
  after.reserve(before.size());
  for (const auto& [node, cellColumn] : cells) after.append(IndexOf(node, cellColumn));
  changePersistentIndexList(before, after);
  emit layoutChanged({}, hint);
}

void ResultTreeModel::SortTree(int column, TSortDirection direction, const ResultTree::NodeCompare& compare,
                               const ResultTree::NodeSortKeys& sortKeys) {
  AnnounceNewRows();  // rows views do not know yet must not be mixed in among those they do
  ChangeLayout(QAbstractItemModel::VerticalSortHint, [&] {
    tree_.Sort(column, direction, compare, sortKeys);
    if (tree_.Filtering()) ReorderShownRows();
  });
}

void ResultTreeModel::SetFilter(ResultTree::NodeFilter shows) {
  // The categories' states follow their shown files; views hear of it after the new layout.
  collectingChanges_ = true;
  ChangeLayout(QAbstractItemModel::NoLayoutChangeHint, [&] {
    tree_.SetFilter(std::move(shows));
    RebuildShownRows();
  });
  collectingChanges_ = false;
  EmitCheckStateChanges();
}

QModelIndex ResultTreeModel::index(int row, int column, const QModelIndex& parent) const {
  if (row < 0 || column < 0 || column >= ColumnCount || row >= rowCount(parent)) return {};
  return createIndex(row, column, NodeAt(NodeOf(parent), static_cast<size_t>(row)));
}

QModelIndex ResultTreeModel::parent(const QModelIndex& child) const {
  const ResultNode* parentNode = tree_.Parent(NodeOf(child));
  if (parentNode == nullptr) return {};
  return createIndex(ModelRow(parentNode), 0, const_cast<ResultNode*>(parentNode));
}

int ResultTreeModel::rowCount(const QModelIndex& parent) const {
  if (parent.column() > 0) return 0;
  return static_cast<int>(RowCountOf(NodeOf(parent)));
}

int ResultTreeModel::columnCount(const QModelIndex&) const { return ColumnCount; }

QVariant ResultTreeModel::data(const QModelIndex& index, int role) const {
  const ResultNode* node = NodeOf(index);
  if (node == nullptr) return {};
  switch (role) {
    case Qt::DisplayRole:
      return RestoreTreeGetText(tree_, *node, index.column());
    case Qt::DecorationRole:
      if (index.column() != 0) return {};
      return node->Data().IsFileEntry == 0 ? folderIcon_ : fileIcon_;
    case Qt::CheckStateRole:
      if (index.column() != 0 || tree_.CheckType(node) == ctNone) return {};
      return QtCheckState(tree_.CheckState(node));
    case Qt::ToolTipRole:
      if (index.column() != rcState || node->Data().IsFileEntry == 0) return {};
      return StateToolTip(node->Clusters());
    default:
      return {};
  }
}

bool ResultTreeModel::setData(const QModelIndex& index, const QVariant&, int role) {
  ResultNode* node = NodeOf(index);
  if (role != Qt::CheckStateRole || node == nullptr || index.column() != 0) return false;
  const TCheckType type = tree_.CheckType(node);
  if (type == ctNone) return false;
  collectingChanges_ = true;
  const bool changed = tree_.SetCheckState(node, NextCheckStateOfClick(type, tree_.CheckState(node)));
  collectingChanges_ = false;
  EmitCheckStateChanges();
  return changed;
}

void ResultTreeModel::NoteCheckStateChanged(const ResultNode& node) {
  const int modelRow = ModelRow(&node);
  if (modelRow < 0) return;
  const size_t row = static_cast<size_t>(modelRow);
  const auto [span, added] = changedRows_.try_emplace(tree_.Parent(&node), RowSpan{row, row});
  if (!added) {
    span->second.First = std::min(span->second.First, row);
    span->second.Last = std::max(span->second.Last, row);
  }
  if (!collectingChanges_) EmitCheckStateChanges();
}

void ResultTreeModel::EmitCheckStateChanges() {
  const auto changes = std::exchange(changedRows_, {});
  for (const auto& [parent, span] : changes) {
    const QModelIndex parentIndex = IndexOf(parent);
    RowRange rows{static_cast<int>(span.First), static_cast<int>(span.Last)};
    if (parent != nullptr && rowsInSight_) {
      const std::optional<RowRange> inSight = rowsInSight_(parentIndex);
      if (!inSight) continue;
      rows = {std::max(rows.First, inSight->First), std::min(rows.Last, inSight->Last)};
      if (rows.First > rows.Last) continue;
    }
    emit dataChanged(index(rows.First, 0, parentIndex), index(rows.Last, 0, parentIndex), {Qt::CheckStateRole});
  }
}

Qt::ItemFlags ResultTreeModel::flags(const QModelIndex& index) const {
  const ResultNode* node = NodeOf(index);
  if (node == nullptr) return Qt::NoItemFlags;
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (index.column() == 0 && (tree_.AllHaveCheckMarks() || tree_.CheckType(node) != ctNone)) {
    flags |= Qt::ItemIsUserCheckable;
  }
  return flags;
}

QVariant ResultTreeModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount) return {};
  return ToQString(ColumnCaptions[static_cast<size_t>(section)]);
}

}  // namespace salvoran
