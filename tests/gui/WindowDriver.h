#pragma once

#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "support/Diagnostics.h"
#include "ui/RestoreTree.h"
#include "ui/DriveChoice.h"
#include "ui/TfrmSalvoran.h"

namespace salvoran::test {

// Keeps the warnings shown while it lives, instead of message boxes.
class WarningRecorder {
 public:
  WarningRecorder()
      : previous_(SetWarningHandler([this](std::string_view text) {
          Warnings.emplace_back(text);
          return 0;
        })) {}
  ~WarningRecorder() { SetWarningHandler(previous_); }
  WarningRecorder(const WarningRecorder&) = delete;
  WarningRecorder& operator=(const WarningRecorder&) = delete;

  std::vector<std::string> Warnings;

 private:
  WarningHandler previous_;
};

// The main window with the machine's drives replaced (and, when given, the recovery's dialogs, the
// beep and the copy of one file), and its controls by name.
class WindowDriver {
 public:
  explicit WindowDriver(std::vector<std::string> drives = {}, RecoveryDialogs* dialogs = nullptr,
                        std::function<void()> beep = SystemBeep,
                        SelectedFilesRecovery::RecoverFunction recover = RecoverListedFile)
      : WindowDriver(EntriesOf(drives), dialogs, std::move(beep), std::move(recover)) {}

  // Drives with labels and sizes; no defaults, so that a list of paths is never taken for one.
  WindowDriver(std::vector<DriveEntry> drives, RecoveryDialogs* dialogs, std::function<void()> beep,
               SelectedFilesRecovery::RecoverFunction recover = RecoverListedFile)
      : Window([drives] { return drives; }, dialogs, std::move(beep), std::move(recover)),
        ScanNow(Find<QPushButton>("btnScanNow")),
        StopScan(Find<QPushButton>("btnStopScan")),
        Recovery(Find<QPushButton>("btnRecovery")),
        Drives(Find<QComboBox>("DriveComboBox")),
        Progress(Find<QProgressBar>("ProgressBar")),
        Tree(Find<RestoreTree>("RestoreTree")) {
    Window.show();
  }

  static std::vector<DriveEntry> EntriesOf(const std::vector<std::string>& paths) {
    std::vector<DriveEntry> entries;
    for (const std::string& path : paths) entries.push_back({path, {}, 0});
    return entries;
  }

  template <typename Widget>
  Widget* Find(const char* name) {
    return Window.findChild<Widget*>(name);
  }

  // Runs the scan the way a user starts it; returns when the scan has ended.
  void ClickScanNow() { QTest::mouseClick(ScanNow, Qt::LeftButton); }

  // Calls action at every pause of the next scan, where the scan handles pending events, until
  // it answers false or the scan ends. Scan Now is disabled exactly while the scan runs.
  void WhileScanning(std::function<bool()> action) {
    auto* timer = new QTimer(&Window);
    QObject::connect(timer, &QTimer::timeout, timer, [this, timer, action, started = false]() mutable {
      if (ScanNow->isEnabled()) {
        if (started) timer->deleteLater();
        return;
      }
      started = true;
      if (!action()) timer->deleteLater();
    });
    timer->start(0);
  }

  ResultTreeModel& Model() { return Tree->Model(); }
  QModelIndex Root(int row) { return Model().index(row, 0); }
  // The listed file of that name under the root, or an invalid index.
  QModelIndex FileIndex(int rootRow, const QString& name) {
    const QModelIndex root = Root(rootRow);
    for (int row = 0; row < Model().rowCount(root); ++row) {
      const QModelIndex file = Model().index(row, 0, root);
      if (file.data().toString() == name) return file;
    }
    return {};
  }
  QStringList RootTexts() {
    QStringList texts;
    for (int row = 0; row < Model().rowCount(); ++row) texts.append(Root(row).data().toString());
    return texts;
  }

  TfrmSalvoran Window;
  QPushButton* ScanNow;
  QPushButton* StopScan;
  QPushButton* Recovery;
  QComboBox* Drives;
  QProgressBar* Progress;
  RestoreTree* Tree;
};

}  // namespace salvoran::test
