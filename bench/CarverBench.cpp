// The carver as one more consumer of the deep pass's read: bytes per second over a stream of
// 4 MiB blocks, for data without files, with a cluster predicate, and with real files of every
// format. It must keep up with reading the disk.
#include <benchmark/benchmark.h>

#include <vector>

#include "engine/carving/Carver.h"
#include "tests/support/CarvingSamples.h"

namespace salvoran {
namespace {

constexpr size_t BlockBytes = 4u << 20;
constexpr size_t StreamBytes = 64u << 20;
constexpr uint32_t ClusterBytes = 4096;

// Random data with the samples written over it, each `spacing` clusters after the one before
// ends (none when `names` is empty).
test::SampleBytes Stream(const std::vector<std::string>& names, size_t spacing) {
  test::SampleBytes stream = test::RandomBytes(StreamBytes, 1);
  size_t next = 0;
  for (size_t at = 0; !names.empty() && at < StreamBytes;) {
    const test::SampleBytes sample = test::ReadCarvingSample(names[next++ % names.size()]);
    if (at + sample.size() > StreamBytes) break;
    std::copy(sample.begin(), sample.end(), stream.begin() + static_cast<std::ptrdiff_t>(at));
    at += (sample.size() / ClusterBytes + spacing) * ClusterBytes;
  }
  return stream;
}

void Carve(benchmark::State& state, std::vector<std::string> names, size_t spacing, bool withPredicate) {
  const test::SampleBytes stream = Stream(names, spacing);
  std::vector<bool> inUse(StreamBytes / ClusterBytes);
  for (size_t cluster = 0; cluster < inUse.size(); cluster += 97) inUse[cluster] = true;
  uint64_t files = 0;
  for (auto _ : state) {
    carving::CarvingArea area;
    area.ClusterBytes = ClusterBytes;
    if (withPredicate) area.ClusterIsFree = [&](uint64_t cluster) { return !inUse[cluster % inUse.size()]; };
    carving::Carver carver(area, [&](carving::CarvedFile&&) { ++files; });
    for (size_t at = 0; at < StreamBytes; at += BlockBytes)
      carver.Consume(at, ByteView(stream).subspan(at, BlockBytes));
    carver.Finish();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * StreamBytes));
  state.counters["files"] = benchmark::Counter(static_cast<double>(files) / static_cast<double>(state.iterations()));
}

BENCHMARK_CAPTURE(Carve, random_data, {}, 0, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Carve, random_data_cluster_bitmap, {}, 0, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Carve, every_format_nine_clusters_apart, test::CarvingSampleNames(), 9, true)
    ->Unit(benchmark::kMillisecond);
// The most work a byte can cost: ZIP archives back to back, every entry inflated.
BENCHMARK_CAPTURE(Carve, archives_back_to_back, {"archive.zip", "report.docx", "letter.odt"}, 1, true)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Carve, photos_back_to_back, {"photo-exif.jpg", "progressive.jpg"}, 1, true)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace salvoran

BENCHMARK_MAIN();
