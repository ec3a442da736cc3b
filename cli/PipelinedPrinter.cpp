#include "cli/PipelinedPrinter.h"

namespace salvoran::cli {
namespace {

constexpr size_t BatchFiles = 256;
constexpr size_t WaitingBatches = 8;

}  // namespace

PipelinedPrinter::PipelinedPrinter(std::unique_ptr<ScanPrinter> printer)
    : printer_(std::move(printer)), thread_([this] { Print(); }) {
  filling_.reserve(BatchFiles);
}

// A scan that failed half-way still lets the thread end before the printer goes.
PipelinedPrinter::~PipelinedPrinter() { Stop(); }

void PipelinedPrinter::Add(FoundFile&& file) {
  filling_.push_back(std::move(file));
  if (filling_.size() == BatchFiles) HandOver();
}

void PipelinedPrinter::Finish(const ScanSummary& summary) {
  Stop();
  printer_->Finish(summary);
}

void PipelinedPrinter::HandOver() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return waiting_.size() < WaitingBatches; });
  waiting_.push_back(std::move(filling_));
  filling_ = Batch();
  filling_.reserve(BatchFiles);
  changed_.notify_all();
}

void PipelinedPrinter::Print() {
  for (;;) {
    Batch batch;
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [this] { return !waiting_.empty() || ended_; });
      if (waiting_.empty()) return;
      batch = std::move(waiting_.front());
      waiting_.pop_front();
      changed_.notify_all();
    }
    for (FoundFile& file : batch) printer_->Add(std::move(file));
  }
}

void PipelinedPrinter::Stop() {
  if (!thread_.joinable()) return;
  if (!filling_.empty()) HandOver();
  {
    std::lock_guard lock(mutex_);
    ended_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

}  // namespace salvoran::cli
