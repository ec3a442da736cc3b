#pragma once

#include <QString>
#include <cstdint>
#include <string>

#include "engine/VolumeGeometry.h"
#include "recovery/ListedFileContent.h"
#include "ui/model/ClusterUse.h"
#include "ui/model/ResultTree.h"

namespace salvoran {

// What the preview shows of a listed file, copied out of the list when the file is selected, so
// that reading it elsewhere never touches the list.
struct PreviewFile {
  std::u16string Name;
  std::string Folder;
  int64_t Size = 0;
  ClusterUse Clusters;
  QString Origin;  // where the scan found it: "MFT record 70"
  ListedFileRef Content;
  VolumeGeometry Volume;  // the volume the file's record belongs to: the scan's, or the one it was found in
};

// The preview of a file node of the result tree; volume is the one its record belongs to.
PreviewFile PreviewFileOf(const ResultNode& node, const VolumeGeometry& volume);

}  // namespace salvoran
