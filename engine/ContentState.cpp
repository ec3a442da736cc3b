#include "engine/ContentState.h"

#include "support/StringTable.h"

namespace salvoran {

ContentState ContentStateOf(uint64_t clusters, uint64_t overwrittenClusters, uint64_t unknownClusters) {
  if (overwrittenClusters == 0) return unknownClusters == 0 ? ContentState::Good : ContentState::Unknown;
  return overwrittenClusters >= clusters ? ContentState::Overwritten : ContentState::PartlyOverwritten;
}

std::string_view ContentStateCaption(ContentState state) {
  switch (state) {
    case ContentState::Good: return strings::GoodStateCaption;
    case ContentState::PartlyOverwritten: return strings::PartlyOverwrittenStateCaption;
    case ContentState::Overwritten: return strings::OverwrittenStateCaption;
    case ContentState::Unknown: return strings::UnknownStateCaption;
  }
  return {};
}

}  // namespace salvoran
