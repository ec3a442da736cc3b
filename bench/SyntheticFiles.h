#pragma once

#include <array>
#include <cstddef>
#include <random>
#include <string>
#include <vector>

#include "ui/model/ResultTree.h"

namespace salvoran::bench {

inline constexpr size_t CategoryCount = 6;
using CategoryRoots = std::array<ResultNode*, CategoryCount>;

// The six category roots at the top of a tree, with tri-state check boxes, as a scan makes them.
CategoryRoots AddCategoryRoots(ResultTree& tree);

// Found files as a large volume holds them: in random categories, with names, times and sizes
// at random, in 20,000 folders that share long beginnings, one in eight partly overwritten and
// one in eight wholly. The same seed makes the same files.
class SyntheticFiles {
 public:
  SyntheticFiles();

  // Appends one file under one of the roots.
  ResultNode* Add(ResultTree& tree, const CategoryRoots& roots);
  // The bytes the names and extensions of the files made so far take.
  size_t NameBytes() const { return nameBytes_; }

 private:
  std::mt19937_64 random_;
  std::vector<std::string> folders_;
  size_t nameBytes_ = 0;
};

}  // namespace salvoran::bench
