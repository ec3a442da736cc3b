#pragma once

#include <QWidget>
#include <cstdint>
#include <memory>
#include <optional>

#include "ui/preview/PreviewContent.h"
#include "ui/preview/PreviewFile.h"
#include "ui/preview/PreviewWorker.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;
class QTimer;

namespace salvoran {

class HexView;
class PictureView;

// Shows one listed file: its name, folder, size, state and origin, and its content as a picture,
// as text or as a hex dump. The content is read and decoded on a thread of its own, only while
// the pane is shown, and a file selected next gives up the one still being read.
class PreviewPane : public QWidget {
  Q_OBJECT

 public:
  // read reads the listed files; by default a VolumeContentReader.
  explicit PreviewPane(QWidget* parent = nullptr, PreviewContentReader read = {});
  ~PreviewPane() override;

  // The file to show; none when no file is selected.
  void ShowFile(std::optional<PreviewFile> file);

 signals:
  // Each time what the pane shows changes, for tests and benchmarks.
  void ContentShown();

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void CreateControls();
  void ShowHeader(const PreviewFile& file);
  void ShowMessage(const QString& text);
  void RequestContent(std::optional<uint64_t> bytesPage);
  void Deliver(uint64_t ticket, PreviewContent content);
  void ShowContent(PreviewContent content);
  void ShowPicture(PreviewContent& content);
  void ShowText(const PreviewContent& content);
  void ShowBytes(const PreviewContent& content);
  void TurnPage(int direction);

  QLabel* name_ = nullptr;
  QLabel* details_ = nullptr;
  QLabel* state_ = nullptr;
  QLabel* contentInfo_ = nullptr;
  QPushButton* previousPage_ = nullptr;
  QPushButton* nextPage_ = nullptr;
  QTimer* readingNotice_ = nullptr;
  QStackedWidget* views_ = nullptr;
  QLabel* message_ = nullptr;
  PictureView* picture_ = nullptr;
  QPlainTextEdit* text_ = nullptr;
  HexView* bytes_ = nullptr;

  std::optional<PreviewFile> file_;
  bool requested_ = false;  // the content of file_ was asked for since it was set
  uint64_t wantedTicket_ = 0;
  uint64_t bytesOffset_ = 0;
  // Last, so that its thread has ended before anything else of the pane goes.
  std::unique_ptr<PreviewWorker> worker_;
};

}  // namespace salvoran
