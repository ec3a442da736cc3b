#pragma once

#include <cstdint>
#include <string_view>

namespace salvoran {

// How much of a deleted file's content other files have taken since, from its cluster counts.
enum class ContentState { Good, PartlyOverwritten, Overwritten };

// Good when no cluster is in use (a resident file has none), Overwritten when all are.
ContentState ContentStateOf(uint64_t clusters, uint64_t overwrittenClusters);

// "Good", "Partly overwritten", "Overwritten", from the string table.
std::string_view ContentStateCaption(ContentState state);

}  // namespace salvoran
