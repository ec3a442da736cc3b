#include "ui/FileFilter.h"

#include <QStringView>

namespace salvoran {

FileFilter::FileFilter(const QString& text, bool hideOverwritten)
    : text_(text.trimmed()), hideOverwritten_(hideOverwritten) {}

bool FileFilter::Shows(const ResultNode& node) {
  if (hideOverwritten_ && StateOf(node.Clusters()) == FileState::Overwritten) return false;
  if (text_.isEmpty()) return true;
  const std::u16string& name = node.Data().FileName;
  return FolderMatches(node.Folder()) ||
         QStringView(name.data(), static_cast<qsizetype>(name.size())).contains(text_, Qt::CaseInsensitive);
}

bool FileFilter::FolderMatches(const TreeFolder& folder) {
  if (folder.Id >= folderMatches_.size()) folderMatches_.resize(folder.Id + 1, Match::Unknown);
  Match& match = folderMatches_[folder.Id];
  if (match == Match::Unknown) {
    match = QString::fromStdString(folder.Text).contains(text_, Qt::CaseInsensitive) ? Match::Yes : Match::No;
  }
  return match == Match::Yes;
}

}  // namespace salvoran
