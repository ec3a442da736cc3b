#include "engine/carving/CarvedFile.h"

namespace salvoran::carving {

std::string_view DropReasonText(DropReason reason) {
  switch (reason) {
    case DropReason::EndNotFound:
      return "end not found";
    case DropReason::StructureBroken:
      return "structure broken";
    case DropReason::RunsIntoClustersInUse:
      return "runs into clusters in use";
    case DropReason::TooManyOpen:
      return "too many candidates at once";
    case DropReason::InsideCarvedFile:
      return "inside another carved file";
    case DropReason::ClaimedByListedFile:
      return "clusters claimed by a listed file";
  }
  return "";
}

void DropCounts::Add(std::string_view type, DropReason reason) {
  auto found = ByType.find(type);
  if (found == ByType.end()) found = ByType.emplace(std::string(type), std::array<uint64_t, DropReasonCount>{}).first;
  ++found->second[static_cast<size_t>(reason)];
}

uint64_t DropCounts::Count(std::string_view type, DropReason reason) const {
  const auto found = ByType.find(type);
  return found == ByType.end() ? 0 : found->second[static_cast<size_t>(reason)];
}

uint64_t DropCounts::Total(DropReason reason) const {
  uint64_t total = 0;
  for (const auto& [type, counts] : ByType) total += counts[static_cast<size_t>(reason)];
  return total;
}

}  // namespace salvoran::carving
