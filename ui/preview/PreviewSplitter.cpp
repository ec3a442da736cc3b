#include "ui/preview/PreviewSplitter.h"

#include <QAction>
#include <QSettings>
#include <algorithm>

#include "ui/QtText.h"
#include "ui/model/ResultTree.h"
#include "ui/preview/PreviewCaptions.h"
#include "ui/ProgramSettings.h"
#include "ui/preview/PreviewFile.h"
#include "ui/preview/PreviewPane.h"

namespace salvoran {
namespace {

constexpr char ShownKey[] = "preview/shown";
constexpr char HeightKey[] = "preview/height";
// The first time it is shown, the pane takes this share of the height.
constexpr int PaneShareNumerator = 2;
constexpr int PaneShareDenominator = 5;
// However tall the pane was left in a larger window, the list keeps this share.
constexpr int ListShareAtLeast = 5;

}  // namespace

PreviewSplitter::PreviewSplitter(QWidget* list, QWidget* parent, PreviewContentReader read)
    : QSplitter(Qt::Vertical, parent) {
  setObjectName("PreviewSplitter");
  setChildrenCollapsible(false);
  addWidget(list);
  pane_ = new PreviewPane(this, std::move(read));
  pane_->setObjectName("PreviewPane");
  addWidget(pane_);
  setStretchFactor(0, 1);  // a taller window gives the list the room
  setStretchFactor(1, 0);
  pane_->hide();

  previewAction_ = new QAction(ToQString(strings::PreviewActionCaption), this);
  previewAction_->setObjectName("PreviewAction");
  previewAction_->setCheckable(true);
  // The key that shows the preview pane in the file manager of Windows, where these volumes come from.
  previewAction_->setShortcut(QKeySequence(Qt::ALT | Qt::Key_P));
  previewAction_->setShortcutContext(Qt::WindowShortcut);
  connect(previewAction_, &QAction::toggled, this, &PreviewSplitter::SetPaneShown);
  addAction(previewAction_);
  connect(this, &QSplitter::splitterMoved, this, [this] { SaveSettings(); });
  QSettings settings = ProgramSettings();
  paneHeight_ = settings.value(HeightKey, 0).toInt();
  previewAction_->setChecked(settings.value(ShownKey, false).toBool());
}

void PreviewSplitter::ShowNode(const ResultNode* node, const VolumeGeometry& volume) {
  if (node == nullptr || node->Data().IsFileEntry == 0) {
    pane_->ShowFile(std::nullopt);
    return;
  }
  pane_->ShowFile(PreviewFileOf(*node, volume));
}

void PreviewSplitter::SetPaneShown(bool shown) {
  pane_->setVisible(shown);
  if (shown && isVisible()) ApplyPaneHeight();
  SaveSettings();
}

void PreviewSplitter::showEvent(QShowEvent* event) {
  QSplitter::showEvent(event);
  if (pane_->isVisibleTo(this)) ApplyPaneHeight();
}

void PreviewSplitter::ApplyPaneHeight() {
  const int total = height() - handleWidth();
  const int remembered = std::min(paneHeight_, total - total / ListShareAtLeast);
  const int pane = paneHeight_ > 0 ? remembered : total * PaneShareNumerator / PaneShareDenominator;
  setSizes({total - pane, pane});
}

void PreviewSplitter::SaveSettings() {
  QSettings settings = ProgramSettings();
  settings.setValue(ShownKey, previewAction_->isChecked());
  if (!pane_->isVisible()) return;  // a hidden pane has no height to keep
  paneHeight_ = sizes().at(1);
  settings.setValue(HeightKey, paneHeight_);
}

}  // namespace salvoran
