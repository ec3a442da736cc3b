#include "ui/QtRestoreProgress.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdint>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

#include "recovery/RestoreStop.h"
#include "support/FormatFileSize.h"
#include "support/StringTable.h"
#include "support/TimeLeft.h"
#include "ui/QtText.h"

namespace salvoran {
namespace {

// A restore shorter than this shows no dialog: it would only flash.
constexpr int MinimumDurationMs = 500;
constexpr int RefreshIntervalMs = 100;
// Short enough to go unnoticed between two repaints.
constexpr std::chrono::milliseconds QuickCopy(20);
constexpr int ProgressSteps = 1000;
constexpr int DialogWidth = 460;
constexpr double MillisecondsPerSecond = 1000.0;

QString SizeText(uint64_t bytes) {
  return ToQString(FormatFileSize(static_cast<int64_t>(std::min<uint64_t>(bytes, INT64_MAX))));
}

}  // namespace

// One thread for the copies of a restore, one copy at a time: a file costs a hand-over, not the
// start of a thread.
class CopyThread {
 public:
  CopyThread() : thread_([this] { Serve(); }) {}
  ~CopyThread() {
    {
      const std::lock_guard lock(mutex_);
      closing_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }
  CopyThread(const CopyThread&) = delete;
  CopyThread& operator=(const CopyThread&) = delete;

  // Runs job on the thread; the one before it must have returned.
  void Start(std::function<void()> job) {
    {
      const std::lock_guard lock(mutex_);
      job_ = std::move(job);
    }
    changed_.notify_all();
  }
  // True once the job has returned, waiting at most timeout for it.
  bool WaitFor(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [this] { return !job_; });
  }
  void Wait() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !job_; });
  }

 private:
  void Serve() {
    std::unique_lock lock(mutex_);
    for (;;) {
      changed_.wait(lock, [this] { return closing_ || job_; });
      if (closing_) return;
      // Only this thread changes job_ while it runs.
      lock.unlock();
      job_();
      lock.lock();
      job_ = nullptr;
      changed_.notify_all();
    }
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::function<void()> job_;
  bool closing_ = false;
  std::thread thread_;  // last: it starts serving at once
};

// Cancel, the Escape key and the close button all ask the restore to stop; the dialog goes
// once the file being written has removed itself.
class RestoreProgressDialog : public QDialog {
 public:
  explicit RestoreProgressDialog(QWidget* window) : QDialog(window) {
    setObjectName("RestoreProgress");
    setWindowTitle(ToQString(strings::ApplicationTitle));
    setWindowModality(Qt::WindowModal);
    setFixedWidth(DialogWidth);
    file_ = new QLabel(this);
    file_->setObjectName("RestoringFile");
    file_->setTextFormat(Qt::PlainText);
    bar_ = new QProgressBar(this);
    bar_->setRange(0, ProgressSteps);
    bytes_ = new QLabel(this);
    bytes_->setObjectName("RestoredBytes");
    bytes_->setTextFormat(Qt::PlainText);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    cancel_ = buttons->button(QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::rejected, this, &RestoreProgressDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(file_);
    layout->addWidget(bar_);
    layout->addWidget(bytes_);
    layout->addWidget(buttons);
  }

  // name is cut in the middle to fit.
  void SetState(uint64_t fileNumber, uint64_t fileCount, const QString& name, int step, const QString& bytes) {
    const QString pattern = ToQString(strings::RestoringFileText);
    const QString numbers = pattern.arg(QString::number(fileNumber), QString::number(fileCount), QString());
    const QMargins margins = layout()->contentsMargins();
    const int nameWidth =
        width() - margins.left() - margins.right() - file_->fontMetrics().horizontalAdvance(numbers);
    file_->setText(pattern.arg(QString::number(fileNumber), QString::number(fileCount),
                               file_->fontMetrics().elidedText(name, Qt::ElideMiddle, std::max(nameWidth, 0))));
    bar_->setValue(step);
    bytes_->setText(bytes);
  }

  void reject() override {
    RequestRestoreStop();
    cancel_->setEnabled(false);
  }

 private:
  QLabel* file_;
  QProgressBar* bar_;
  QLabel* bytes_;
  QPushButton* cancel_;
};

QtRestoreProgress::QtRestoreProgress(QWidget* window) : window_(window) {
  showLater_.setSingleShot(true);
  showLater_.setInterval(MinimumDurationMs);
  QObject::connect(&showLater_, &QTimer::timeout, [this] {
    ShowState();
    dialog_->show();
  });
  refresh_.setInterval(RefreshIntervalMs);
  QObject::connect(&refresh_, &QTimer::timeout, [this] { ShowState(); });
}

QtRestoreProgress::~QtRestoreProgress() = default;

void QtRestoreProgress::Begin(uint64_t fileCount, uint64_t totalBytes) {
  fileCount_ = fileCount;
  totalBytes_ = totalBytes;
  fileNumber_ = 0;
  finishedBytes_ = 0;
  fileBytes_ = 0;
  fileCopied_ = 0;
  estimate_.emplace(fileCount, totalBytes);
  lastFileDone_ = 0;
  dialog_ = std::make_unique<RestoreProgressDialog>(window_);
  copier_ = std::make_unique<CopyThread>();
  started_.start();
  showLater_.start();
  refresh_.start();
}

std::optional<std::string> QtRestoreProgress::Run(const std::string& name, uint64_t listedBytes, const Copy& copy) {
  ++fileNumber_;
  fileName_ = name;
  fileBytes_ = listedBytes;
  fileCopied_ = 0;
  std::optional<std::string> answer;
  std::exception_ptr thrown;
  QEventLoop waiting;
  copier_->Start([&] {
    try {
      answer = copy([this](uint64_t bytes) { fileCopied_ += bytes; });
    } catch (...) {
      thrown = std::current_exception();
    }
    QMetaObject::invokeMethod(&waiting, [&waiting] { waiting.quit(); }, Qt::QueuedConnection);
  });
  // Most files are done at once; only a longer copy needs events handled meanwhile.
  if (!copier_->WaitFor(QuickCopy)) waiting.exec();
  // The loop ends early only when the program quits: the copy must not outlive it.
  if (!copier_->WaitFor(std::chrono::milliseconds(0))) {
    RequestRestoreStop();
    copier_->Wait();
  }
  // The listed size, whatever was written: a failed file does not leave the total short.
  finishedBytes_ += fileBytes_;
  fileCopied_ = 0;
  const double now = static_cast<double>(started_.elapsed()) / MillisecondsPerSecond;
  estimate_->FileDone(fileBytes_, now - lastFileDone_);
  lastFileDone_ = now;
  if (thrown) std::rethrow_exception(thrown);
  return answer;
}

void QtRestoreProgress::End() {
  showLater_.stop();
  refresh_.stop();
  copier_.reset();
  dialog_.reset();
}

void QtRestoreProgress::ShowState() {
  if (!dialog_) return;
  const uint64_t currentBytes = std::min<uint64_t>(fileCopied_, fileBytes_);
  const uint64_t doneBytes = finishedBytes_ + currentBytes;
  QString bytes =
      ToQString(strings::RestoredBytesText).arg(SizeText(std::min(doneBytes, totalBytes_)), SizeText(totalBytes_));
  const double elapsed = static_cast<double>(started_.elapsed()) / MillisecondsPerSecond;
  if (const std::optional<double> left = estimate_->SecondsLeft(currentBytes, elapsed)) {
    bytes += ToQString(strings::TimeLeftText).arg(ToQString(FormatDuration(*left)));
  }
  dialog_->SetState(fileNumber_, std::max(fileCount_, fileNumber_), QString::fromStdString(fileName_),
                    static_cast<int>(estimate_->DoneShare(currentBytes) * ProgressSteps), bytes);
}

}  // namespace salvoran
