#pragma once

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

namespace salvoran {

// Far enough ahead to cover a fetch from memory, near enough to be in cache when reached.
inline constexpr size_t LookAheadDistance = 6;
// A walk over a list of sorted siblings does little with each node, so it fetches further ahead.
inline constexpr size_t NodeWalkLookAhead = 24;

struct NoLookAhead {
  template <typename T>
  void operator()(const T&) const {}
};

// Bottom-up merge sort. When two runs are merged, the head of the left run goes first unless
// takeRight(leftHead, rightHead) says otherwise, so elements it does not separate keep their
// order. Unlike std::stable_sort this is well defined for any takeRight, including one whose
// "equal" is not transitive (times equal within half a day). buffer is scratch space, kept by
// the caller so that sorting list after list allocates it once. lookAhead hears of elements a few
// steps before the merge reaches them, so that what takeRight reads through them can be fetched
// from memory meanwhile.
template <typename T, typename TakeRight, typename LookAhead = NoLookAhead>
void StableMergeSort(std::vector<T>& items, std::vector<T>& buffer, TakeRight takeRight, LookAhead lookAhead = {}) {
  const size_t count = items.size();
  if (count < 2) return;
  buffer.resize(count);
  T* from = items.data();
  T* to = buffer.data();
  for (size_t width = 1; width < count; width *= 2) {
    for (size_t low = 0; low < count; low += 2 * width) {
      const size_t middle = std::min(low + width, count);
      const size_t high = std::min(middle + width, count);
      size_t left = low;
      size_t right = middle;
      size_t out = low;
      while (left < middle && right < high) {
        if (left + LookAheadDistance < middle) lookAhead(from[left + LookAheadDistance]);
        if (right + LookAheadDistance < high) lookAhead(from[right + LookAheadDistance]);
        to[out++] = takeRight(from[left], from[right]) ? std::move(from[right++]) : std::move(from[left++]);
      }
      out = std::move(from + left, from + middle, to + out) - to;
      std::move(from + right, from + high, to + out);
    }
    std::swap(from, to);
  }
  if (from != items.data()) items.swap(buffer);
}

}  // namespace salvoran
