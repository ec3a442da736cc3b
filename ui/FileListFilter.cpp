#include "ui/FileListFilter.h"

#include <QStringView>

namespace salvoran {

FileListFilter::FileListFilter(const QString& text, bool hideOverwritten)
    : text_(text.trimmed()), hideOverwritten_(hideOverwritten) {}

bool FileListFilter::Shows(const ResultNode& node) {
  if (hideOverwritten_ && StateOf(node.Clusters()) == ContentState::Overwritten) return false;
  if (text_.isEmpty()) return true;
  const std::u16string& name = node.Data().FileName;
  return FolderMatches(node.Folder()) ||
         QStringView(name.data(), static_cast<qsizetype>(name.size())).contains(text_, Qt::CaseInsensitive);
}

bool FileListFilter::FolderMatches(const TreeFolder& folder) {
  if (folder.Id >= folderMatches_.size()) folderMatches_.resize(folder.Id + 1, Match::Unknown);
  Match& match = folderMatches_[folder.Id];
  if (match == Match::Unknown) {
    match = QString::fromStdString(folder.Text).contains(text_, Qt::CaseInsensitive) ? Match::Yes : Match::No;
  }
  return match == Match::Yes;
}

}  // namespace salvoran
