#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "engine/DateTime.h"

namespace salvoran::carving {

// A file found by its content, whose structure held from its start to its end.
struct CarvedFile {
  uint64_t SourceOffset = 0;                 // its first byte in the source
  uint64_t Length = 0;                       // from its own structure
  uint64_t FirstCluster = 0;                 // of the carved area (sectors where no cluster size is known)
  std::string Extension;                     // "jpg", "docx", ... as the content says
  std::string Name;                          // "carved-00012345.jpg", or with the photo's date
  std::optional<CivilDateTime> ContentTime;  // local time the content carries (EXIF)
};

enum class DropReason {
  EndNotFound,            // no end within the bound for its type, or before the source ended
  StructureBroken,        // the format's check failed
  RunsIntoClustersInUse,  // its end lies past a cluster the volume marks in use
  TooManyOpen,            // more candidates at once than the carver follows
  InsideCarvedFile,       // it lies inside another carved file (a thumbnail, an embedded image)
  ClaimedByListedFile,    // a file the scan lists already claims its clusters
};
inline constexpr size_t DropReasonCount = 6;

// "end not found", ... for summaries.
std::string_view DropReasonText(DropReason reason);

// Candidates dropped, by type (the extension as far as known) and reason.
struct DropCounts {
  std::map<std::string, std::array<uint64_t, DropReasonCount>, std::less<>> ByType;
  void Add(std::string_view type, DropReason reason);
  uint64_t Count(std::string_view type, DropReason reason) const;
  uint64_t Total(DropReason reason) const;
};

}  // namespace salvoran::carving
