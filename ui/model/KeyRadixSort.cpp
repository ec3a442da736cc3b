#include "ui/model/KeyRadixSort.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <utility>

namespace salvoran {
namespace {

constexpr size_t ChunkBytes = 8;
constexpr unsigned BitsPerByte = 8;
constexpr size_t Radix = 256;
// A key with more bytes than the chunk holds; its order among equal chunks is decided further on.
constexpr uint8_t LongerThanChunk = ChunkBytes + 1;
// The chunk's length, then its bytes from the last to the first.
constexpr size_t DigitCount = ChunkBytes + 1;
// Below this, sorting by comparisons costs less than counting the passes' digits.
constexpr size_t SmallRun = 64;

struct Item {
  uint64_t Chunk;  // eight bytes of the key from the run's depth, big-endian, zero-padded
  uint32_t Index;
  uint8_t Length;  // of the key from the run's depth, at most LongerThanChunk
};

class KeySorter {
 public:
  KeySorter(const std::vector<std::string_view>& keys, bool descending)
      : keys_(keys), descending_(descending), items_(keys.size()), scratch_(keys.size()) {
    for (size_t index = 0; index < keys.size(); ++index) items_[index].Index = static_cast<uint32_t>(index);
  }

  std::vector<uint32_t> Order() {
    SortRun(0, items_.size(), 0);
    std::vector<uint32_t> order(items_.size());
    std::transform(items_.begin(), items_.end(), order.begin(), [](const Item& item) { return item.Index; });
    return order;
  }

 private:
  // Zero padding keeps the order, since the length is a digit of its own: a key that ends inside
  // the chunk goes before one that goes on with zeros.
  void LoadChunk(Item& item, size_t depth) const {
    const std::string_view rest = keys_[item.Index].substr(depth);
    uint64_t chunk = 0;
    for (size_t byte = 0; byte < ChunkBytes; ++byte) {
      chunk = (chunk << BitsPerByte) | (byte < rest.size() ? static_cast<unsigned char>(rest[byte]) : 0U);
    }
    item.Chunk = chunk;
    item.Length = static_cast<uint8_t>(std::min<size_t>(rest.size(), LongerThanChunk));
  }

  uint8_t Digit(const Item& item, size_t digit) const {
    const uint8_t value =
        digit == 0 ? item.Length : static_cast<uint8_t>(item.Chunk >> ((digit - 1) * BitsPerByte));
    return descending_ ? static_cast<uint8_t>(~value) : value;
  }

  bool Before(const Item& a, const Item& b, size_t depth) const {
    const std::string_view restA = keys_[a.Index].substr(depth);
    const std::string_view restB = keys_[b.Index].substr(depth);
    return descending_ ? restB < restA : restA < restB;
  }

  // Items first to first + count all share the key's bytes before depth.
  void SortRun(size_t first, size_t count, size_t depth) {
    Item* items = items_.data() + first;
    if (count < SmallRun) {
      std::stable_sort(items, items + count, [&](const Item& a, const Item& b) { return Before(a, b, depth); });
      return;
    }
    std::array<std::array<uint32_t, Radix>, DigitCount>& counts = counts_;
    counts = {};
    for (size_t at = 0; at < count; ++at) {
      LoadChunk(items[at], depth);
      for (size_t digit = 0; digit < DigitCount; ++digit) ++counts[digit][Digit(items[at], digit)];
    }
    // Least significant digit first; each pass is stable, so earlier passes decide ties of later ones.
    Item* from = items;
    Item* to = scratch_.data() + first;
    for (size_t digit = 0; digit < DigitCount; ++digit) {
      std::array<uint32_t, Radix>& places = counts[digit];
      if (places[Digit(from[0], digit)] == count) continue;  // all alike: the pass would change nothing
      uint32_t place = 0;
      for (uint32_t& bucket : places) place += std::exchange(bucket, place);
      for (size_t at = 0; at < count; ++at) to[places[Digit(from[at], digit)]++] = from[at];
      std::swap(from, to);
    }
    if (from != items) std::copy(from, from + count, items);

    for (size_t start = 0; start < count;) {
      size_t end = start + 1;
      while (end < count && items[end].Chunk == items[start].Chunk && items[end].Length == items[start].Length) ++end;
      if (items[start].Length == LongerThanChunk && end - start > 1) SortRun(first + start, end - start, depth + ChunkBytes);
      start = end;
    }
  }

  const std::vector<std::string_view>& keys_;
  bool descending_;
  std::vector<Item> items_;
  std::vector<Item> scratch_;
  // One set for all depths: a run's counts are done with before its shorter runs are sorted, and
  // names may be long enough for a deep recursion.
  std::array<std::array<uint32_t, Radix>, DigitCount> counts_{};
};

}  // namespace

std::vector<uint32_t> StableKeyOrder(const std::vector<std::string_view>& keys, bool descending) {
  if (keys.size() > UINT32_MAX) throw std::length_error("too many keys to sort");
  return KeySorter(keys, descending).Order();
}

}  // namespace salvoran
