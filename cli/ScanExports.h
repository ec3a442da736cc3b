#pragma once

#include <vector>

#include "engine/DeletedFileScan.h"

namespace salvoran::cli {

// scan --csv: a header row, then one row per file with the fields of --json, in its order.
void PrintCsv(const std::vector<FoundFile>& files);

// scan --bodyfile: one line per file in The Sleuth Kit's body format, for mactime:
// MD5|name|inode|mode|UID|GID|size|atime|mtime|ctime|crtime, the times those of
// $STANDARD_INFORMATION in Unix seconds.
void PrintBodyfile(const std::vector<FoundFile>& files);

}  // namespace salvoran::cli
