#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/FileFilter.h"

namespace salvoran::cli {

enum ExitStatus : int { AllWell = 0, SomeFilesFailed = 1, UsageOrSourceError = 2 };

// partition: a number from the source's partition table, or 0 when none was given.
// deep: also read the whole source for the NTFS volumes its boot sectors name.
int RunInfo(const std::string& source, uint32_t partition, bool deep);
int RunDrives();

enum class ScanOutput { Listing, Json, Summary, Csv, Bodyfile };
// deep: after the MFT, read the whole source for the records outside it (DeepScanDrive).
int RunScan(const std::string& source, uint32_t partition, ScanOutput output, const FileFilter& filter, bool deep);

struct RecoverOptions {
  std::string Source;
  uint32_t Partition = 0;
  std::vector<int64_t> Records;  // MFT record indexes; empty with All
  std::vector<std::string> Ids;  // ids from a listing (FileIdOf); empty with All
  std::string Stream;            // with Records: restore this named stream instead of the content
  bool All = false;
  bool Deep = false;  // with All: the files of a deep scan
  FileFilter Filter;  // with All: which of the files to restore
  std::string OutputFolder;
  bool Json = false;
  bool Force = false;
  bool KeepFolders = false;  // each file in its original folder below OutputFolder
  bool KeepGoing = false;    // bytes the source cannot give become zeros instead of failing the file
};
int RunRecover(const RecoverOptions& options);

struct CatOptions {
  std::string Source;
  uint32_t Partition = 0;
  // The file: an MFT record index, or an id from a listing: "r70", or a carved file's "c..."
  // (whose content is a range of the source, read without a scan).
  int64_t Record = 0;
  std::string Id;
  bool Deep = false;  // the source is read whole, as a deep scan reads it (a disk, not one partition)
  std::string Stream;  // this named stream instead of the content
  bool Force = false;  // binary content to a terminal too
};
int RunCat(const CatOptions& options);

}  // namespace salvoran::cli
