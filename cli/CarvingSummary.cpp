#include "cli/CarvingSummary.h"

#include <string>

namespace salvoran::cli {

void PrintCarvingSummary(std::FILE* out, const CarvingOutcome& outcome) {
  std::fprintf(out, "%-22s%llu\n", "Carved files:", static_cast<unsigned long long>(outcome.Listed));
  for (const auto& [type, counts] : outcome.Dropped.ByType) {
    std::string reasons;
    for (size_t reason = 0; reason < carving::DropReasonCount; ++reason) {
      if (counts[reason] == 0) continue;
      if (!reasons.empty()) reasons += ", ";
      reasons += std::to_string(counts[reason]) + " " +
                 std::string(carving::DropReasonText(static_cast<carving::DropReason>(reason)));
    }
    if (!reasons.empty()) std::fprintf(out, "%-22s%s\n", ("Carving dropped " + type + ":").c_str(), reasons.c_str());
  }
}

}  // namespace salvoran::cli
