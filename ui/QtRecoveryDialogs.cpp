#include "ui/QtRecoveryDialogs.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QString>

#include "support/StringTable.h"
#include "ui/QtText.h"

namespace salvoran {
namespace {

// The path's own bytes, which are UTF-8 on this system; never a narrow code page.
std::optional<std::filesystem::path> ChosenPath(const QString& chosen) {
  if (chosen.isEmpty()) return std::nullopt;
  return std::filesystem::path(chosen.toStdString());
}

}  // namespace

std::optional<std::filesystem::path> QtRecoveryDialogs::ChooseSaveFile(const std::string& suggestedName) {
  return ChosenPath(QFileDialog::getSaveFileName(parent_, QString(), QString::fromStdString(suggestedName)));
}

std::optional<std::filesystem::path> QtRecoveryDialogs::ChooseFolder(std::string_view prompt) {
  return ChosenPath(QFileDialog::getExistingDirectory(parent_, ToQString(prompt)));
}

bool QtRecoveryDialogs::AskYesNo(std::string_view question) {
  // No is the default: the question is asked only where yes can cost data.
  return QMessageBox::warning(parent_, ToQString(strings::ApplicationTitle), ToQString(question),
                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

void QtRecoveryDialogs::ShowPlainMessage(std::string_view caption, std::string_view text) {
  QMessageBox box(QMessageBox::NoIcon, ToQString(caption), ToQString(text), QMessageBox::Ok, parent_);
  box.exec();
}

}  // namespace salvoran
