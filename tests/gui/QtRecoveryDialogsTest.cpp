#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <filesystem>
#include <functional>

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
  QtRecoveryDialogsTest() : folderPath_(folder_.Path() / FolderName) { fs::create_directory(folderPath_); }

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
  WhenShown<QFileDialog>([](QFileDialog& dialog) { dialog.reject(); });
  EXPECT_FALSE(dialogs_.ChooseFolder(strings::ChooseFolderPrompt).has_value());
}

TEST_F(QtRecoveryDialogsTest, TheFolderDialogShowsThePromptAndAnswersTheFolderInUtf8) {
  QString title;
  WhenShown<QFileDialog>([&](QFileDialog& dialog) {
    title = dialog.windowTitle();
    EXPECT_EQ(dialog.fileMode(), QFileDialog::Directory);
    dialog.setDirectory(FromPath(folderPath_));
    static_cast<QDialog&>(dialog).accept();  // public in QDialog, reaches QFileDialog's checks
  });

  const std::optional<fs::path> chosen = dialogs_.ChooseFolder(strings::ChooseFolderPrompt);

  EXPECT_EQ(title.toStdString(), strings::ChooseFolderPrompt);
  ASSERT_TRUE(chosen.has_value());
  EXPECT_EQ(chosen->string(), folderPath_.string());
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

TEST_F(QtRecoveryDialogsTest, ThePlainMessageHasNoIconAndOnlyAnOkButton) {
  bool shown = false;
  WhenShown<QMessageBox>([&](QMessageBox& box) {
    shown = true;
    EXPECT_EQ(box.icon(), QMessageBox::NoIcon);
    EXPECT_EQ(box.windowTitle().toStdString(), strings::ApplicationTitle);
    EXPECT_EQ(box.text().toStdString(), strings::FilesSavedMessage);
    EXPECT_EQ(box.standardButtons(), QMessageBox::Ok);
    box.button(QMessageBox::Ok)->click();
  });

  dialogs_.ShowPlainMessage(strings::ApplicationTitle, strings::FilesSavedMessage);
  EXPECT_TRUE(shown);
}

}  // namespace
}  // namespace salvoran
