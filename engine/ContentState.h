#pragma once

#include <cstdint>
#include <string_view>

namespace salvoran {

// How much of a deleted file's content other files have taken since, from its cluster counts.
enum class ContentState { Good, PartlyOverwritten, Overwritten, Unknown };

// Good when no cluster is in use (a resident file has none), Overwritten when all are; Unknown
// when none is known to be in use but the bitmap cannot say of some (past its end, or of a cut
// image): such a file may or may not come back whole.
ContentState ContentStateOf(uint64_t clusters, uint64_t overwrittenClusters, uint64_t unknownClusters = 0);

// "Good", "Partly overwritten", "Overwritten", "Unknown", from the string table.
std::string_view ContentStateCaption(ContentState state);

}  // namespace salvoran
