#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "support/StringTable.h"
#include "tests/support/TempDir.h"
#include "ui/QtRecoveryDialogs.h"

namespace salvoran {
namespace {

namespace fs = std::filesystem;

constexpr int PollMs = 10;
// Letters outside ASCII in a folder and a file name: each must arrive as the same UTF-8 bytes.
constexpr char FolderName[] = "\xC3\x96rdner";
constexpr char FileName[] = "r\xC3\xA9sum\xC3\xA9 \xE2\x9C\x93.txt";

// The dialog functions block until their dialog closes; this acts on the dialog once it shows.
template <typename Dialog>
void WhenShown(std::function<void(Dialog&)> act) {
  auto* timer = new QTimer;
  QObject::connect(timer, &QTimer::timeout, [timer, act] {
    auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr || !dialog->isVisible()) return;
    timer->stop();
    timer->deleteLater();
    act(*dialog);
  });
  timer->start(PollMs);
}

QString FromPath(const fs::path& path) { return QString::fromStdString(path.string()); }

class QtRecoveryDialogsTest : public ::testing::Test {
 protected:
  QtRecoveryDialogsTest() : folderPath_(folder_.Path() / FolderName) {
    fs::create_directory(folderPath_);
    // Each test starts as a first restore: no folder remembered (the test run has a settings
    // folder of its own, ComponentsTestMain.cpp).
    Settings().clear();
  }

  // Where the program keeps the folder of the last restore.
  static QSettings Settings() { return QSettings(QSettings::NativeFormat, QSettings::UserScope, "corvath-salvoran"); }

  test::TempDir folder_;
  fs::path folderPath_;
  QtRecoveryDialogs dialogs_{nullptr};
};

TEST_F(QtRecoveryDialogsTest, TheSaveDialogSuggestsTheNameAndAnswersTheChosenPathInUtf8) {
  QString suggested;
  WhenShown<QFileDialog>([&](QFileDialog& dialog) {
    suggested = dialog.findChild<QLineEdit*>("fileNameEdit")->text();
    EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptSave);
    EXPECT_FALSE(dialog.testOption(QFileDialog::DontConfirmOverwrite));
    dialog.setDirectory(FromPath(folderPath_));
    dialog.selectFile(QString::fromUtf8(FileName));
    static_cast<QDialog&>(dialog).accept();  // public in QDialog, reaches QFileDialog's checks
  });

  const std::optional<fs::path> chosen = dialogs_.ChooseSaveFile("photo.jpg");

  EXPECT_EQ(suggested, "photo.jpg");
  ASSERT_TRUE(chosen.has_value());
  EXPECT_EQ(chosen->string(), (folderPath_ / FileName).string());
}

TEST_F(QtRecoveryDialogsTest, CancellingEitherFileDialogAnswersNothing) {
  WhenShown<QFileDialog>([](QFileDialog& dialog) { dialog.reject(); });
  EXPECT_FALSE(dialogs_.ChooseSaveFile("photo.jpg").has_value());
  WhenShown<QDialog>([](QDialog& dialog) { dialog.findChild<QFileDialog*>()->reject(); });
  EXPECT_FALSE(dialogs_.ChooseFolder(strings::ChooseFolderPrompt).has_value());
}

TEST_F(QtRecoveryDialogsTest, TheFolderDialogShowsThePromptInsideAndAnswersTheFolderInUtf8AndTheKeepFoldersBox) {
  QString title;
  QString prompt;
  QString keepFoldersCaption;
  bool keepFoldersAtFirst = true;
  WhenShown<QDialog>([&](QDialog& dialog) {
    title = dialog.windowTitle();
    const auto* label = dialog.findChild<QLabel*>("FolderPrompt");
    if (label != nullptr && label->isVisible()) prompt = label->text();
    auto* keepFolders = dialog.findChild<QCheckBox*>("KeepFolders");
    if (keepFolders != nullptr && keepFolders->isVisible()) {
      keepFoldersCaption = keepFolders->text();
      keepFoldersAtFirst = keepFolders->isChecked();
      keepFolders->click();
    }
    auto* folders = dialog.findChild<QFileDialog*>();
    EXPECT_EQ(folders->fileMode(), QFileDialog::Directory);
    // Typed, as selectFile leaves a field that has the keyboard as it is.
    folders->findChild<QLineEdit*>("fileNameEdit")->setText(FromPath(folderPath_));
    static_cast<QDialog*>(folders)->accept();  // public in QDialog, reaches QFileDialog's checks
  });

  const std::optional<FolderChoice> chosen = dialogs_.ChooseFolder(strings::ChooseFolderPrompt);

  EXPECT_EQ(title.toStdString(), strings::ChooseFolderPrompt);
  EXPECT_EQ(prompt.toStdString(), strings::ChooseFolderPrompt);
  ASSERT_TRUE(chosen.has_value());
  EXPECT_EQ(chosen->Folder.string(), folderPath_.string());
  EXPECT_EQ(keepFoldersCaption.toStdString(), strings::KeepFoldersCaption);
  EXPECT_FALSE(keepFoldersAtFirst);
  EXPECT_TRUE(chosen->KeepFolders);
}

// Enter in a dialog that has just opened would take the folder it shows, which nobody chose:
// once the working directory, where the files of a restore then went.
TEST_F(QtRecoveryDialogsTest, TheFolderDialogTakesOnlyAChosenFolderAndOpensThereNextTime) {
  QString openedIn;
  bool stayedOpen = false;
  WhenShown<QDialog>([&](QDialog& dialog) {
    auto* folders = dialog.findChild<QFileDialog*>();
    openedIn = folders->directory().absolutePath();
    QTest::keyClick(folders->findChild<QLineEdit*>("fileNameEdit"), Qt::Key_Return);
    stayedOpen = dialog.isVisible();
    folders->setDirectory(FromPath(folder_.Path()));
    folders->findChild<QLineEdit*>("fileNameEdit")->setText(FromPath(folderPath_));
    QTest::keyClick(folders->findChild<QLineEdit*>("fileNameEdit"), Qt::Key_Return);
  });
  const std::optional<FolderChoice> first = dialogs_.ChooseFolder(strings::ChooseFolderPrompt);
  EXPECT_EQ(openedIn.toStdString(), QDir::homePath().toStdString());
  EXPECT_TRUE(stayedOpen);
  ASSERT_TRUE(first.has_value());
  EXPECT_EQ(first->Folder.string(), folderPath_.string());
  EXPECT_EQ(Settings().value("LastRestoreFolder").toString().toStdString(), folderPath_.string());

  // The next restore offers the same folder, chosen already: Enter takes it.
  WhenShown<QDialog>([&](QDialog& dialog) {
    QTest::keyClick(dialog.findChild<QFileDialog*>()->findChild<QLineEdit*>("fileNameEdit"), Qt::Key_Return);
  });
  const std::optional<FolderChoice> again = dialogs_.ChooseFolder(strings::ChooseFolderPrompt);
  ASSERT_TRUE(again.has_value());
  EXPECT_EQ(again->Folder.string(), folderPath_.string());

  // And the save dialog of a single file opens there too.
  WhenShown<QFileDialog>([&](QFileDialog& dialog) {
    openedIn = dialog.directory().absolutePath();
    dialog.reject();
  });
  dialogs_.ChooseSaveFile("photo.jpg");
  EXPECT_EQ(openedIn.toStdString(), folderPath_.string());
}

TEST_F(QtRecoveryDialogsTest, TheQuestionDefaultsToNoAndAnswersTheButtonPressed) {
  for (const QMessageBox::StandardButton pressed : {QMessageBox::Yes, QMessageBox::No}) {
    WhenShown<QMessageBox>([&](QMessageBox& box) {
      EXPECT_EQ(box.windowTitle().toStdString(), strings::ApplicationTitle);
      EXPECT_EQ(box.text(), "Write there?");
      EXPECT_EQ(box.standardButtons(), QMessageBox::Yes | QMessageBox::No);
      EXPECT_EQ(box.defaultButton(), box.button(QMessageBox::No));
      box.button(pressed)->click();
    });
    EXPECT_EQ(dialogs_.AskYesNo("Write there?"), pressed == QMessageBox::Yes);
  }
}

TEST_F(QtRecoveryDialogsTest, ThePlainMessageHasNoIconAndOnlyAnOkButtonAndShowsItsDetails) {
  int shown = 0;
  QString details;
  WhenShown<QMessageBox>([&](QMessageBox& box) {
    ++shown;
    EXPECT_EQ(box.icon(), QMessageBox::NoIcon);
    EXPECT_EQ(box.windowTitle().toStdString(), strings::ApplicationTitle);
    EXPECT_EQ(box.text().toStdString(), strings::FilesSavedMessage);
    EXPECT_EQ(box.standardButtons(), QMessageBox::Ok);
    EXPECT_EQ(box.informativeText(), "a note");
    details = box.detailedText();
    box.button(QMessageBox::Ok)->click();
  });

  dialogs_.ShowPlainMessage(strings::ApplicationTitle, strings::FilesSavedMessage, "a note", "one.jpg\ntwo.jpg");
  EXPECT_EQ(shown, 1);
  EXPECT_EQ(details, "one.jpg\ntwo.jpg");
}

// A batch from a damaged area: one dialog for all, every line in it, and the list on the
// clipboard at a click.
TEST_F(QtRecoveryDialogsTest, TheFailureListShowsEveryFileWithItsReasonAndCopies) {
  constexpr int FailureCount = 20000;
  std::vector<RestoreFailure> failures;
  for (int number = 0; number < FailureCount; ++number) {
    failures.push_back({"file" + std::to_string(number) + ".jpg", "Invalid File Record 1!"});
  }
  int dialogsShown = 0;
  QString title;
  QString summary;
  QStringList lines;
  WhenShown<QDialog>([&](QDialog& dialog) {
    ++dialogsShown;
    title = dialog.windowTitle();
    for (const QLabel* label : dialog.findChildren<QLabel*>()) summary += label->text();
    for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
      if (button->text().toStdString() == strings::CopyListCaption) button->click();
    }
    lines = dialog.findChild<QPlainTextEdit*>("FailureList")->toPlainText().split('\n');
    dialog.accept();
  });

  dialogs_.ShowFailures(strings::ApplicationTitle, "the summary", failures);

  EXPECT_EQ(dialogsShown, 1);
  EXPECT_EQ(title.toStdString(), strings::ApplicationTitle);
  EXPECT_EQ(summary, "the summary");
  ASSERT_EQ(lines.size(), FailureCount);
  EXPECT_EQ(lines.front(), QString::fromUtf8("file0.jpg \u2014 Invalid File Record 1!"));
  EXPECT_EQ(lines.back(), QString::fromUtf8("file19999.jpg \u2014 Invalid File Record 1!"));
  EXPECT_EQ(QApplication::clipboard()->text(), lines.join('\n'));
}

}  // namespace
}  // namespace salvoran
