#include "ui/RowAnnouncer.h"

#include <QCoreApplication>

#include "ui/ResultTreeModel.h"

namespace salvoran {
namespace {

constexpr size_t GrowthDivisor = 8;
constexpr qint64 LongestWaitMs = 1000;

}  // namespace

void RowAnnouncer::Pause() {
  const size_t nodeCount = model_.Tree().TotalCount();
  // A tree emptied for a new scan starts the count again.
  if (nodeCount < announcedNodes_) announcedNodes_ = 0;
  const size_t pending = nodeCount - announcedNodes_;
  if (pending > 0 && (pending * GrowthDivisor >= announcedNodes_ || sinceLast_.hasExpired(LongestWaitMs))) {
    Announce(nodeCount);
  }
  QCoreApplication::processEvents();
}

void RowAnnouncer::Finish() { Announce(model_.Tree().TotalCount()); }

void RowAnnouncer::Announce(size_t nodeCount) {
  model_.AnnounceNewRows();
  announcedNodes_ = nodeCount;
  sinceLast_.start();
}

}  // namespace salvoran
