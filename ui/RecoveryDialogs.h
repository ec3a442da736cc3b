#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace salvoran {

// The questions the recovery of checked files asks the user. Texts and paths are UTF-8.
class RecoveryDialogs {
 public:
  virtual ~RecoveryDialogs() = default;

  // Where to save a single file, suggestedName filled in; nothing when cancelled. Asks before
  // replacing an existing file.
  virtual std::optional<std::filesystem::path> ChooseSaveFile(const std::string& suggestedName) = 0;
  // A folder for several files; nothing when cancelled.
  virtual std::optional<std::filesystem::path> ChooseFolder(std::string_view prompt) = 0;
  virtual bool AskYesNo(std::string_view question) = 0;
  // A message box without an icon and with an OK button only.
  virtual void ShowPlainMessage(std::string_view caption, std::string_view text) = 0;
};

}  // namespace salvoran
