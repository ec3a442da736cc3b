#include "ui/RowAnnouncer.h"

#include <QCoreApplication>
#include <chrono>
#include <utility>

#include "ui/ResultTreeModel.h"

namespace salvoran {
namespace {

constexpr int64_t ShortestWaitMs = 250;
constexpr int64_t LongestWaitMs = 1000;
constexpr size_t GrowthDivisor = 8;

}  // namespace

RowAnnouncer::RowAnnouncer(ResultTreeModel& model, std::function<size_t()> rowsInSight, Clock clock)
    : model_(model), rowsInSight_(std::move(rowsInSight)), clock_(std::move(clock)) {}

int64_t RowAnnouncer::SteadyMilliseconds() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void RowAnnouncer::Pause() {
  const size_t nodeCount = model_.Tree().TotalCount();
  // A tree emptied for a new scan starts the count again.
  if (nodeCount < announcedNodes_) announcedNodes_ = 0;
  if (Due(nodeCount)) Announce(nodeCount);
  QCoreApplication::processEvents();
}

bool RowAnnouncer::Due(size_t nodeCount) const {
  const size_t pending = nodeCount - announcedNodes_;
  if (pending == 0) return false;
  if (announcedNodes_ < rowsInSight_()) return true;
  const int64_t waited = clock_() - lastAnnounced_;
  return waited >= ShortestWaitMs && (pending * GrowthDivisor >= announcedNodes_ || waited >= LongestWaitMs);
}

void RowAnnouncer::Finish() { Announce(model_.Tree().TotalCount()); }

void RowAnnouncer::Announce(size_t nodeCount) {
  model_.AnnounceNewRows();
  announcedNodes_ = nodeCount;
  lastAnnounced_ = clock_();
}

}  // namespace salvoran
