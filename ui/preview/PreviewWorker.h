#pragma once

#include <QByteArray>
#include <QSize>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "ui/preview/PreviewContent.h"
#include "ui/preview/PreviewFile.h"

namespace salvoran {

// Reads bytes firstKept to end of a listed file's content (fewer past its end), on the preview's
// own thread. Gives up, throwing PreviewCancelled, once cancelled turns true; throws EngineError
// when the file cannot be read.
using PreviewContentReader = std::function<QByteArray(const PreviewFile& file, uint64_t firstKept, uint64_t end,
                                                      const std::atomic<bool>& cancelled)>;

class PreviewCancelled : public std::exception {
 public:
  const char* what() const noexcept override { return "the preview was cancelled"; }
};

// What the pane asks for: the file's preview, or one page of its hex dump.
struct PreviewRequest {
  PreviewFile File;
  QSize ViewSize;                      // a picture is fitted to it
  std::optional<uint64_t> BytesPage;  // the offset of a hex page; none for the preview
};

// Prepares previews on a thread of its own, one at a time: a new request gives up the one under
// way, so that arrowing down a list of large files never queues them.
class PreviewWorker {
 public:
  // Called on the worker's thread with each finished preview and the ticket of its request.
  using Delivery = std::function<void(uint64_t ticket, PreviewContent content)>;

  PreviewWorker(PreviewContentReader read, Delivery deliver);
  // Gives up the request under way and waits for the thread.
  ~PreviewWorker();
  PreviewWorker(const PreviewWorker&) = delete;
  PreviewWorker& operator=(const PreviewWorker&) = delete;

  // Answers the request's ticket, higher than every earlier one.
  uint64_t Request(PreviewRequest request);
  // Gives up the request under way and any waiting one.
  void Cancel();

 private:
  void Run();
  PreviewContent Prepare(const PreviewRequest& request);

  PreviewContentReader read_;
  Delivery deliver_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::optional<PreviewRequest> waiting_;
  uint64_t lastTicket_ = 0;
  bool stopping_ = false;
  std::atomic<bool> cancelled_{false};  // the request under way is no longer wanted
  std::thread thread_;
};

}  // namespace salvoran
