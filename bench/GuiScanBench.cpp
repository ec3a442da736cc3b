// The desktop program scanning a volume as a user does: Scan Now clicked, the first category
// opened in the list and the last one ticked as soon as they are there, so that the files still
// to come join it ticked. Prints the time until the list is complete, beside the scan alone as
// the command line's summary runs it, and the longest time the window went without handling its
// events.
//   gui_scan_bench VOLUME_OR_IMAGE
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QPushButton>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string>

#include "bench/EventRounds.h"
#include "engine/DeletedFileScan.h"
#include "ui/RestoreTree.h"
#include "ui/TfrmSalvoran.h"

namespace {

constexpr int ExpandedRoot = 0;
constexpr int TickedRoot = 5;

double Seconds(const QElapsedTimer& timer) { return static_cast<double>(timer.nsecsElapsed()) / 1e9; }

// On a machine shared with other work, the wall time counts what the others take too.
double ProcessCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// What the command line's summary does with the scan: counts the files, keeps none.
class CountingObserver : public salvoran::ScanObserver {
 public:
  void ScanStarted(const salvoran::VolumeGeometry&) override {}
  void Progress(int32_t) override {}
  bool StopRequested() override { return false; }
  void FileFound(salvoran::FoundFile&&) override { ++Files; }

  size_t Files = 0;
};

}  // namespace

int main(int argc, char** argv) {
  using namespace salvoran;
  if (argc != 2) {
    std::fprintf(stderr, "usage: gui_scan_bench VOLUME_OR_IMAGE\n");
    return 2;
  }
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  const std::string volume = argv[1];
  TfrmSalvoran window([volume] { return std::vector<DriveEntry>{{volume, {}, 0}}; });
  window.show();
  QCoreApplication::processEvents();
  auto* scanNow = window.findChild<QPushButton*>("btnScanNow");
  auto* list = window.findChild<RestoreTree*>("RestoreTree");

  EventRounds rounds([&] {
    const QModelIndex root = list->Model().index(ExpandedRoot, 0);
    if (!root.isValid() || list->isExpanded(root)) return;
    list->expand(root);
    list->Model().setData(list->Model().index(TickedRoot, 0), Qt::Checked, Qt::CheckStateRole);
  });

  // The scan alone first, as the command line runs it; it also brings the volume into the cache.
  CountingObserver counting;
  // How often the list is painted while the scan runs.
  struct PaintCounter : QObject {
    size_t Paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
      if (event->type() == QEvent::Paint) ++Paints;
      return false;
    }
  } paints;
  list->viewport()->installEventFilter(&paints);

  QElapsedTimer scan;
  scan.start();
  double cpuBefore = ProcessCpuSeconds();
  VolumeGeometry geometry;
  ScanDrive(volume, geometry, counting);
  const double scanSeconds = Seconds(scan);
  const double scanCpu = ProcessCpuSeconds() - cpuBefore;

  scan.start();
  cpuBefore = ProcessCpuSeconds();
  rounds.Start();
  scanNow->click();  // returns when the scan has ended
  QCoreApplication::processEvents();
  const double seconds = Seconds(scan);
  const double cpu = ProcessCpuSeconds() - cpuBefore;
  rounds.Stop();

  ResultTree& tree = list->Tree();
  std::printf("files listed: %zu (root %d of %zu rows expanded, root %d of %zu rows ticked: %zu nodes ticked)\n",
              tree.TotalCount() - tree.ChildCount(nullptr), ExpandedRoot,
              tree.ChildCount(tree.Child(nullptr, ExpandedRoot)), TickedRoot,
              tree.ChildCount(tree.Child(nullptr, TickedRoot)), tree.CountInCheckState(csCheckedNormal));
  std::printf("scan alone (%zu files found): %.3f s (CPU %.3f s)\n", counting.Files, scanSeconds, scanCpu);
  std::printf("scan and list in the window: %.3f s (CPU %.3f s), %.2fx the scan alone (CPU %.2fx)\n", seconds, cpu,
              seconds / scanSeconds, cpu / scanCpu);
  std::printf("longest time between event rounds: %.0f ms; the list painted %zu times\n", rounds.LongestGapMs(),
              paints.Paints);
  return 0;
}
