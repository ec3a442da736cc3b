#pragma once

#include <QSplitter>

#include "engine/VolumeGeometry.h"
#include "ui/preview/PreviewWorker.h"

class QAction;

namespace salvoran {

class PreviewPane;
class ResultNode;

// The list of found files with the preview pane below it. The pane is hidden until the user
// turns it on (the Preview action, Alt+P); whether it is shown and how tall it is are remembered
// for the next start.
class PreviewSplitter : public QSplitter {
  Q_OBJECT

 public:
  // list: the list of found files, put above the pane. read: as for PreviewPane.
  PreviewSplitter(QWidget* list, QWidget* parent = nullptr, PreviewContentReader read = {});

  // Checkable; shows and hides the pane.
  QAction* PreviewAction() const { return previewAction_; }
  PreviewPane& Pane() const { return *pane_; }
  // Shows the node when it is a file, else nothing; volume is the volume of the scan that found it.
  void ShowNode(const ResultNode* node, const VolumeGeometry& volume);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void SetPaneShown(bool shown);
  // Gives the pane the height it had last, or its first share of the splitter.
  void ApplyPaneHeight();
  void SaveSettings();

  PreviewPane* pane_ = nullptr;
  QAction* previewAction_ = nullptr;
  int paneHeight_ = 0;  // as the user left it; 0 before the pane was first shown
};

}  // namespace salvoran
