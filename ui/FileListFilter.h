#pragma once

#include <QString>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ui/model/ResultTree.h"

namespace salvoran {

// Which files the list shows: those whose name or folder contains the typed text, letters
// compared without regard to case as Unicode folds them ("ä" finds "Ä"), and, when asked, none
// whose clusters are all in use by other files again.
class FileListFilter {
 public:
  // Blanks around the text are not looked at.
  FileListFilter(const QString& text, bool hideOverwritten);

  // True when it shows every file.
  bool ShowsAll() const { return text_.isEmpty() && !hideOverwritten_; }
  // Each folder is looked at once, however many files it holds.
  bool Shows(const ResultNode& node);

 private:
  enum class Match : uint8_t { Unknown, Yes, No };

  bool FolderMatches(const TreeFolder& folder);
  bool NameMatches(std::u16string_view name) const;

  QString text_;
  // The text lower-cased when it is all ASCII, else empty: names of ASCII only are then searched
  // without Unicode's case folding, which costs more than the search itself.
  std::u16string asciiText_;
  bool hideOverwritten_;
  std::vector<Match> folderMatches_;  // by TreeFolder::Id
};

}  // namespace salvoran
