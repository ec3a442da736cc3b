#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ui/RecoveryDialogs.h"

namespace salvoran::test {

// Answers the recovery's questions as scripted and notes every one.
class ScriptedDialogs : public RecoveryDialogs {
 public:
  std::optional<std::filesystem::path> ChooseSaveFile(const std::string& suggestedName) override {
    SuggestedNames.push_back(suggestedName);
    Asking();
    return SaveAnswer;
  }
  std::optional<FolderChoice> ChooseFolder(std::string_view prompt) override {
    FolderPrompts.emplace_back(prompt);
    Asking();
    if (!FolderAnswer) return std::nullopt;
    return FolderChoice{*FolderAnswer, KeepFoldersAnswer};
  }
  bool AskYesNo(std::string_view question) override {
    Questions.emplace_back(question);
    Asking();
    return YesAnswer;
  }
  void ShowPlainMessage(std::string_view caption, std::string_view text, std::string_view note,
                        std::string_view details) override {
    Messages.emplace_back(caption, text);
    MessageNotes.emplace_back(note);
    MessageDetails.emplace_back(details);
    Asking();
  }
  void ShowFailures(std::string_view caption, std::string_view summary,
                    const std::vector<RestoreFailure>& failures) override {
    FailureLists.push_back({std::string(caption), std::string(summary), failures});
    Asking();
  }

  std::optional<std::filesystem::path> SaveAnswer;
  std::optional<std::filesystem::path> FolderAnswer;
  bool KeepFoldersAnswer = false;
  bool YesAnswer = true;
  // Runs while each question is open, as the user could act behind a real dialog.
  std::function<void()> WhileAsking;

  std::vector<std::string> SuggestedNames;
  std::vector<std::string> FolderPrompts;
  std::vector<std::string> Questions;
  std::vector<std::pair<std::string, std::string>> Messages;
  // The note below each message, "" for none.
  std::vector<std::string> MessageNotes;
  // Behind the details button of each message, "" for none.
  std::vector<std::string> MessageDetails;
  struct FailureList {
    std::string Caption;
    std::string Summary;
    std::vector<RestoreFailure> Failures;
  };
  std::vector<FailureList> FailureLists;

 private:
  void Asking() {
    if (WhileAsking) WhileAsking();
  }
};

}  // namespace salvoran::test
