// The result tree at the size of a large volume: a million files under the six category roots.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "engine/DeletedFileData.h"
#include "ui/model/NodeComparison.h"
#include "ui/model/ResultTree.h"

namespace salvoran {
namespace {

constexpr size_t FileCount = 1'000'000;
constexpr unsigned Seed = 20240611;
constexpr double FirstDay = 36526;  // 1 January 2000
constexpr double LastDay = 45658;   // 1 January 2025
constexpr int64_t LargestFileSize = int64_t{8} << 30;
constexpr int SerialDigits = 5;

const std::array<const char16_t*, 6> RootCaptions = {u"Graphics Files", u"Music Files", u"Video Files",
                                                     u"Document Files", u"HTML Files",  u"Other Files"};

struct NamePattern {
  const char16_t* Stem;
  const char16_t* Extension;
  size_t Root;
};

// Camera, music, office and download names, some with non-ASCII letters and in mixed case, so
// that many names share long prefixes as they do on real volumes.
const std::array<NamePattern, 12> NamePatterns = {{{u"IMG_", u".JPG", 0},
                                                   {u"DSC", u".jpg", 0},
                                                   {u"Screenshot 2023-", u".png", 0},
                                                   {u"track", u".mp3", 1},
                                                   {u"Ch\u00e2teau - Piste ", u".flac", 1},
                                                   {u"VID_2021", u".mp4", 2},
                                                   {u"Report ", u".docx", 3},
                                                   {u"r\u00e9sum\u00e9_v", u".pdf", 3},
                                                   {u"index", u".html", 4},
                                                   {u"~WRL", u".tmp", 5},
                                                   {u"\u5199\u771f", u".dat", 5},
                                                   {u"setup_", u".exe", 5}}};

struct FileSample {
  TDeletedFileData Data;
  size_t Root;
};

std::vector<FileSample> MakeSamples() {
  std::mt19937_64 random(Seed);
  std::uniform_int_distribution<size_t> pattern(0, NamePatterns.size() - 1);
  std::uniform_int_distribution<int> serial(0, 99'999);
  std::uniform_real_distribution<double> day(FirstDay, LastDay);
  std::uniform_real_distribution<double> sizeExponent(0, std::log2(static_cast<double>(LargestFileSize)));
  std::vector<FileSample> samples(FileCount);
  for (FileSample& sample : samples) {
    const NamePattern& name = NamePatterns[pattern(random)];
    std::u16string number = std::u16string(SerialDigits, u'0');
    for (int value = serial(random), digit = SerialDigits - 1; digit >= 0; value /= 10, --digit) {
      number[digit] = static_cast<char16_t>(u'0' + value % 10);
    }
    sample.Data.FileName = std::u16string(name.Stem) + number + name.Extension;
    sample.Data.Extension = name.Extension;
    sample.Data.CreateTime = day(random);
    sample.Data.ModifyTime = sample.Data.CreateTime + day(random) - FirstDay;
    sample.Data.FileSize = static_cast<int64_t>(std::exp2(sizeExponent(random)));
    sample.Data.IsFileEntry = 1;
    sample.Root = name.Root;
  }
  return samples;
}

const std::vector<FileSample>& Samples() {
  static const std::vector<FileSample> samples = MakeSamples();
  return samples;
}

void Build(ResultTree& tree) {
  std::array<ResultNode*, RootCaptions.size()> roots{};
  for (size_t index = 0; index < roots.size(); ++index) {
    roots[index] = tree.AddChild(nullptr);
    tree.NodeData(roots[index])->FileName = RootCaptions[index];
    tree.SetCheckType(roots[index], ctTriStateCheckBox);
  }
  for (const FileSample& sample : Samples()) {
    ResultNode* file = tree.AddChild(roots[sample.Root]);
    *tree.NodeData(file) = sample.Data;
    tree.SetCheckType(file, ctTriStateCheckBox);
  }
}

size_t ResidentBytes() {
  size_t totalPages = 0;
  size_t residentPages = 0;
  FILE* statm = std::fopen("/proc/self/statm", "r");
  if (statm == nullptr) return 0;
  if (std::fscanf(statm, "%zu %zu", &totalPages, &residentPages) != 2) residentPages = 0;
  std::fclose(statm);
  return residentPages * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

// What the data blocks themselves take: the block and the heap copy of each name too long to be
// kept inside its string.
double DataBytesPerFile() {
  const size_t inlineCapacity = std::u16string().capacity();
  double total = 0;
  for (const FileSample& sample : Samples()) {
    total += sizeof(TDeletedFileData);
    for (const std::u16string* text : {&sample.Data.FileName, &sample.Data.Extension}) {
      if (text->size() > inlineCapacity) total += static_cast<double>((text->size() + 1) * sizeof(char16_t));
    }
  }
  return total / static_cast<double>(FileCount);
}

void BuildTree(benchmark::State& state) {
  Samples();
  size_t grownBytes = 0;
  for (auto _ : state) {
    state.PauseTiming();
    malloc_trim(0);
    const size_t before = ResidentBytes();
    state.ResumeTiming();
    {
      ResultTree tree;
      Build(tree);
      state.PauseTiming();
      grownBytes = ResidentBytes() - before;
      state.ResumeTiming();
    }
  }
  state.counters["bytes_per_node"] = static_cast<double>(grownBytes) / FileCount;
  state.counters["data_bytes_per_node"] = DataBytesPerFile();
  state.counters["sizeof_node"] = sizeof(ResultNode);
}
BENCHMARK(BuildTree)->Unit(benchmark::kMillisecond)->Iterations(3);

ResultTree& SharedTree() {
  static ResultTree tree;
  if (tree.TotalCount() == 0) Build(tree);
  return tree;
}

// Each sort starts from the order another column left, as when the user clicks from header to
// header.
void SortFrom(benchmark::State& state, int fromColumn, int column) {
  ResultTree& tree = SharedTree();
  for (auto _ : state) {
    state.PauseTiming();
    tree.Sort(fromColumn, sdAscending, RestoreTreeCompareNodes, RestoreTreeSortKey);
    state.ResumeTiming();
    tree.Sort(column, sdAscending, RestoreTreeCompareNodes, RestoreTreeSortKey);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * tree.TotalCount()));
}

void SortByName(benchmark::State& state) { SortFrom(state, rcFileSize, rcFileName); }
BENCHMARK(SortByName)->Unit(benchmark::kMillisecond)->Iterations(3);

void SortBySize(benchmark::State& state) { SortFrom(state, rcFileName, rcFileSize); }
BENCHMARK(SortBySize)->Unit(benchmark::kMillisecond)->Iterations(3);

void SortByCreateTime(benchmark::State& state) { SortFrom(state, rcFileName, rcCreateTime); }
BENCHMARK(SortByCreateTime)->Unit(benchmark::kMillisecond)->Iterations(3);

// Ticks and unticks every category root, which passes the change to all million files.
void TickRoots(benchmark::State& state) {
  ResultTree& tree = SharedTree();
  for (auto _ : state) {
    for (TCheckState mark : {csCheckedNormal, csUncheckedNormal}) {
      for (size_t row = 0; row < tree.ChildCount(nullptr); ++row) tree.SetCheckState(tree.Child(nullptr, row), mark);
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * 2 * tree.TotalCount()));
}
BENCHMARK(TickRoots)->Unit(benchmark::kMillisecond)->Iterations(5);

// Ticks the files one by one: each tick recomputes its root, which must not cost a pass over
// the root's other files.
void TickEveryFile(benchmark::State& state) {
  ResultTree& tree = SharedTree();
  for (auto _ : state) {
    for (ResultNode* node = tree.FirstNode(); node != nullptr; node = tree.NextNode(node)) {
      if (tree.Level(node) > 0) tree.SetCheckState(node, csCheckedNormal);
    }
    state.PauseTiming();
    for (size_t row = 0; row < tree.ChildCount(nullptr); ++row) {
      tree.SetCheckState(tree.Child(nullptr, row), csUncheckedNormal);
    }
    state.ResumeTiming();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * tree.TotalCount()));
}
BENCHMARK(TickEveryFile)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace salvoran

BENCHMARK_MAIN();
