#include "ui/FileListFilter.h"

#include <QStringView>
#include <algorithm>
#include <iterator>

namespace salvoran {
namespace {

constexpr char16_t FirstNonAscii = 0x80;

bool IsAscii(std::u16string_view text) {
  return std::all_of(text.begin(), text.end(), [](char16_t unit) { return unit < FirstNonAscii; });
}

char16_t LowerAscii(char16_t unit) { return unit >= u'A' && unit <= u'Z' ? unit - u'A' + u'a' : unit; }

}  // namespace

FileListFilter::FileListFilter(const QString& text, bool hideOverwritten)
    : text_(text.trimmed()), hideOverwritten_(hideOverwritten) {
  const std::u16string typed = text_.toStdU16String();
  if (IsAscii(typed)) std::transform(typed.begin(), typed.end(), std::back_inserter(asciiText_), LowerAscii);
}

bool FileListFilter::Shows(const ResultNode& node) {
  if (hideOverwritten_ && StateOf(node.Clusters()) == ContentState::Overwritten) return false;
  if (text_.isEmpty()) return true;
  return FolderMatches(node.Folder()) || NameMatches(node.Data().FileName);
}

bool FileListFilter::NameMatches(std::u16string_view name) const {
  // Some letters outside ASCII fold to ASCII ones (the Kelvin sign to "k"): such names go to Qt.
  if (asciiText_.empty() || !IsAscii(name)) {
    return QStringView(name.data(), static_cast<qsizetype>(name.size())).contains(text_, Qt::CaseInsensitive);
  }
  return std::search(name.begin(), name.end(), asciiText_.begin(), asciiText_.end(),
                     [](char16_t unit, char16_t lowered) { return LowerAscii(unit) == lowered; }) != name.end();
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
