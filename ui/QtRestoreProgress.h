#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "support/FilesAndBytesEstimate.h"
#include "ui/RestoreProgress.h"

class QWidget;

namespace salvoran {

class CopyThread;
class RestoreProgressDialog;

// The copies run on a thread of their own while this thread handles events, so that the window
// repaints and Cancel answers even while one large file is read from a slow disk; the UI thread
// only waits. A restore that lasts more than a moment shows a dialog over the window: files done
// of the total, bytes, a bar and the time left from both (FilesAndBytesEstimate), and Cancel,
// which asks the copy to stop (RestoreStop.h).
class QtRestoreProgress : public RestoreProgress {
 public:
  explicit QtRestoreProgress(QWidget* window);
  ~QtRestoreProgress() override;
  QtRestoreProgress(const QtRestoreProgress&) = delete;
  QtRestoreProgress& operator=(const QtRestoreProgress&) = delete;

  void Begin(uint64_t fileCount, uint64_t totalBytes) override;
  std::optional<std::string> Run(const std::string& name, uint64_t listedBytes, const Copy& copy) override;
  void End() override;

 private:
  void ShowState();

  QWidget* window_;
  std::unique_ptr<RestoreProgressDialog> dialog_;
  std::unique_ptr<CopyThread> copier_;
  QTimer showLater_;
  QTimer refresh_;
  QElapsedTimer started_;
  std::optional<FilesAndBytesEstimate> estimate_;
  // When the last file was done, in seconds since the start.
  double lastFileDone_ = 0;
  uint64_t fileCount_ = 0;
  uint64_t totalBytes_ = 0;
  uint64_t fileNumber_ = 0;
  uint64_t finishedBytes_ = 0;
  std::string fileName_;
  uint64_t fileBytes_ = 0;
  // Written by the copy's thread.
  std::atomic<uint64_t> fileCopied_{0};
};

}  // namespace salvoran
