// The desktop program's file list at the size of a large volume: a million files in 20,000
// folders announced to the view in the scan's batches, sorted through the header and filtered
// as the filter box does once typing pauses.
//   gui_model_bench [FILE_COUNT]
#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

#include "bench/SyntheticFiles.h"
#include "engine/DeletedFileScan.h"
#include "ui/RestoreTree.h"
#include "ui/RowAnnouncer.h"
#include "ui/model/NodeComparison.h"

namespace salvoran {
namespace {

constexpr size_t DefaultFileCount = 1'000'000;
constexpr int ExpandedRoot = 0;
constexpr QSize ViewSize(760, 420);

long ResidentKilobytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  }
  return -1;
}

double Seconds(const QElapsedTimer& timer) { return static_cast<double>(timer.nsecsElapsed()) / 1e9; }

// On a machine shared with other work, the wall time counts what the others take too; the CPU
// time of the one thread that does all of the window's work does not.
double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

struct Timing {
  double Wall = 0;
  double Cpu = 0;
};

// The view lays itself out at the next pass of the event loop; the time includes that.
template <typename Action>
Timing Timed(Action action) {
  QElapsedTimer timer;
  timer.start();
  const double cpuBefore = ThreadCpuSeconds();
  action();
  QCoreApplication::processEvents();
  return {Seconds(timer), ThreadCpuSeconds() - cpuBefore};
}

void Print(const char* step, const Timing& timing) {
  std::printf("%-38s %6.3f s  (CPU %.3f s)\n", step, timing.Wall, timing.Cpu);
}

}  // namespace
}  // namespace salvoran

int main(int argc, char** argv) {
  using namespace salvoran;
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  const size_t fileCount = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : DefaultFileCount;

  RestoreTree view;
  view.resize(ViewSize);
  view.show();
  ResultTree& tree = view.Tree();
  ResultTreeModel& model = view.Model();
  const bench::CategoryRoots roots = bench::AddCategoryRoots(tree);
  model.AnnounceNewRows();
  view.expand(model.IndexOf(roots[ExpandedRoot]));
  const long baseKilobytes = ResidentKilobytes();

  bench::SyntheticFiles files;
  // As the scan does: nodes appended, and a pause that announces them every ProgressInterval records.
  RowAnnouncer announcer(model, [&view] { return view.RowsInSight(); });
  // The window answers the user only between two event rounds: the longest gap is what a user waits.
  QElapsedTimer sinceEvents;
  double longestPause = 0;
  const auto pause = [&] {
    announcer.Pause();
    longestPause = std::max(longestPause, Seconds(sinceEvents));
    sinceEvents.start();
  };
  sinceEvents.start();
  const Timing fill = Timed([&] {
    for (size_t file = 0; file < fileCount; ++file) {
      files.Add(tree, roots);
      if (file % ProgressInterval == 0) pause();
    }
    announcer.Finish();
  });
  const size_t nameBytes = files.NameBytes();
  const long filledKilobytes = ResidentKilobytes();

  const Timing nameDescending = Timed([&] { view.RestoreTreeHeaderClick(rcFileName); });
  const Timing nameAscending = Timed([&] { view.RestoreTreeHeaderClick(rcFileName); });
  const Timing createTime = Timed([&] { view.RestoreTreeHeaderClick(rcCreateTime); });
  const Timing fileSize = Timed([&] { view.RestoreTreeHeaderClick(rcFileSize); });
  const Timing folder = Timed([&] { view.RestoreTreeHeaderClick(rcFolder); });
  const Timing state = Timed([&] { view.RestoreTreeHeaderClick(rcState); });
  const Timing tickRoot =
      Timed([&] { model.setData(model.IndexOf(roots[ExpandedRoot]), Qt::Checked, Qt::CheckStateRole); });
  const long sortedKilobytes = ResidentKilobytes();

  // A word typed in the filter box; a folder name; then narrowed; then the check box; then cleared.
  const auto filter = [&](const char* text, bool hideOverwritten) {
    return Timed([&] { view.SetFileFilter(QString::fromUtf8(text), hideOverwritten); });
  };
  const Timing filterName = filter("img_12", false);
  const size_t shownByName = tree.ShownChildCount(roots[ExpandedRoot]);
  const Timing filterFolder = filter("holiday", false);
  const size_t shownByFolder = tree.ShownChildCount(roots[ExpandedRoot]);
  const Timing filterHide = filter("holiday", true);
  const size_t shownIntact = tree.ShownChildCount(roots[ExpandedRoot]);
  const Timing sortFiltered = Timed([&] { view.RestoreTreeHeaderClick(rcFileName); });
  const Timing untickFiltered =
      Timed([&] { model.setData(model.IndexOf(roots[ExpandedRoot]), Qt::Unchecked, Qt::CheckStateRole); });
  const Timing filterClear = filter("", false);
  const long filteredKilobytes = ResidentKilobytes();

  std::printf("files: %zu (root %d of %zu rows expanded in the view)\n", fileCount, ExpandedRoot,
              tree.ChildCount(roots[ExpandedRoot]));
  std::printf("fill with a pause every %d files: %.3f s (CPU %.3f s), longest time between event rounds %.0f ms\n",
              ProgressInterval, fill.Wall, fill.Cpu, longestPause * 1e3);
  Print("header click, name descending", nameDescending);
  Print("header click, name ascending", nameAscending);
  Print("header click, create time", createTime);
  Print("header click, file size", fileSize);
  Print("header click, folder", folder);
  Print("header click, state", state);
  Print("tick the expanded root", tickRoot);
  Print("filter \"img_12\" (names)", filterName);
  Print("filter \"holiday\" (folders, names)", filterFolder);
  Print("  and hide overwritten files", filterHide);
  Print("  header click, name, while filtered", sortFiltered);
  Print("  untick the expanded root's shown", untickFiltered);
  Print("clear the filter", filterClear);
  std::printf("rows shown in the expanded root: %zu by \"img_12\", %zu by \"holiday\", %zu of them intact\n",
              shownByName, shownByFolder, shownIntact);
  std::printf("RSS before fill: %ld MiB, after fill: %ld MiB, after sorts: %ld MiB, after filters: %ld MiB\n",
              baseKilobytes / 1024, filledKilobytes / 1024, sortedKilobytes / 1024, filteredKilobytes / 1024);
  std::printf("resident growth per file beyond the names: %.0f bytes\n",
              (static_cast<double>(filledKilobytes - baseKilobytes) * 1024 - static_cast<double>(nameBytes)) /
                  static_cast<double>(fileCount));
  size_t folderBytes = 0;
  for (const TreeFolder& treeFolder : tree.Folders()) folderBytes += treeFolder.Text.capacity() + 1;
  std::printf("data: %zu nodes x %zu bytes + %zu MiB of names + %zu KiB of folders = %zu MiB\n", tree.TotalCount(),
              sizeof(ResultNode), nameBytes >> 20, folderBytes >> 10,
              (tree.TotalCount() * sizeof(ResultNode) + nameBytes + folderBytes) >> 20);
  return 0;
}
