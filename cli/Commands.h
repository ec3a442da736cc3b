#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace salvoran::cli {

enum ExitStatus : int { AllWell = 0, SomeFilesFailed = 1, UsageOrSourceError = 2 };

int RunInfo(const std::string& source);
int RunDrives();

enum class ScanOutput { Listing, Json, Summary };
int RunScan(const std::string& source, ScanOutput output);

struct RecoverOptions {
  std::string Source;
  std::vector<int64_t> Records;  // MFT record indexes; empty with All
  std::string Stream;            // with Records: restore this named stream instead of the content
  bool All = false;
  std::string OutputFolder;
  bool Json = false;
  bool Force = false;
};
int RunRecover(const RecoverOptions& options);

}  // namespace salvoran::cli
