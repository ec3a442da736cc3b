// The desktop program's file list at the size of a large volume: a million files announced to
// the view in the scan's batches, then sorted by name through the header.
//   gui_model_bench [FILE_COUNT]
#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>

#include "engine/DeletedFileScan.h"
#include "ui/RestoreTree.h"
#include "ui/RowAnnouncer.h"
#include "ui/model/NodeComparison.h"

namespace salvoran {
namespace {

constexpr size_t DefaultFileCount = 1'000'000;
constexpr unsigned Seed = 20240611;
constexpr double FirstDay = 36526;  // 1 January 2000
constexpr double LastDay = 45658;   // 1 January 2025
constexpr int64_t LargestFileSize = int64_t{1} << 32;
constexpr int ExpandedRoot = 0;
constexpr QSize ViewSize(760, 420);

const std::array<const char16_t*, 6> RootCaptions = {u"Graphics Files", u"Music Files", u"Video Files",
                                                     u"Document Files", u"HTML Files",  u"Other Files"};
const std::array<const char16_t*, 6> NameStems = {u"IMG_", u"track", u"VID_2021", u"Report ", u"index", u"~WRL"};
const std::array<const char16_t*, 6> Extensions = {u".JPG", u".mp3", u".mp4", u".docx", u".html", u".tmp"};

long ResidentKilobytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  }
  return -1;
}

double Seconds(const QElapsedTimer& timer) { return static_cast<double>(timer.nsecsElapsed()) / 1e9; }

// The view lays itself out at the next pass of the event loop; the time includes that.
template <typename Action>
double Timed(Action action) {
  QElapsedTimer timer;
  timer.start();
  action();
  QCoreApplication::processEvents();
  return Seconds(timer);
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
  std::array<ResultNode*, RootCaptions.size()> roots{};
  for (size_t root = 0; root < roots.size(); ++root) {
    roots[root] = tree.AddChild(nullptr);
    tree.NodeData(roots[root])->FileName = RootCaptions[root];
    tree.SetCheckType(roots[root], ctTriStateCheckBox);
  }
  model.AnnounceNewRows();
  view.expand(model.IndexOf(roots[ExpandedRoot]));
  const long baseKilobytes = ResidentKilobytes();

  std::mt19937_64 random(Seed);
  std::uniform_int_distribution<size_t> kind(0, roots.size() - 1);
  std::uniform_int_distribution<int> serial(0, 9'999'999);
  std::uniform_real_distribution<double> day(FirstDay, LastDay);
  std::uniform_int_distribution<int64_t> size(0, LargestFileSize);
  size_t nameBytes = 0;
  // As the scan does: nodes appended, and a pause that announces them every ProgressInterval records.
  RowAnnouncer announcer(model);
  const double fillSeconds = Timed([&] {
    for (size_t file = 0; file < fileCount; ++file) {
      const size_t root = kind(random);
      ResultNode* node = tree.AddChild(roots[root]);
      TDeletedFileData& data = *tree.NodeData(node);
      data.FileName =
          std::u16string(NameStems[root]) + QString::number(serial(random)).toStdU16String() + Extensions[root];
      data.Extension = Extensions[root];
      data.CreateTime = day(random);
      data.ModifyTime = day(random);
      data.FileSize = size(random);
      data.IsFileEntry = 1;
      tree.SetCheckType(node, ctTriStateCheckBox);
      nameBytes += (data.FileName.capacity() + data.Extension.capacity()) * sizeof(char16_t);
      if (file % ProgressInterval == 0) announcer.Pause();
    }
    announcer.Finish();
  });
  const long filledKilobytes = ResidentKilobytes();

  const double nameDescending = Timed([&] { view.RestoreTreeHeaderClick(rcFileName); });
  const double nameAscending = Timed([&] { view.RestoreTreeHeaderClick(rcFileName); });
  const double createTime = Timed([&] { view.RestoreTreeHeaderClick(rcCreateTime); });
  const double fileSize = Timed([&] { view.RestoreTreeHeaderClick(rcFileSize); });
  const double tickRoot =
      Timed([&] { model.setData(model.IndexOf(roots[ExpandedRoot]), Qt::Checked, Qt::CheckStateRole); });
  const long sortedKilobytes = ResidentKilobytes();

  std::printf("files: %zu (root %d of %zu rows expanded in the view)\n", fileCount, ExpandedRoot,
              tree.ChildCount(roots[ExpandedRoot]));
  std::printf("fill with a pause every %d files: %.3f s\n", ProgressInterval, fillSeconds);
  std::printf("header click, name descending: %.3f s\n", nameDescending);
  std::printf("header click, name ascending:  %.3f s\n", nameAscending);
  std::printf("header click, create time:     %.3f s\n", createTime);
  std::printf("header click, file size:       %.3f s\n", fileSize);
  std::printf("tick the expanded root:        %.3f s\n", tickRoot);
  std::printf("RSS before fill: %ld MiB, after fill: %ld MiB, after sorts: %ld MiB\n", baseKilobytes / 1024,
              filledKilobytes / 1024, sortedKilobytes / 1024);
  std::printf("data: %zu nodes x %zu bytes + %zu MiB of names = %zu MiB\n", tree.TotalCount(), sizeof(ResultNode),
              nameBytes >> 20, (tree.TotalCount() * sizeof(ResultNode) + nameBytes) >> 20);
  return 0;
}
