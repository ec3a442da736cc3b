#include <unistd.h>

#include <cstdio>
#include <exception>

#include "cli/Commands.h"
#include "cli/PipelinedPrinter.h"
#include "cli/ScanCollector.h"
#include "cli/ScanPrinter.h"
#include "cli/SourceChoice.h"

namespace salvoran::cli {
namespace {

std::unique_ptr<ScanPrinter> MakePrinter(ScanOutput output) {
  switch (output) {
    case ScanOutput::Listing: return MakeListingPrinter();
    case ScanOutput::Summary: return MakeSummaryPrinter();
    case ScanOutput::Json: return MakeJsonPrinter();
    case ScanOutput::Csv: return MakeCsvPrinter();
    case ScanOutput::Bodyfile: return MakeBodyfilePrinter();
  }
  return MakeListingPrinter();
}

// These write each file as it is found, on a thread beside the scan; on a terminal, a progress
// line would be drawn between.
bool WritesWhileScanning(ScanOutput output) {
  return output == ScanOutput::Json || output == ScanOutput::Csv || output == ScanOutput::Bodyfile;
}

}  // namespace

int RunScan(const std::string& source, uint32_t partition, ScanOutput output, const FileFilter& filter, bool deep) {
  const std::optional<VolumeLocation> volume =
      deep ? ChooseVolumeToDeepScan(source, partition) : ChooseVolume(source, partition);
  if (!volume) return UsageOrSourceError;
  VolumeGeometry geometry;
  const bool writesWhileScanning = WritesWhileScanning(output);
  std::unique_ptr<ScanPrinter> printer = MakePrinter(output);
  if (writesWhileScanning) printer = std::make_unique<PipelinedPrinter>(std::move(printer));
  ScanCollector collector(filter, *printer, !(writesWhileScanning && ::isatty(STDOUT_FILENO) == 1));
  ScanSummary summary;
  CarvingOutcome carving;
  if (!CollectScan(*volume, geometry, collector, summary, deep, &carving)) return UsageOrSourceError;
  try {
    printer->Finish(summary);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return UsageOrSourceError;
  }
  // The summary's own lines; after the listing, beside it on stderr.
  if (deep && output == ScanOutput::Summary) PrintCarvingSummary(stdout, carving);
  if (deep && output == ScanOutput::Listing) PrintCarvingSummary(stderr, carving);
  if (summary.UnreadableRecords > 0 && output != ScanOutput::Summary) {
    std::fprintf(stderr, "%d records could not be read and were skipped.\n", summary.UnreadableRecords);
  }
  return AllWell;
}

}  // namespace salvoran::cli
