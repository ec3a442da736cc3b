#pragma once

#include <QMainWindow>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/DeletedFileScan.h"
#include "engine/DriveList.h"
#include "engine/FileCategory.h"
#include "engine/VolumeGeometry.h"
#include "ui/FindDialog.h"
#include "ui/QtRecoveryDialogs.h"
#include "ui/QtRestoreProgress.h"
#include "ui/RecoverSelected.h"

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QKeyEvent;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;

namespace salvoran {

class BevelPanel;
class FilterBar;
class ImageLabel;
class PreviewSplitter;
class RestoreTree;
class ResultNode;
class RowAnnouncer;

// The main window: pick a drive or image, scan it on this thread while the window stays live,
// browse, sort, search and tick the deleted files found, and restore the ticked ones.
class TfrmSalvoran : public QMainWindow, private ScanObserver {
  Q_OBJECT

 public:
  // The devices the drive list offers.
  using DriveLister = std::function<std::vector<DriveEntry>()>;
  // The image files the user picks to add; none when cancelled.
  using ImageFileChooser = std::function<QStringList()>;

  // dialogs asks the recovery's questions; when null, file dialogs and message boxes over this
  // window do. beep sounds when a find has no further match. recover copies one file.
  explicit TfrmSalvoran(
      DriveLister listDrives = [] { return ListFixedNtfsVolumes(); }, RecoveryDialogs* dialogs = nullptr,
      std::function<void()> beep = SystemBeep, SelectedFilesRecovery::RecoverFunction recover = RecoverListedFile,
      QWidget* parent = nullptr);
  ~TfrmSalvoran() override;

  // Puts image files at the top of the drive list and selects the first of them. A disk image
  // with a partition table comes in as its NTFS partitions.
  void AddImageFiles(const QStringList& paths);
  // The device or image file that Scan Now scans.
  QString SelectedDrive() const;
  // Replaces the file dialog of Open Image.
  void SetImageFileChooser(ImageFileChooser chooser) { chooseImageFiles_ = std::move(chooser); }
  // The layout of the volume of the last scan, for recovery.
  const VolumeGeometry& Geometry() const { return geometry_; }

  void btnScanNowClick();
  // Open Image: image files from a file dialog, as --image and dropping add them.
  void btnOpenImageClick();
  void btnStopScanClick();
  void btnRecoveryClick();
  // Search File: the find dialog, its next find starting at the top of the tree.
  void mnuFindTextClick();

 protected:
  // A close during a scan stops it, a close during a recovery cancels it (the file being written
  // removes itself); the window closes once either has returned.
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void CreateControls(RecoveryDialogs& dialogs, std::function<void()> beep,
                      SelectedFilesRecovery::RecoverFunction recover);
  void CreateFind(std::function<void()> beep);
  void ArrangeControls();
  void ApplyLanguage();
  void FormCreate(const DriveLister& listDrives);
  void ScanVolume();
  void EndScan();
  void AddCategoryRoots();
  void ShowScanSummary(const ScanSummary& summary);
  void RestoreTreeFocusChanged(ResultNode* focused);
  void RestoreTreeKeyDown(const QKeyEvent& event);
  void RestoreTreeContextMenu(const QPoint& position);
  void RecoveryRunningChanged(bool running);
  // Scan Now and the recover button, from the scan and the recovery together: a recovery can
  // start at a pause of a scan, which then waits for it.
  void UpdateCommands();
  void CloseIfPending();

  void ScanStarted(const VolumeGeometry& geometry) override;
  void Progress(int32_t recordIndex) override;
  bool StopRequested() override { return stopRequested_; }
  void FileFound(FoundFile&& file) override;
  void DeepPassStarted(uint64_t sourceBytes) override;
  void DeepPassProgress(uint64_t bytesRead, uint64_t filesFound) override;
  // The geometry of the MFT a found file was read from; null for a file of the MFT in use.
  std::shared_ptr<const VolumeGeometry> FoundIn(const ResultNode& node) const;

  BevelPanel* plTip_ = nullptr;
  ImageLabel* imgLogo_ = nullptr;
  QLabel* lblTips_ = nullptr;
  QFrame* bevel1_ = nullptr;
  QLabel* lblScanDrive_ = nullptr;
  QComboBox* driveComboBox_ = nullptr;
  QPushButton* btnOpenImage_ = nullptr;
  QPushButton* btnScanNow_ = nullptr;
  QPushButton* btnStopScan_ = nullptr;
  QCheckBox* chkDeepScan_ = nullptr;
  FilterBar* filterBar_ = nullptr;
  RestoreTree* restoreTree_ = nullptr;
  PreviewSplitter* previewSplitter_ = nullptr;  // the list with the preview pane below it
  QProgressBar* progressBar_ = nullptr;
  QPushButton* btnRecovery_ = nullptr;
  QLabel* webAddress_ = nullptr;
  QLabel* unreadableRecords_ = nullptr;
  QLabel* scanStopped_ = nullptr;
  QLabel* repairNote_ = nullptr;  // which copies stood in for a damaged boot sector or MFT head
  std::unique_ptr<RowAnnouncer> rowAnnouncer_;
  QMenu* popupMenuTree_ = nullptr;
  QAction* mnuFindText_ = nullptr;
  QtRecoveryDialogs recoveryDialogs_{this};
  ImageFileChooser chooseImageFiles_;
  QtRestoreProgress restoreProgress_{this};
  // Made once the tree exists.
  std::unique_ptr<SelectedFilesRecovery> recovery_;
  std::unique_ptr<TreeViewFindView> findView_;
  std::unique_ptr<TreeSearch> treeSearch_;
  FindDialog* findDialog_ = nullptr;

  bool stopRequested_ = false;
  bool scanning_ = false;
  // What the focus rule says of the recover button, a recovery aside.
  bool recoverOffered_ = false;
  bool closePending_ = false;
  VolumeGeometry geometry_;
  // The MFTs found files were read from, by node; emptied with the tree.
  std::unordered_map<const ResultNode*, std::shared_ptr<const VolumeGeometry>> foundIn_;
  uint64_t deepPassBytes_ = 0;
  // Indexed by FileCategory.
  std::array<ResultNode*, AllCategories.size()> categoryRoots_{};
};

}  // namespace salvoran
