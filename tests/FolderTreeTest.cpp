// The folders of the text listing, kept once per level.
#include "cli/FolderTree.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace salvoran::cli {
namespace {

TEST(FolderTreeTest, GivesBackEveryFolderTextAsItCame) {
  const std::vector<std::string> folders = {"/Users/ann/Pictures", "/Users/ann", "/", "", "Pictures/2019",
                                            "Pictures", "/Users/bob/Pictures", "a//b", "/a/", "//", "/Users/ann"};
  FolderTree tree(size_t{1} << 20);
  std::vector<FolderTree::Id> ids;
  for (const std::string& folder : folders) ids.push_back(tree.Add(folder));
  for (size_t i = 0; i < folders.size(); ++i) EXPECT_EQ(tree.Text(ids[i]), folders[i]);
  EXPECT_EQ(ids[1], ids.back());
  EXPECT_NE(tree.Add("/Pictures"), ids[5]) << "a whole chain is not the rest of a broken one";
}

TEST(FolderTreeTest, AFullTreeKeepsTheFoldersItHasAndTakesNoMore) {
  FolderTree tree(1);
  const FolderTree::Id first = tree.Add("/a");
  EXPECT_NE(first, FolderTree::NotKept);
  EXPECT_EQ(tree.Add("/b"), FolderTree::NotKept);
  EXPECT_EQ(tree.Add("/a/c"), FolderTree::NotKept);
  EXPECT_EQ(tree.Add("/a"), first);
  EXPECT_EQ(tree.Add("/"), tree.Add("/"));
  EXPECT_EQ(tree.Text(tree.Add("")), "");
}

}  // namespace
}  // namespace salvoran::cli
