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

namespace salvoran {
namespace {

constexpr std::array<std::string_view, ResultTreeModel::ColumnCount> ColumnCaptions = {
    strings::FileNameColumn, strings::CreateTimeColumn, strings::ModifyTimeColumn, strings::FileSizeColumn};

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
  const ResultNode* parent = tree_.Parent(node);
  const size_t row = tree_.Row(node);
  if (row >= AnnouncedRows(parent) || (parent != nullptr && !IndexOf(parent).isValid())) return {};
  return createIndex(static_cast<int>(row), column, const_cast<ResultNode*>(node));
}

size_t ResultTreeModel::AnnouncedRows(const ResultNode* parent) const {
  const auto found = announcedRows_.find(parent);
  return found == announcedRows_.end() ? 0 : found->second;
}

void ResultTreeModel::ClearTree() {
  beginResetModel();
  tree_.Clear();
  announcedRows_.clear();
  changedRows_.clear();
  endResetModel();
}

void ResultTreeModel::AnnounceNewRows() {
  AnnounceChildren(nullptr);
  const size_t roots = AnnouncedRows(nullptr);
  for (size_t row = 0; row < roots; ++row) AnnounceChildren(tree_.Child(nullptr, row));
}

void ResultTreeModel::AnnounceChildren(const ResultNode* parent) {
  const size_t known = AnnouncedRows(parent);
  const size_t count = tree_.ChildCount(parent);
  if (count <= known) return;
  const QModelIndex parentIndex = IndexOf(parent);
  beginInsertRows(parentIndex, static_cast<int>(known), static_cast<int>(count - 1));
  announcedRows_[parent] = count;
  endInsertRows();
  // A root's caption counts its files.
  if (parentIndex.isValid()) emit dataChanged(parentIndex, parentIndex, {Qt::DisplayRole});
}

void ResultTreeModel::SortTree(int column, TSortDirection direction, const ResultTree::NodeCompare& compare,
                               const ResultTree::NodeSortKey& sortKey) {
  AnnounceNewRows();  // rows views do not know yet must not be mixed in among those they do
  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  const QModelIndexList before = persistentIndexList();
  std::vector<std::pair<const ResultNode*, int>> cells;
  cells.reserve(before.size());
  for (const QModelIndex& index : before) cells.emplace_back(NodeOf(index), index.column());
  tree_.Sort(column, direction, compare, sortKey);
  QModelIndexList after;
  after.reserve(before.size());
  for (const auto& [node, cellColumn] : cells) after.append(IndexOf(node, cellColumn));
  changePersistentIndexList(before, after);
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

QModelIndex ResultTreeModel::index(int row, int column, const QModelIndex& parent) const {
  if (row < 0 || column < 0 || column >= ColumnCount || row >= rowCount(parent)) return {};
  return createIndex(row, column, tree_.Child(NodeOf(parent), static_cast<size_t>(row)));
}

QModelIndex ResultTreeModel::parent(const QModelIndex& child) const {
  const ResultNode* parentNode = tree_.Parent(NodeOf(child));
  if (parentNode == nullptr) return {};
  return createIndex(static_cast<int>(tree_.Row(parentNode)), 0, const_cast<ResultNode*>(parentNode));
}

int ResultTreeModel::rowCount(const QModelIndex& parent) const {
  if (parent.column() > 0) return 0;
  return static_cast<int>(AnnouncedRows(NodeOf(parent)));
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
  const ResultNode* parent = tree_.Parent(&node);
  const size_t row = tree_.Row(&node);
  if (row >= AnnouncedRows(parent)) return;
  const auto [span, added] = changedRows_.try_emplace(parent, RowSpan{row, row});
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
    emit dataChanged(index(static_cast<int>(span.First), 0, parentIndex),
                     index(static_cast<int>(span.Last), 0, parentIndex), {Qt::CheckStateRole});
  }
}

Qt::ItemFlags ResultTreeModel::flags(const QModelIndex& index) const {
  const ResultNode* node = NodeOf(index);
  if (node == nullptr) return Qt::NoItemFlags;
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (index.column() == 0 && tree_.CheckType(node) != ctNone) flags |= Qt::ItemIsUserCheckable;
  return flags;
}

QVariant ResultTreeModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount) return {};
  return ToQString(ColumnCaptions[static_cast<size_t>(section)]);
}

}  // namespace salvoran
