#include "ui/preview/PreviewWorker.h"

#include <new>

#include "engine/EngineError.h"
#include "ui/QtText.h"
#include "ui/preview/PreviewCaptions.h"

namespace salvoran {
namespace {

PreviewContent Failure(QString text) {
  PreviewContent content;
  content.Shown = PreviewContent::Kind::Failure;
  content.Note = std::move(text);
  return content;
}

}  // namespace

PreviewWorker::PreviewWorker(PreviewContentReader read, Delivery deliver)
    : read_(std::move(read)), deliver_(std::move(deliver)), thread_([this] { Run(); }) {}

PreviewWorker::~PreviewWorker() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
    waiting_.reset();
    cancelled_ = true;
  }
  wake_.notify_one();
  thread_.join();
}

uint64_t PreviewWorker::Request(PreviewRequest request) {
  uint64_t ticket = 0;
  {
    const std::lock_guard lock(mutex_);
    waiting_ = std::move(request);
    ticket = ++lastTicket_;
    cancelled_ = true;
  }
  wake_.notify_one();
  return ticket;
}

void PreviewWorker::Cancel() {
  const std::lock_guard lock(mutex_);
  waiting_.reset();
  cancelled_ = true;
}

void PreviewWorker::Run() {
  for (;;) {
    PreviewRequest request;
    uint64_t ticket = 0;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || waiting_; });
      if (stopping_) return;
      request = std::move(*waiting_);
      waiting_.reset();
      ticket = lastTicket_;
      cancelled_ = false;
    }
    try {
      deliver_(ticket, Prepare(request));
    } catch (const PreviewCancelled&) {
      // A newer request, or none, is wanted now.
    }
  }
}

PreviewContent PreviewWorker::Prepare(const PreviewRequest& request) {
  const PreviewRead read = [&](uint64_t firstKept, uint64_t end) {
    return read_(request.File, firstKept, end, cancelled_);
  };
  try {
    if (request.BytesPage) return PrepareBytesPage(read, *request.BytesPage);
    return PreparePreview(read, request.File.Name, request.ViewSize);
  } catch (const EngineError& error) {
    return Failure(ToQString(strings::PreviewCannotRead).arg(ToQString(error.what())));
  } catch (const std::bad_alloc&) {
    return Failure(ToQString(strings::PreviewOutOfMemory));
  }
}

}  // namespace salvoran
