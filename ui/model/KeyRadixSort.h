#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace salvoran {

// Returns the indexes of keys in the order a stable sort of the keys gives: bytes compared
// unsigned, a key that is another's beginning first; descending reverses that, equal keys still
// in their given order. Eight bytes at a time by radix passes, so a million keys cost a few passes
// over memory instead of twenty rounds of comparisons that each reach into the keys.
std::vector<uint32_t> StableKeyOrder(const std::vector<std::string_view>& keys, bool descending);

}  // namespace salvoran
