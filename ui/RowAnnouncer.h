#pragma once

#include <QElapsedTimer>
#include <cstddef>

namespace salvoran {

class ResultTreeModel;

// Announces the rows a scan appends, at the scan's pauses. Every announcement under an expanded
// root makes the view lay out all of that root's rows again, so rows are announced once they
// add an eighth to those shown, or a second after the last announcement: the layouts of a whole
// scan then cost a few times one layout of the final list, not one per pause.
class RowAnnouncer {
 public:
  explicit RowAnnouncer(ResultTreeModel& model) : model_(model) {}

  // At a pause of the scan: announces new rows when it is time, then handles pending events.
  void Pause();
  // Announces what is left, at the end of a scan.
  void Finish();

 private:
  void Announce(size_t nodeCount);

  ResultTreeModel& model_;
  size_t announcedNodes_ = 0;
  QElapsedTimer sinceLast_;
};

}  // namespace salvoran
