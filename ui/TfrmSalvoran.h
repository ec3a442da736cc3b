#pragma once

#include <QMainWindow>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/DeletedFileScan.h"
#include "engine/DriveList.h"
#include "engine/FileCategory.h"
#include "engine/VolumeGeometry.h"

class QComboBox;
class QFrame;
class QLabel;
class QProgressBar;
class QPushButton;

namespace salvoran {

class BevelPanel;
class ImageLabel;
class RestoreTree;
class ResultNode;
class RowAnnouncer;

// The main window: pick a drive or image, scan it on this thread while the window stays live,
// and browse, sort and tick the deleted files found.
class TfrmSalvoran : public QMainWindow, private ScanObserver {
  Q_OBJECT

 public:
  // The devices the drive list offers.
  using DriveLister = std::function<std::vector<std::string>()>;

  explicit TfrmSalvoran(
      DriveLister listDrives = [] { return ListFixedNtfsVolumes(); }, QWidget* parent = nullptr);
  ~TfrmSalvoran() override;

  // Puts image files at the top of the drive list and selects the first of them.
  void AddImageFiles(const QStringList& paths);
  // The layout of the volume of the last scan, for recovery.
  const VolumeGeometry& Geometry() const { return geometry_; }

  void btnScanNowClick();
  void btnStopScanClick();

 protected:
  // A close during a scan stops it; the window closes once the scan has returned.
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void CreateControls();
  void ArrangeControls();
  void ApplyLanguage();
  void FormCreate(const DriveLister& listDrives);
  void ScanVolume();
  void EndScan();
  void AddCategoryRoots();
  void ShowScanSummary(const ScanSummary& summary);
  void RestoreTreeFocusChanged(ResultNode* focused);

  void ScanStarted(const VolumeGeometry& geometry) override;
  void Progress(int32_t recordIndex) override;
  bool StopRequested() override { return stopRequested_; }
  void FileFound(FoundFile&& file) override;

  BevelPanel* plTip_ = nullptr;
  ImageLabel* imgLogo_ = nullptr;
  QLabel* lblTips_ = nullptr;
  QFrame* bevel1_ = nullptr;
  QLabel* lblScanDrive_ = nullptr;
  QComboBox* driveComboBox_ = nullptr;
  QPushButton* btnScanNow_ = nullptr;
  QPushButton* btnStopScan_ = nullptr;
  RestoreTree* restoreTree_ = nullptr;
  QProgressBar* progressBar_ = nullptr;
  QPushButton* btnRecovery_ = nullptr;
  QLabel* webAddress_ = nullptr;
  QLabel* unreadableRecords_ = nullptr;
  std::unique_ptr<RowAnnouncer> rowAnnouncer_;

  bool stopRequested_ = false;
  bool scanning_ = false;
  bool closeAfterScan_ = false;
  VolumeGeometry geometry_;
  // Indexed by FileCategory.
  std::array<ResultNode*, AllCategories.size()> categoryRoots_{};
};

}  // namespace salvoran
