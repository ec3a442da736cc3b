#include "ui/model/KeyRadixSort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <string>

namespace salvoran {
namespace {

// Keys of zeros, 0xff and one letter, up to three chunks long: many equal keys, many that are
// others' beginnings, runs long enough to be sorted by passes at every depth.
TEST(KeyRadixSortTest, OrdersAsAStableSortOfTheBytesInBothDirections) {
  std::mt19937 random(3);
  const std::string alphabet("\0\xff" "a", 3);
  std::vector<std::string> texts(5000);
  for (std::string& text : texts) {
    const size_t length = random() % 26;
    for (size_t byte = 0; byte < length; ++byte) text.push_back(alphabet[random() % (byte < 12 ? 2 : 3)]);
  }
  const std::vector<std::string_view> keys(texts.begin(), texts.end());
  for (const bool descending : {false, true}) {
    std::vector<uint32_t> expected(keys.size());
    std::iota(expected.begin(), expected.end(), 0U);
    std::stable_sort(expected.begin(), expected.end(), [&](uint32_t a, uint32_t b) {
      return descending ? keys[b] < keys[a] : keys[a] < keys[b];
    });
    EXPECT_EQ(StableKeyOrder(keys, descending), expected) << "descending " << descending;
  }
}

}  // namespace
}  // namespace salvoran
