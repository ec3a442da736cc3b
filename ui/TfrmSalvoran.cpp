#include "ui/TfrmSalvoran.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QAction>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QUrl>
#include <QVBoxLayout>
#include <exception>

#include "engine/DeepScan.h"
#include "engine/VolumeRepair.h"
#include "support/FormatFileSize.h"
#include "support/Messages.h"
#include "recovery/RestoreStop.h"
#include "support/Diagnostics.h"
#include "support/StringTable.h"
#include "ui/BevelPanel.h"
#include "ui/DriveChoice.h"
#include "ui/ElidingComboBox.h"
#include "ui/FilterBar.h"
#include "ui/FindInTree.h"
#include "ui/ImageLabel.h"
#include "ui/QtText.h"
#include "ui/RecoverSelected.h"
#include "ui/RestoreTree.h"
#include "ui/RestoreTreeText.h"
#include "ui/RowAnnouncer.h"
#include "ui/WebPage.h"
#include "ui/preview/PreviewSplitter.h"

// Resources of a static library are linked only when something names them.
static void InitSalvoranResources() { Q_INIT_RESOURCE(salvoran); }

namespace salvoran {
namespace {

constexpr QSize InitialSize(760, 543);
constexpr QSize MinimumSize(740, 520);
constexpr QSize LogoSize(185, 70);
constexpr int PanelMargin = 8;
constexpr int RowSpacing = 8;
// Small enough that the drive row, with the Deep scan box, fits the smallest window.
constexpr int DriveComboBoxMinimumWidth = 160;
constexpr int ProgressBarWidth = 300;
constexpr char LogoResource[] = ":/salvoran/logo.png";
constexpr char UnreadableRecordsText[] = "MFT records that could not be read: %1";
// The deep scan's progress bar counts thousandths of the source.
constexpr int DeepPassSteps = 1000;

// Local files only: a drop from a browser carries addresses that are no image to scan.
QStringList LocalFiles(const QMimeData* mime) {
  QStringList files;
  if (mime == nullptr || !mime->hasUrls()) return files;
  for (const QUrl& url : mime->urls()) {
    if (url.isLocalFile() && QFileInfo(url.toLocalFile()).isFile()) files.append(url.toLocalFile());
  }
  return files;
}

}  // namespace

TfrmSalvoran::TfrmSalvoran(DriveLister listDrives, RecoveryDialogs* dialogs, std::function<void()> beep,
                           SelectedFilesRecovery::RecoverFunction recover, QWidget* parent)
    : QMainWindow(parent) {
  InitSalvoranResources();
  CreateControls(dialogs != nullptr ? *dialogs : recoveryDialogs_, std::move(beep), std::move(recover));
  ArrangeControls();
  ApplyLanguage();
  FormCreate(listDrives);
}

TfrmSalvoran::~TfrmSalvoran() = default;

void TfrmSalvoran::CreateControls(RecoveryDialogs& dialogs, std::function<void()> beep,
                                  SelectedFilesRecovery::RecoverFunction recover) {
  plTip_ = new BevelPanel(this);
  plTip_->setObjectName("plTip");

  imgLogo_ = new ImageLabel(plTip_);
  imgLogo_->setObjectName("imgLogo");
  imgLogo_->setFixedSize(LogoSize);
  imgLogo_->setPixmap(QPixmap(LogoResource));
  connect(imgLogo_, &ImageLabel::Clicked, this, [] { OpenWebPage(ToQString(strings::WebPageAddress)); });

  lblTips_ = new QLabel(plTip_);
  lblTips_->setObjectName("lblTips");
  lblTips_->setWordWrap(true);
  lblTips_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

  bevel1_ = new QFrame(plTip_);
  bevel1_->setObjectName("Bevel1");
  bevel1_->setFrameShape(QFrame::HLine);
  bevel1_->setFrameShadow(QFrame::Sunken);

  lblScanDrive_ = new QLabel(plTip_);
  lblScanDrive_->setObjectName("lblScanDrive");

  driveComboBox_ = new ElidingComboBox(plTip_);
  driveComboBox_->setObjectName("DriveComboBox");
  driveComboBox_->setEditable(false);
  // Wide enough for device names; the row's room to spare goes to it, for the paths of image files.
  driveComboBox_->setMinimumWidth(DriveComboBoxMinimumWidth);
  driveComboBox_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  driveComboBox_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  lblScanDrive_->setBuddy(driveComboBox_);

  btnOpenImage_ = new QPushButton(plTip_);
  btnOpenImage_->setObjectName("btnOpenImage");
  connect(btnOpenImage_, &QPushButton::clicked, this, &TfrmSalvoran::btnOpenImageClick);
  auto* openImage = new QAction(this);
  openImage->setShortcut(QKeySequence::Open);
  openImage->setShortcutContext(Qt::WindowShortcut);
  connect(openImage, &QAction::triggered, this, &TfrmSalvoran::btnOpenImageClick);
  addAction(openImage);
  chooseImageFiles_ = [this] {
    return QFileDialog::getOpenFileNames(this, ToQString(strings::OpenImageTitle), QString(),
                                         ToQString(strings::ImageFileFilter));
  };

  btnScanNow_ = new QPushButton(plTip_);
  btnScanNow_->setObjectName("btnScanNow");
  connect(btnScanNow_, &QPushButton::clicked, this, &TfrmSalvoran::btnScanNowClick);

  btnStopScan_ = new QPushButton(plTip_);
  btnStopScan_->setObjectName("btnStopScan");
  btnStopScan_->hide();
  // Its place is kept, so that the drive box does not narrow while a scan runs.
  QSizePolicy keepPlace = btnStopScan_->sizePolicy();
  keepPlace.setRetainSizeWhenHidden(true);
  btnStopScan_->setSizePolicy(keepPlace);
  connect(btnStopScan_, &QPushButton::clicked, this, &TfrmSalvoran::btnStopScanClick);

  chkDeepScan_ = new QCheckBox(plTip_);
  chkDeepScan_->setObjectName("chkDeepScan");

  restoreTree_ = new RestoreTree(plTip_);
  restoreTree_->setObjectName("RestoreTree");
  filterBar_ = new FilterBar(plTip_);
  filterBar_->setObjectName("FilterBar");
  connect(filterBar_, &FilterBar::FilterChanged, restoreTree_, &RestoreTree::SetFileFilter);
  connect(restoreTree_, &RestoreTree::FocusChanged, this, &TfrmSalvoran::RestoreTreeFocusChanged);
  previewSplitter_ = new PreviewSplitter(restoreTree_, plTip_);
  connect(restoreTree_, &RestoreTree::FocusChanged, previewSplitter_,
          [this](ResultNode* focused) {
            // A found file's record offset is relative to the volume it was found in.
            const std::shared_ptr<const VolumeGeometry> foundIn = focused ? FoundIn(*focused) : nullptr;
            previewSplitter_->ShowNode(focused, foundIn ? *foundIn : geometry_);
          });
  rowAnnouncer_ =
      std::make_unique<RowAnnouncer>(restoreTree_->Model(), [this] { return restoreTree_->RowsInSight(); });
  restoreTree_->installEventFilter(this);
  recovery_ = std::make_unique<SelectedFilesRecovery>(
      restoreTree_->Tree(), geometry_, dialogs, restoreProgress_, [] { QCoreApplication::processEvents(); },
      std::move(recover));
  recovery_->SetGeometryLookup([this](const ResultNode& node) { return FoundIn(node); });
  recovery_->SetRunningChangedHandler([this](bool running) { RecoveryRunningChanged(running); });
  CreateFind(std::move(beep));

  progressBar_ = new QProgressBar(plTip_);
  progressBar_->setObjectName("ProgressBar");
  progressBar_->setFixedWidth(ProgressBarWidth);
  progressBar_->hide();

  btnRecovery_ = new QPushButton(plTip_);
  btnRecovery_->setObjectName("btnRecovery");
  btnRecovery_->setEnabled(false);
  connect(btnRecovery_, &QPushButton::clicked, this, &TfrmSalvoran::btnRecoveryClick);
  // Enter presses a focused button as Space does, as in dialogs.
  for (QPushButton* button : {btnOpenImage_, btnScanNow_, btnStopScan_, btnRecovery_}) button->setAutoDefault(true);

  QStatusBar* statusBar = new QStatusBar(this);
  statusBar->setObjectName("StatusBar");
  webAddress_ = new QLabel(statusBar);
  webAddress_->setObjectName("StatusBarText");
  statusBar->addWidget(webAddress_, 1);
  unreadableRecords_ = new QLabel(statusBar);
  unreadableRecords_->setObjectName("UnreadableRecords");
  unreadableRecords_->hide();
  statusBar->addPermanentWidget(unreadableRecords_);
  scanStopped_ = new QLabel(ToQString(strings::ScanStoppedNote), statusBar);
  scanStopped_->setObjectName("ScanStopped");
  scanStopped_->hide();
  statusBar->addPermanentWidget(scanStopped_);
  repairNote_ = new QLabel(statusBar);
  repairNote_->setObjectName("RepairNote");
  repairNote_->hide();
  statusBar->addPermanentWidget(repairNote_);
  setStatusBar(statusBar);

  setAcceptDrops(true);
}

void TfrmSalvoran::CreateFind(std::function<void()> beep) {
  ResultTreeModel& model = restoreTree_->Model();
  findView_ = std::make_unique<TreeViewFindView>(
      *restoreTree_,
      [&model](const ResultNode& node) {
        // A scan tells the view of its rows only at some of its pauses; a match can be among
        // the rest.
        model.AnnounceNewRows();
        return model.IndexOf(&node);
      },
      std::move(beep));
  treeSearch_ = std::make_unique<TreeSearch>(
      restoreTree_->Tree(), ResultTreeModel::ColumnCount,
      [&model](const ResultNode& node, int column) {
        return RestoreTreeGetText(model.Tree(), node, column).toStdString();
      },
      *findView_, [] { QCoreApplication::processEvents(); });
  findDialog_ = new FindDialog(*treeSearch_, this);
  findDialog_->setObjectName("FindDialog");

  popupMenuTree_ = new QMenu(restoreTree_);
  popupMenuTree_->setObjectName("PopupMenuTree");
  mnuFindText_ = popupMenuTree_->addAction(QString());
  mnuFindText_->setObjectName("mnuFindText");
  connect(mnuFindText_, &QAction::triggered, this, &TfrmSalvoran::mnuFindTextClick);
  popupMenuTree_->addAction(previewSplitter_->PreviewAction());
  restoreTree_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(restoreTree_, &QWidget::customContextMenuRequested, this, &TfrmSalvoran::RestoreTreeContextMenu);
}

void TfrmSalvoran::ArrangeControls() {
  auto* logoRow = new QHBoxLayout;
  logoRow->setSpacing(RowSpacing);
  logoRow->addWidget(imgLogo_, 0, Qt::AlignTop);
  logoRow->addWidget(lblTips_, 1);

  auto* driveRow = new QHBoxLayout;
  driveRow->setSpacing(RowSpacing);
  driveRow->addWidget(lblScanDrive_);
  driveRow->addWidget(driveComboBox_, 1);
  driveRow->addWidget(btnOpenImage_);
  driveRow->addWidget(btnScanNow_);
  driveRow->addWidget(btnStopScan_);
  driveRow->addWidget(chkDeepScan_);

  auto* bottomRow = new QHBoxLayout;
  bottomRow->addWidget(progressBar_);
  bottomRow->addStretch(1);
  bottomRow->addWidget(btnRecovery_);

  auto* panel = new QVBoxLayout(plTip_);
  panel->setContentsMargins(PanelMargin, PanelMargin, PanelMargin, PanelMargin);
  panel->setSpacing(RowSpacing);
  panel->addLayout(logoRow);
  panel->addWidget(bevel1_);
  panel->addLayout(driveRow);
  panel->addWidget(filterBar_);
  panel->addWidget(previewSplitter_, 1);
  panel->addLayout(bottomRow);
  setCentralWidget(plTip_);

  setTabOrder(restoreTree_, progressBar_);
  setTabOrder(progressBar_, btnRecovery_);
  setTabOrder(btnRecovery_, driveComboBox_);
  setTabOrder(driveComboBox_, btnOpenImage_);
  setTabOrder(btnOpenImage_, btnScanNow_);
  setTabOrder(btnScanNow_, btnStopScan_);
  setTabOrder(btnStopScan_, chkDeepScan_);
  // The filter row goes with the list, before the recover button; after Stop, which hides as a
  // scan ends, the focus must still come back to the list.
  filterBar_->PlaceInTabOrderAfter(progressBar_);
  restoreTree_->setFocus();  // first in the tab order, so it has the focus when the window opens

  setMinimumSize(MinimumSize);
  resize(InitialSize);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect frame(QPoint(), InitialSize);
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
}

void TfrmSalvoran::ApplyLanguage() {
  setWindowTitle(ToQString(strings::ProductTitle));
  lblTips_->setText(ToQString(strings::TipsText));
  lblScanDrive_->setText(ToQString(strings::ChooseDriveCaption));
  btnOpenImage_->setText(ToQString(strings::OpenImageCaption));
  btnScanNow_->setText(ToQString(strings::ScanNowCaption));
  btnStopScan_->setText(ToQString(strings::StopCaption));
  chkDeepScan_->setText(ToQString(strings::DeepScanCaption));
  btnRecovery_->setText(ToQString(strings::RecoverCaption));
  mnuFindText_->setText(ToQString(strings::SearchFileCaption));
  webAddress_->setText(ToQString(strings::WebPageAddress));
}

void TfrmSalvoran::FormCreate(const DriveLister& listDrives) {
  for (const DriveEntry& drive : listDrives()) {
    const DriveChoice choice = ChoiceOfDrive(drive);
    driveComboBox_->addItem(choice.Caption, QVariant::fromValue(choice.Location));
    driveComboBox_->setItemData(driveComboBox_->count() - 1, choice.Caption, Qt::ToolTipRole);
  }
  driveComboBox_->setCurrentIndex(driveComboBox_->count() > 0 ? 0 : -1);
}

void TfrmSalvoran::AddImageFiles(const QStringList& paths) {
  int position = 0;
  for (const QString& path : paths) {
    for (const DriveChoice& choice : ChoicesOfImage(QFileInfo(path).absoluteFilePath())) {
      const int existing = driveComboBox_->findData(QVariant::fromValue(choice.Location));
      if (existing >= 0) {
        driveComboBox_->removeItem(existing);
        if (existing < position) --position;
      }
      driveComboBox_->insertItem(position, choice.Caption, QVariant::fromValue(choice.Location));
      driveComboBox_->setItemData(position++, choice.Caption, Qt::ToolTipRole);
    }
  }
  if (position > 0) driveComboBox_->setCurrentIndex(0);
}

QString TfrmSalvoran::SelectedDrive() const {
  return QFile::decodeName(driveComboBox_->currentData().value<VolumeLocation>().Path.c_str());
}

void TfrmSalvoran::btnOpenImageClick() { AddImageFiles(chooseImageFiles_()); }

void TfrmSalvoran::btnScanNowClick() {
  if (driveComboBox_->currentIndex() < 0) {
    ShowWarning(strings::NothingToScanMessage);
    return;
  }
  scanning_ = true;  // from here on a close waits for the scan
  stopRequested_ = false;
  progressBar_->setValue(0);
  progressBar_->show();
  btnStopScan_->show();
  QCoreApplication::processEvents();
  recoverOffered_ = false;
  UpdateCommands();
  try {
    ScanVolume();
  } catch (...) {
    EndScan();
    throw;
  }
  EndScan();
  stopRequested_ = false;
  QCoreApplication::processEvents();
  CloseIfPending();
}

void TfrmSalvoran::EndScan() {
  scanning_ = false;
  // The list holds what was found before Stop only.
  scanStopped_->setVisible(stopRequested_);
  progressBar_->resetFormat();
  recoverOffered_ = restoreTree_->Tree().TotalCount() > 0;
  progressBar_->hide();
  // Stop, which the focus moved to as Scan Now was disabled, hands it back to the list, not to
  // the Deep scan box after it.
  if (btnStopScan_->hasFocus()) restoreTree_->setFocus();
  btnStopScan_->hide();
  UpdateCommands();
}

void TfrmSalvoran::btnStopScanClick() { stopRequested_ = true; }

void TfrmSalvoran::btnRecoveryClick() {
  recovery_->Run();
  CloseIfPending();
}

void TfrmSalvoran::mnuFindTextClick() { findDialog_->Show(); }

void TfrmSalvoran::RecoveryRunningChanged(bool running) {
  restoreTree_->SetSortLocked(running);
  UpdateCommands();
}

void TfrmSalvoran::UpdateCommands() {
  const bool recovering = recovery_->Running();
  btnScanNow_->setEnabled(!scanning_ && !recovering);
  btnRecovery_->setEnabled(recoverOffered_ && !recovering);
}

void TfrmSalvoran::CloseIfPending() {
  if (!closePending_ || scanning_ || recovery_->Running()) return;
  closePending_ = false;
  close();
}

void TfrmSalvoran::ScanVolume() {
  // Neither may hold on to a node of the old tree.
  recovery_->TreeCleared();
  treeSearch_->Reset();
  restoreTree_->ClearTree();
  foundIn_.clear();
  AddCategoryRoots();
  unreadableRecords_->hide();
  scanStopped_->hide();
  repairNote_->hide();
  geometry_ = VolumeGeometry();
  const VolumeLocation volume = driveComboBox_->currentData().value<VolumeLocation>();
  try {
    if (!chkDeepScan_->isChecked()) {
      ShowScanSummary(ScanDrive(volume, geometry_, *this));
    } else {
      const DeepScanSummary summary = DeepScanDrive(volume, geometry_, *this);
      ShowScanSummary(summary.Mft);
      // The MFT in use may be what is lost: the deep scan went on without it.
      if (!summary.MftFailure.empty()) {
        repairNote_->setText(QString::fromStdString(summary.MftFailure) + u' ' +
                             ToQString(messages::DeepScanWithoutMft));
        repairNote_->show();
      }
    }
  } catch (const std::exception& error) {
    ShowWarning(error.what());
  }
  rowAnnouncer_->Finish();
}

void TfrmSalvoran::AddCategoryRoots() {
  ResultTree& tree = restoreTree_->Tree();
  for (const FileCategory category : AllCategories) {
    ResultNode* root = tree.AddChild(nullptr);
    TDeletedFileData& data = *tree.NodeData(root);
    data.FileName = ToQString(CategoryCaption(category)).toStdU16String();
    data.IsFileEntry = 0;
    tree.SetCheckType(root, ctTriStateCheckBox);
    categoryRoots_[static_cast<size_t>(category)] = root;
  }
  restoreTree_->Model().AnnounceNewRows();
}

void TfrmSalvoran::ShowScanSummary(const ScanSummary& summary) {
  if (summary.UnreadableRecords == 0) return;
  unreadableRecords_->setText(QString::fromLatin1(UnreadableRecordsText).arg(summary.UnreadableRecords));
  unreadableRecords_->show();
}

void TfrmSalvoran::ScanStarted(const VolumeGeometry& geometry) {
  progressBar_->setMaximum(geometry.RecordCount);
  const std::vector<std::string_view> notes = RepairNotes(geometry.RepairedFrom);
  if (notes.empty()) return;
  QStringList text;
  for (const std::string_view note : notes) text.append(ToQString(note));
  repairNote_->setText(text.join(QLatin1Char(' ')));
  repairNote_->show();
}

void TfrmSalvoran::Progress(int32_t recordIndex) {
  progressBar_->setValue(recordIndex);
  rowAnnouncer_->Pause();
}

void TfrmSalvoran::FileFound(FoundFile&& file) {
  ResultTree& tree = restoreTree_->Tree();
  ResultNode* root = categoryRoots_[static_cast<size_t>(file.Category)];
  ResultNode* node = tree.AddChild(root);
  if (file.FoundIn) foundIn_.emplace(node, std::move(file.FoundIn));
  *tree.NodeData(node) = std::move(file.Data);
  tree.SetFolder(node, file.Folder);
  tree.SetClusterUse(node, {file.Clusters, file.OverwrittenClusters, file.UnknownClusters});
  tree.SetCheckType(node, ctTriStateCheckBox);
  tree.ApplyFilter(node);
  // A category ticked while the scan runs stands for all of its shown files, those still to come
  // too.
  if (IsChecked(tree.CheckState(root))) tree.SetCheckState(node, csCheckedNormal);
}

void TfrmSalvoran::DeepPassStarted(uint64_t sourceBytes) {
  deepPassBytes_ = sourceBytes;
  // A source of unknown size shows a busy bar.
  progressBar_->setMaximum(sourceBytes != 0 ? DeepPassSteps : 0);
  progressBar_->setValue(0);
}

void TfrmSalvoran::DeepPassProgress(uint64_t bytesRead, uint64_t filesFound) {
  if (deepPassBytes_ != 0) {
    progressBar_->setValue(static_cast<int>(std::min<uint64_t>(bytesRead, deepPassBytes_) * DeepPassSteps /
                                            deepPassBytes_));
  }
  progressBar_->setFormat(ToQString(strings::DeepScanProgressText)
                              .arg(QString::fromStdString(FormatFileSize(static_cast<int64_t>(bytesRead))),
                                   QString::fromStdString(FormatFileSize(static_cast<int64_t>(deepPassBytes_))))
                              .arg(filesFound));
  rowAnnouncer_->Pause();
}

std::shared_ptr<const VolumeGeometry> TfrmSalvoran::FoundIn(const ResultNode& node) const {
  const auto found = foundIn_.find(&node);
  return found != foundIn_.end() ? found->second : nullptr;
}

void TfrmSalvoran::RestoreTreeFocusChanged(ResultNode* focused) {
  recoverOffered_ = focused != nullptr;
  UpdateCommands();
}

void TfrmSalvoran::RestoreTreeKeyDown(const QKeyEvent& event) {
  if (event.key() == Qt::Key_F && event.modifiers().testFlag(Qt::ControlModifier)) mnuFindTextClick();
}

void TfrmSalvoran::RestoreTreeContextMenu(const QPoint& position) {
  popupMenuTree_->popup(restoreTree_->viewport()->mapToGlobal(position));
}

bool TfrmSalvoran::eventFilter(QObject* watched, QEvent* event) {
  // Seen, not consumed: the tree still handles the key. On the press, as shortcuts act: on the
  // release, letting go of Ctrl first lost the F.
  if (watched == restoreTree_ && event->type() == QEvent::KeyPress) {
    RestoreTreeKeyDown(*static_cast<QKeyEvent*>(event));
  }
  return QMainWindow::eventFilter(watched, event);
}

void TfrmSalvoran::closeEvent(QCloseEvent* event) {
  if (!scanning_ && !recovery_->Running()) {
    // A find under way stops at its next pause rather than keep the program from ending.
    treeSearch_->Reset();
    QMainWindow::closeEvent(event);
    return;
  }
  // The scan or the recovery runs inside one of this window's own calls and uses its tree.
  if (scanning_) stopRequested_ = true;
  if (recovery_->Running()) recovery_->StopForClose();
  closePending_ = true;
  event->ignore();
}

void TfrmSalvoran::dragEnterEvent(QDragEnterEvent* event) {
  if (!LocalFiles(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TfrmSalvoran::dropEvent(QDropEvent* event) {
  const QStringList files = LocalFiles(event->mimeData());
  if (files.isEmpty()) return;
  AddImageFiles(files);
  event->acceptProposedAction();
}

}  // namespace salvoran
