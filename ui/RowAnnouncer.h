#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace salvoran {

class ResultTreeModel;

// Announces the rows a scan appends, at the scan's pauses. Each announcement costs the view a
// layout of the rows it shows and a paint, which made up two thirds of the window's own work in
// a scan; so rows are announced at once only while the view has room for more, and after that
// at most a few times a second: once they add an eighth to those announced, or a second after
// the last announcement.
class RowAnnouncer {
 public:
  // Milliseconds from any fixed point.
  using Clock = std::function<int64_t()>;

  // rowsInSight: how many rows the view has room for.
  RowAnnouncer(ResultTreeModel& model, std::function<size_t()> rowsInSight, Clock clock = SteadyMilliseconds);

  // At a pause of the scan: announces new rows when it is time, then handles pending events.
  void Pause();
  // Announces what is left, at the end of a scan.
  void Finish();

  static int64_t SteadyMilliseconds();

 private:
  bool Due(size_t nodeCount) const;
  void Announce(size_t nodeCount);

  ResultTreeModel& model_;
  std::function<size_t()> rowsInSight_;
  Clock clock_;
  size_t announcedNodes_ = 0;
  int64_t lastAnnounced_ = 0;
};

}  // namespace salvoran
