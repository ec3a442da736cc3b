// The main window with the list of a large volume, as a user works in it: one category opened,
// then another category ticked and unticked, the opened one ticked and unticked, and Find run to
// the end of the list without a match. Prints, for each, how long it took and the longest time
// the window went without handling its events (what the user waits before the window answers).
//   gui_response_bench [FILE_COUNT]      (500,000 files by default)
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "bench/SyntheticFiles.h"
#include "ui/FindDialog.h"
#include "ui/RestoreTree.h"
#include "ui/TfrmSalvoran.h"

namespace {

constexpr size_t DefaultFileCount = 500'000;
constexpr int ExpandedRoot = 0;  // Graphics Files
constexpr int TickedRoot = 4;    // HTML Files
constexpr char NoMatch[] = "no file is named so";

double Seconds(const QElapsedTimer& timer) { return static_cast<double>(timer.nsecsElapsed()) / 1e9; }

struct Response {
  double Seconds = 0;
  double LongestGap = 0;
};

// Runs action from the event loop, as a click would, and waits until the window has handled
// what it left (layout, paint). A timer due at once fires at every round of the event loop: the
// gaps between its shots are the times the window could not answer.
Response Measure(const std::function<void()>& action) {
  Response response;
  QElapsedTimer sinceRound;
  QTimer rounds;
  rounds.setInterval(0);
  QObject::connect(&rounds, &QTimer::timeout, [&] {
    response.LongestGap = std::max(response.LongestGap, Seconds(sinceRound));
    sinceRound.start();
  });
  bool done = false;
  QElapsedTimer whole;
  QTimer::singleShot(0, [&] {
    action();
    done = true;
  });
  whole.start();
  sinceRound.start();
  rounds.start();
  while (!done) QCoreApplication::processEvents();
  QCoreApplication::processEvents();
  response.Seconds = Seconds(whole);
  response.LongestGap = std::max(response.LongestGap, Seconds(sinceRound));
  return response;
}

void Print(const char* step, const Response& response) {
  std::printf("%-44s %7.3f s, longest time between event rounds %6.0f ms\n", step, response.Seconds,
              response.LongestGap * 1e3);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace salvoran;
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  const size_t fileCount = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : DefaultFileCount;

  int beeps = 0;
  TfrmSalvoran window([] { return std::vector<DriveEntry>{}; }, nullptr, [&beeps] { ++beeps; });
  window.show();
  auto* list = window.findChild<RestoreTree*>("RestoreTree");
  ResultTree& tree = list->Tree();
  ResultTreeModel& model = list->Model();
  const bench::CategoryRoots roots = bench::AddCategoryRoots(tree);
  bench::SyntheticFiles files;
  for (size_t file = 0; file < fileCount; ++file) files.Add(tree, roots);
  model.AnnounceNewRows();
  list->expand(model.IndexOf(roots[ExpandedRoot]));
  QCoreApplication::processEvents();

  // As a click on a check box does.
  const auto tick = [&](int root, Qt::CheckState state) {
    return Measure([&, root, state] { model.setData(model.IndexOf(roots[root]), state, Qt::CheckStateRole); });
  };
  const Response tickOther = tick(TickedRoot, Qt::Checked);
  const Response untickOther = tick(TickedRoot, Qt::Unchecked);
  const Response tickOpened = tick(ExpandedRoot, Qt::Checked);
  const Response untickOpened = tick(ExpandedRoot, Qt::Unchecked);

  window.mnuFindTextClick();
  auto* findDialog = window.findChild<FindDialog*>("FindDialog");
  findDialog->findChild<QLineEdit*>("findText")->setText(QString::fromUtf8(NoMatch));
  const Response find = Measure([&] { findDialog->findChild<QPushButton*>("findNext")->click(); });

  std::printf("files: %zu; category %d of %zu files opened in the list, category %d of %zu files ticked\n",
              fileCount, ExpandedRoot, tree.ChildCount(roots[ExpandedRoot]), TickedRoot,
              tree.ChildCount(roots[TickedRoot]));
  Print("tick a closed category beside the opened one", tickOther);
  Print("untick it", untickOther);
  Print("tick the opened category", tickOpened);
  Print("untick it", untickOpened);
  Print("Find without a match, to the beep", find);
  std::printf("beeps: %d\n", beeps);
  return 0;
}
