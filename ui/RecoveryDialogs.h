#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace salvoran {

// A file that a restore of several could not write, and why.
struct RestoreFailure {
  std::string Name;
  std::string Reason;
};

// Where a restore of several files goes, and whether each file goes under a copy of the folder
// it was deleted from (RestoreFolder::TargetFor).
struct FolderChoice {
  std::filesystem::path Folder;
  bool KeepFolders = false;
};

// The questions the recovery of checked files asks the user. Texts and paths are UTF-8.
class RecoveryDialogs {
 public:
  virtual ~RecoveryDialogs() = default;

  // Where to save a single file, suggestedName filled in; nothing when cancelled. Asks before
  // replacing an existing file.
  virtual std::optional<std::filesystem::path> ChooseSaveFile(const std::string& suggestedName) = 0;
  // A folder for several files, with "keep folders" unchecked at first; nothing when cancelled.
  virtual std::optional<FolderChoice> ChooseFolder(std::string_view prompt) = 0;
  virtual bool AskYesNo(std::string_view question) = 0;
  // A message box without an icon and with an OK button only; a note, when not empty, shows
  // below the text, which stays as it is, and details, when not empty, behind a button.
  virtual void ShowPlainMessage(std::string_view caption, std::string_view text, std::string_view note,
                                std::string_view details) = 0;
  // The end of a restore that did not save every file: the summary above the list of failures.
  virtual void ShowFailures(std::string_view caption, std::string_view summary,
                            const std::vector<RestoreFailure>& failures) = 0;
};

}  // namespace salvoran
