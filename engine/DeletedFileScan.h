#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/ByteView.h"
#include "engine/ClusterRun.h"
#include "engine/DeletedFileData.h"
#include "engine/FileAttributes.h"
#include "engine/FileCategory.h"
#include "engine/FileTime.h"
#include "engine/VolumeGeometry.h"
#include "engine/VolumeSource.h"

namespace salvoran {

inline constexpr int32_t FirstUserRecord = 16;
inline constexpr int32_t ProgressInterval = 256;

// A named $DATA stream beside a file's content.
struct NamedStream {
  std::u16string Name;
  uint64_t Size = 0;
};

struct FoundFile {
  int32_t RecordIndex = 0;
  FileCategory Category = FileCategory::Other;
  uint64_t CreateFileTime = 0;  // raw NTFS file times, UTC
  uint64_t ModifyFileTime = 0;
  uint64_t MftModifyFileTime = 0;
  uint64_t AccessFileTime = 0;
  TDeletedFileData Data;
  bool Encrypted = false;  // its content cannot be restored without the owner's key
  std::vector<NamedStream> Streams;
  // The folder it was deleted from, UTF-8 and "/"-separated: from the root ("/", "/Users/ann")
  // when the chain of folders is whole; the part known below a break, without a leading "/"
  // ("2019/holiday"); "" when not even the parent is known.
  std::string Folder;
  uint64_t Clusters = 0;             // its allocated clusters, holes not counted
  uint64_t OverwrittenClusters = 0;  // of those, how many the volume now marks in use
  uint64_t UnknownClusters = 0;      // of those, how many the volume's bitmap cannot say of
  std::vector<ClusterRun> Runs;      // those clusters, on its volume (the deep scan's carving leaves them alone)
  // Of a found file (Data.Origin): the geometry of the MFT it was found in, which its restore reads it through
  // (Data.RecordOffset is relative to that volume). Empty for a file of the MFT in use.
  std::shared_ptr<const VolumeGeometry> FoundIn;
};

// What a front end gives the scan: where found files go, progress, and the stop flag.
class ScanObserver {
 public:
  virtual ~ScanObserver() = default;
  // Once the opening phase has filled the geometry: the progress maximum is RecordCount.
  virtual void ScanStarted(const VolumeGeometry& geometry) = 0;
  // At every index that is a multiple of ProgressInterval, before that record is read. The GUI
  // moves its progress bar and handles pending events here.
  virtual void Progress(int32_t recordIndex) = 0;
  // Read before every record.
  virtual bool StopRequested() = 0;
  virtual void FileFound(FoundFile&& file) = 0;
  // The deep scan's read of the whole source: once before it, with the source's size (0 when
  // unknown); then after each block, the bytes read and the files found so far.
  virtual void DeepPassStarted(uint64_t /*sourceBytes*/) {}
  virtual void DeepPassProgress(uint64_t /*bytesRead*/, uint64_t /*filesFound*/) {}
};

struct ScanSummary {
  int32_t RecordsScanned = 0;     // records from FirstUserRecord that were looked at
  int32_t UnreadableRecords = 0;  // records that could not be read in full and were skipped
  bool Stopped = false;
};

// The listing test on a record whose fixups are applied: a base record with times, a long name and
// the file's own data, wherever its attribute list puts them. Fills all of file but
// Data.RecordOffset, the folder and the clusters; attributes keeps what was gathered.
bool DescribeFileRecord(ByteView record, int32_t index, FileState state, RecordFetcher& fetcher,
                        FileAttributes& attributes, LocalTimeConverter& localTime, FoundFile& file);

// The opening phase and the record loop on a volume already open. Throws EngineError.
ScanSummary ScanOpenVolume(VolumeSource& volume, VolumeGeometry& geometry, ScanObserver& observer);

// The deleted files that chosen records describe, when they pass the listing test. Reads just
// those records, so restoring a few known records needs no scan of the whole MFT; the folders
// resolved and the bitmap read serve every record asked of one reader.
class DeletedFileReader {
 public:
  DeletedFileReader(VolumeSource& volume, const VolumeGeometry& geometry);
  ~DeletedFileReader();
  DeletedFileReader(const DeletedFileReader&) = delete;
  DeletedFileReader& operator=(const DeletedFileReader&) = delete;

  std::optional<FoundFile> Read(int64_t index);

 private:
  struct Parts;
  std::unique_ptr<Parts> parts_;
  const VolumeGeometry& geometry_;
};

// Opens geometry.DrivePath = location and scans it. Throws EngineError with the user's message.
ScanSummary ScanDrive(const VolumeLocation& location, VolumeGeometry& geometry, ScanObserver& observer);

}  // namespace salvoran
