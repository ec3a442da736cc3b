#pragma once

#include "ui/RecoveryDialogs.h"

class QWidget;

namespace salvoran {

// The recovery's questions as the desktop program asks them: file dialogs and message boxes
// over the main window.
class QtRecoveryDialogs : public RecoveryDialogs {
 public:
  explicit QtRecoveryDialogs(QWidget* parent) : parent_(parent) {}

  std::optional<std::filesystem::path> ChooseSaveFile(const std::string& suggestedName) override;
  std::optional<FolderChoice> ChooseFolder(std::string_view prompt) override;
  bool AskYesNo(std::string_view question) override;
  void ShowPlainMessage(std::string_view caption, std::string_view text, std::string_view note,
                        std::string_view details) override;
  void ShowFailures(std::string_view caption, std::string_view summary,
                    const std::vector<RestoreFailure>& failures) override;

 private:
  QWidget* parent_;
};

}  // namespace salvoran
