#pragma once

#include <memory>

#include "cli/ScanCollector.h"

namespace salvoran::cli {

// One of scan's outputs: takes the listed files as the scan finds them, and ends the output
// once the scan is over.
class ScanPrinter : public ListedFileSink {
 public:
  virtual void Finish(const ScanSummary& summary) = 0;
};

// The text listing, files grouped under their category (ScanListing.cpp).
std::unique_ptr<ScanPrinter> MakeListingPrinter();
// Records scanned and unreadable, and the count per category (ScanListing.cpp).
std::unique_ptr<ScanPrinter> MakeSummaryPrinter();
// --json (ScanJson.cpp).
std::unique_ptr<ScanPrinter> MakeJsonPrinter();
// --csv: a header row, then one row per file with the fields of --json, in its order
// (ScanExports.cpp).
std::unique_ptr<ScanPrinter> MakeCsvPrinter();
// --bodyfile: one line per file in The Sleuth Kit's body format, for mactime:
// MD5|name|inode|mode|UID|GID|size|atime|mtime|ctime|crtime, the times those of
// $STANDARD_INFORMATION in Unix seconds (ScanExports.cpp).
std::unique_ptr<ScanPrinter> MakeBodyfilePrinter();

}  // namespace salvoran::cli
