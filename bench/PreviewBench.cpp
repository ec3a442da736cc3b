// The desktop program's preview as a user meets it: the pane shown, the list arrowed down through
// large files (pictures, texts and binary), first with the key held (one press every
// KEY_INTERVAL_MS, previews given up as the next file comes), then a press at a time, each
// preview waited for. Prints the longest time the window went without handling its events, and
// how long the previews took to appear.
//   preview_bench IMAGE [KEY_INTERVAL_MS]
// IMAGE: make_ntfs_image --layout preview --preview-files 200 --size-mib 1100 (see BENCHMARKS.md).
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/EventRounds.h"
#include "ui/RestoreTree.h"
#include "ui/TfrmSalvoran.h"
#include "ui/preview/PreviewPane.h"

namespace {

constexpr int DefaultKeyIntervalMs = 33;

double Milliseconds(const QElapsedTimer& timer) { return static_cast<double>(timer.nsecsElapsed()) / 1e6; }

void PressDown(QWidget* list) {
  QKeyEvent press(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
  QKeyEvent release(QEvent::KeyRelease, Qt::Key_Down, Qt::NoModifier);
  QCoreApplication::sendEvent(list, &press);
  QCoreApplication::sendEvent(list, &release);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace salvoran;
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: preview_bench IMAGE [KEY_INTERVAL_MS]\n");
    return 2;
  }
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  const QTemporaryDir settings;  // the user's own settings stay as they are
  qputenv("XDG_CONFIG_HOME", settings.path().toLocal8Bit());
  QApplication application(argc, argv);
  const int keyIntervalMs = argc == 3 ? std::stoi(argv[2]) : DefaultKeyIntervalMs;
  const std::string image = argv[1];
  TfrmSalvoran window([image] { return std::vector<DriveEntry>{{image, {}, 0}}; });
  window.resize(1000, 760);
  window.show();
  QCoreApplication::processEvents();
  auto* list = window.findChild<RestoreTree*>("RestoreTree");
  auto* pane = window.findChild<PreviewPane*>("PreviewPane");
  window.findChild<QPushButton*>("btnScanNow")->click();  // returns when the scan has ended
  window.findChild<QAction*>("PreviewAction")->setChecked(true);
  list->expandAll();
  list->setFocus();
  list->setCurrentIndex(list->Model().index(0, 0));
  QCoreApplication::processEvents();

  size_t previews = 0;
  QObject::connect(pane, &PreviewPane::ContentShown, [&] { ++previews; });
  EventRounds rounds;
  const auto onFile = [&] {
    const ResultNode* focused = list->Tree().FocusedNode();
    return focused != nullptr && focused->Data().IsFileEntry != 0;
  };
  const auto toTop = [&] {
    list->setCurrentIndex(list->Model().index(0, 0));
    QCoreApplication::processEvents();
  };

  // Held down: a key every keyIntervalMs, whether the preview has come or not.
  size_t files = 0;
  QElapsedTimer arrowing;
  arrowing.start();
  rounds.Start();
  for (bool moved = true; moved;) {
    const QModelIndex before = list->currentIndex();
    PressDown(list);
    moved = list->currentIndex() != before;
    files += moved && onFile() ? 1 : 0;
    QElapsedTimer wait;
    wait.start();
    while (wait.elapsed() < keyIntervalMs) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
  }
  const double arrowingMs = Milliseconds(arrowing);
  const size_t previewsWhileArrowing = previews;
  rounds.Stop();
  const double longestGapArrowing = rounds.LongestGapMs();
  const double longestWorkArrowing = rounds.LongestWorkMs();

  // Pressed one at a time: each preview waited for.
  toTop();
  rounds.Start();
  std::vector<double> waits;
  for (bool moved = true; moved;) {
    const QModelIndex before = list->currentIndex();
    const size_t previewsBefore = previews;
    QElapsedTimer wait;
    wait.start();
    PressDown(list);
    moved = list->currentIndex() != before;
    if (!moved || !onFile()) continue;
    while (previews == previewsBefore) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    waits.push_back(Milliseconds(wait));
  }
  rounds.Stop();
  std::sort(waits.begin(), waits.end());

  std::printf("held down: %zu files, one key every %d ms, %.1f s; %zu previews shown, the others given up\n", files,
              keyIntervalMs, arrowingMs / 1e3, previewsWhileArrowing);
  std::printf("  longest time between event rounds: %.0f ms; most work of the window's thread between two: %.0f ms\n",
              longestGapArrowing, longestWorkArrowing);
  std::printf("one at a time: %zu files, selection to preview shown: median %.0f ms, 90th percentile %.0f ms, "
              "longest %.0f ms\n",
              waits.size(), waits[waits.size() / 2], waits[waits.size() * 9 / 10], waits.back());
  std::printf("  longest time between event rounds: %.0f ms; most work of the window's thread between two: %.0f ms\n",
              rounds.LongestGapMs(), rounds.LongestWorkMs());
  return 0;
}
