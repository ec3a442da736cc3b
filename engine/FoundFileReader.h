#pragma once

#include <memory>
#include <optional>

#include "engine/CachedVolume.h"
#include "engine/ClusterBitmap.h"
#include "engine/DeletedFileScan.h"
#include "engine/FileAttributes.h"
#include "engine/FileTime.h"
#include "engine/FoundRecord.h"
#include "engine/OriginalFolders.h"
#include "engine/VolumeRecordFetcher.h"
#include "engine/VolumeWindow.h"

namespace salvoran {

// Describes the files of one found MFT with the scan's own decoder, attribute walk, folder
// resolver and cluster count; only the records come from elsewhere: through the found MFT's map,
// from its volume's place in the source.
class FoundFileReader {
 public:
  FoundFileReader(VolumeSource& source, std::shared_ptr<const VolumeGeometry> geometry);

  struct Described {
    FoundFile File;
    // Nothing is missing that a record found later could still supply: the folder reaches the
    // root and every extension record the file's list names was there.
    bool Complete = false;
  };
  // The file the found record describes, when it passes the listing test. Reads the record again.
  std::optional<Described> Read(const FoundRecord& record);

 private:
  std::shared_ptr<const VolumeGeometry> geometry_;
  CachedVolume cached_;  // the found MFT's records lie together: read in large windows
  VolumeWindow volume_;
  VolumeRecordFetcher fetcher_;
  OriginalFolders folders_;
  ClusterBitmap bitmap_;
  FileAttributes attributes_;
  LocalTimeConverter localTime_;
  std::vector<std::byte> record_;
};

}  // namespace salvoran
