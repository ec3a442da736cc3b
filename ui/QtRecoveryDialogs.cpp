#include "ui/QtRecoveryDialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QString>
#include <QVBoxLayout>

#include "support/StringTable.h"
#include "ui/ProgramSettings.h"
#include "ui/QtText.h"

namespace salvoran {
namespace {

constexpr QSize FailuresDialogSize(560, 360);
constexpr char FailureSeparator[] = " \u2014 ";
// Where the user last restored to.
constexpr char LastRestoreFolderKey[] = "LastRestoreFolder";

// Where the dialogs open, while it is there; else they open in the home folder, never in the
// working directory the program happened to start in.
std::optional<QString> LastRestoreFolder() {
  const QString last = ProgramSettings().value(LastRestoreFolderKey).toString();
  if (last.isEmpty() || !QFileInfo(last).isDir()) return std::nullopt;
  return last;
}

void RememberRestoreFolder(const std::filesystem::path& folder) {
  ProgramSettings().setValue(LastRestoreFolderKey, QString::fromStdString(folder.string()));
}

// Qt's folder dialog takes the folder it shows when the Directory field is empty: pressing
// Enter at once restored into whatever folder the dialog opened in. The field must name the
// folder, or the user must have gone into the one shown.
class ChosenFolderDialog : public QFileDialog {
 public:
  explicit ChosenFolderDialog(QWidget* parent) : QFileDialog(parent) {
    connect(this, &QFileDialog::directoryEntered, this, [this] { entered_ = true; });
  }

  void accept() override {
    const auto* field = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (!entered_ && (field == nullptr || field->text().trimmed().isEmpty())) return;
    QFileDialog::accept();
  }

 private:
  bool entered_ = false;
};

// The path's own bytes, which are UTF-8 on this system; never a narrow code page.
std::optional<std::filesystem::path> ChosenPath(const QString& chosen) {
  if (chosen.isEmpty()) return std::nullopt;
  return std::filesystem::path(chosen.toStdString());
}

// One line per file, as plain text that copies as it reads.
QString FailureListText(const std::vector<RestoreFailure>& failures) {
  QStringList lines;
  lines.reserve(static_cast<qsizetype>(failures.size()));
  const QString separator = QString::fromUtf8(FailureSeparator);
  for (const RestoreFailure& failure : failures) lines.append(ToQString(failure.Name) + separator + ToQString(failure.Reason));
  return lines.join('\n');
}

}  // namespace

std::optional<std::filesystem::path> QtRecoveryDialogs::ChooseSaveFile(const std::string& suggestedName) {
  const QDir folder(LastRestoreFolder().value_or(QDir::homePath()));
  const std::optional<std::filesystem::path> chosen = ChosenPath(
      QFileDialog::getSaveFileName(parent_, QString(), folder.filePath(QString::fromStdString(suggestedName))));
  if (chosen) RememberRestoreFolder(chosen->parent_path());
  return chosen;
}

// Qt's own folder dialog inside one that shows the prompt above it: a desktop's native dialog
// would show the prompt in its title bar only.
std::optional<FolderChoice> QtRecoveryDialogs::ChooseFolder(std::string_view prompt) {
  QDialog dialog(parent_);
  dialog.setWindowTitle(ToQString(prompt));
  auto* promptLabel = new QLabel(ToQString(prompt), &dialog);
  promptLabel->setObjectName("FolderPrompt");
  auto* folders = new ChosenFolderDialog(&dialog);
  folders->setWindowFlags(Qt::Widget);
  folders->setOption(QFileDialog::DontUseNativeDialog);
  folders->setOption(QFileDialog::ShowDirsOnly);
  folders->setFileMode(QFileDialog::Directory);
  // The last restore's folder comes selected, so that Enter takes it again.
  if (const std::optional<QString> last = LastRestoreFolder()) {
    folders->selectFile(*last);
  } else {
    folders->setDirectory(QDir::home());
  }
  QObject::connect(folders, &QFileDialog::finished, &dialog, &QDialog::done);
  auto* keepFolders = new QCheckBox(ToQString(strings::KeepFoldersCaption), &dialog);
  keepFolders->setObjectName("KeepFolders");
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(promptLabel);
  // Above the folders, so that it is seen before the Choose button below them.
  layout->addWidget(keepFolders);
  layout->addWidget(folders);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const std::optional<std::filesystem::path> folder = ChosenPath(folders->selectedFiles().value(0));
  if (!folder) return std::nullopt;
  RememberRestoreFolder(*folder);
  return FolderChoice{*folder, keepFolders->isChecked()};
}

bool QtRecoveryDialogs::AskYesNo(std::string_view question) {
  // No is the default: the question is asked only where yes can cost data.
  return QMessageBox::warning(parent_, ToQString(strings::ApplicationTitle), ToQString(question),
                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

void QtRecoveryDialogs::ShowPlainMessage(std::string_view caption, std::string_view text, std::string_view note,
                                         std::string_view details) {
  QMessageBox box(QMessageBox::NoIcon, ToQString(caption), ToQString(text), QMessageBox::Ok, parent_);
  if (!note.empty()) box.setInformativeText(ToQString(note));
  if (!details.empty()) box.setDetailedText(ToQString(details));
  box.exec();
}

void QtRecoveryDialogs::ShowFailures(std::string_view caption, std::string_view summary,
                                     const std::vector<RestoreFailure>& failures) {
  QDialog dialog(parent_);
  dialog.setObjectName("RestoreFailures");
  dialog.setWindowTitle(ToQString(caption));
  auto* summaryLabel = new QLabel(ToQString(summary), &dialog);
  summaryLabel->setTextFormat(Qt::PlainText);
  // A plain text view lays out only the lines in sight, so tens of thousands open at once.
  auto* list = new QPlainTextEdit(&dialog);
  list->setObjectName("FailureList");
  list->setReadOnly(true);
  list->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  list->setLineWrapMode(QPlainTextEdit::NoWrap);
  list->setPlainText(FailureListText(failures));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &dialog);
  QPushButton* copy = buttons->addButton(ToQString(strings::CopyListCaption), QDialogButtonBox::ActionRole);
  QObject::connect(copy, &QPushButton::clicked, list,
                   [list] { QApplication::clipboard()->setText(list->toPlainText()); });
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(summaryLabel);
  layout->addWidget(list, 1);
  layout->addWidget(buttons);
  dialog.resize(FailuresDialogSize);
  dialog.exec();
}

}  // namespace salvoran
