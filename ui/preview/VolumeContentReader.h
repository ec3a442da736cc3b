#pragma once

#include <QByteArray>
#include <atomic>
#include <cstdint>
#include <memory>

#include "engine/VolumeLocation.h"
#include "engine/VolumeSource.h"
#include "ui/preview/PreviewFile.h"

namespace salvoran {

// The preview's reader of listed files (a PreviewContentReader): through the content path of a
// restore, cut to the bytes asked for. Keeps the last volume open, since the user looks at one
// file after another of it. Used on the preview's thread only.
class VolumeContentReader {
 public:
  QByteArray operator()(const PreviewFile& file, uint64_t firstKept, uint64_t end, const std::atomic<bool>& cancelled);

 private:
  VolumeSource& VolumeOf(const VolumeLocation& location);

  std::shared_ptr<VolumeSource> volume_;  // shared: a reader is copied into a std::function
  VolumeLocation location_;
};

}  // namespace salvoran
