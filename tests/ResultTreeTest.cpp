#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "ui/model/CheckState.h"
#include "ui/model/ResultTree.h"

namespace salvoran {
namespace {

constexpr std::array<std::u16string_view, 6> RootCaptions = {u"Graphics Files", u"Music Files", u"Video Files",
                                                             u"Document Files", u"HTML Files",  u"Other Files"};
constexpr int SizeColumn = 3;

// Orders by FileSize; the other columns find every node equal.
int CompareSizes(const ResultNode& a, const ResultNode& b, int column) {
  if (column != SizeColumn) return 0;
  return (a.Data().FileSize > b.Data().FileSize) - (a.Data().FileSize < b.Data().FileSize);
}

// The tree as the program makes it: six category roots, every node a tri-state check box.
class ResultTreeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (std::u16string_view caption : RootCaptions) {
      roots_.push_back(Add(nullptr));
      tree_.NodeData(roots_.back())->FileName = caption;
    }
  }

  ResultNode* Add(ResultNode* parent, int64_t size = 0) {
    ResultNode* node = tree_.AddChild(parent);
    tree_.SetCheckType(node, ctTriStateCheckBox);
    tree_.NodeData(node)->FileSize = size;
    return node;
  }

  std::vector<ResultNode*> AddFiles(ResultNode* parent, size_t count) {
    std::vector<ResultNode*> files;
    for (size_t index = 0; index < count; ++index) files.push_back(Add(parent, static_cast<int64_t>(index)));
    return files;
  }

  void Click(ResultNode* node) {
    tree_.SetCheckState(node, NextCheckStateOfClick(tree_.CheckType(node), tree_.CheckState(node)));
  }

  std::vector<ResultNode*> PreOrder() const {
    std::vector<ResultNode*> order;
    for (ResultNode* node = tree_.FirstNode(); node != nullptr; node = tree_.NextNode(node)) order.push_back(node);
    return order;
  }

  std::vector<ResultNode*> InCheckState(TCheckState state) const {
    std::vector<ResultNode*> found;
    for (ResultNode* node = tree_.FirstNodeInCheckState(state); node != nullptr;
         node = tree_.NextNodeInCheckState(node, state)) {
      found.push_back(node);
    }
    return found;
  }

  std::vector<ResultNode*> ChildrenOf(const ResultNode* parent) const {
    std::vector<ResultNode*> children;
    for (size_t row = 0; row < tree_.ChildCount(parent); ++row) children.push_back(tree_.Child(parent, row));
    return children;
  }

  ResultTree tree_;
  std::vector<ResultNode*> roots_;
};

TEST_F(ResultTreeTest, SixEmptyRootsMakeSixNodesStartingWithTheFirstRoot) {
  EXPECT_EQ(tree_.TotalCount(), 6u);
  EXPECT_EQ(tree_.FirstNode(), roots_[0]);
  EXPECT_EQ(PreOrder(), roots_);
  EXPECT_EQ(ChildrenOf(nullptr), roots_);
  for (size_t row = 0; row < roots_.size(); ++row) {
    EXPECT_EQ(tree_.Row(roots_[row]), row);
    EXPECT_EQ(tree_.Level(roots_[row]), 0);
    EXPECT_EQ(tree_.Parent(roots_[row]), nullptr);
  }
}

TEST_F(ResultTreeTest, AddsEachChildLastWithAZeroedUncheckedDataBlock) {
  const std::vector<ResultNode*> files = AddFiles(roots_[2], 3);
  ResultNode* bare = tree_.AddChild(roots_[2]);
  EXPECT_EQ(ChildrenOf(roots_[2]), (std::vector<ResultNode*>{files[0], files[1], files[2], bare}));
  EXPECT_EQ(tree_.Row(bare), 3u);
  EXPECT_EQ(tree_.Parent(bare), roots_[2]);
  EXPECT_EQ(tree_.Level(bare), 1);
  EXPECT_EQ(tree_.TotalCount(), 10u);
  EXPECT_EQ(tree_.Child(roots_[2], 4), nullptr);
  EXPECT_EQ(tree_.CheckType(bare), ctNone);
  EXPECT_EQ(tree_.CheckState(bare), csUncheckedNormal);
  const TDeletedFileData& data = *tree_.NodeData(bare);
  EXPECT_TRUE(data.FileName.empty());
  EXPECT_TRUE(data.Extension.empty());
  EXPECT_EQ(data.CreateTime, 0);
  EXPECT_EQ(data.ModifyTime, 0);
  EXPECT_EQ(data.FileSize, 0);
  EXPECT_EQ(data.RecordOffset, 0);
  EXPECT_EQ(data.IsFileEntry, 0);
}

TEST_F(ResultTreeTest, NoNodeHasNoDataAndNoParent) {
  EXPECT_EQ(tree_.NodeData(nullptr), nullptr);
  EXPECT_EQ(tree_.Parent(nullptr), nullptr);
  EXPECT_EQ(tree_.Level(nullptr), -1);
  EXPECT_EQ(tree_.NextNode(nullptr), nullptr);
  EXPECT_FALSE(tree_.SetCheckState(nullptr, csCheckedNormal));
}

TEST_F(ResultTreeTest, NextNodeVisitsChildrenOfCollapsedNodesInPreOrder) {
  ResultNode* folder = Add(roots_[0]);
  ResultNode* deepFile = Add(folder);
  ResultNode* file = Add(roots_[0]);
  ResultNode* lastFile = Add(roots_[5]);
  tree_.SetExpanded(roots_[5], true);
  EXPECT_EQ(PreOrder(), (std::vector<ResultNode*>{roots_[0], folder, deepFile, file, roots_[1], roots_[2], roots_[3],
                                                  roots_[4], roots_[5], lastFile}));
  EXPECT_EQ(tree_.Level(deepFile), 2);
}

TEST_F(ResultTreeTest, TickingTheOnlyFileChecksItsRoot) {
  ResultNode* file = Add(roots_[1]);
  Click(file);
  EXPECT_EQ(tree_.CheckState(file), csCheckedNormal);
  EXPECT_EQ(tree_.CheckState(roots_[1]), csCheckedNormal);
  EXPECT_EQ(tree_.CheckState(roots_[0]), csUncheckedNormal);
}

TEST_F(ResultTreeTest, TickingOneOfTwoFilesMixesTheRootAndOnlyTheFileIsFoundChecked) {
  const std::vector<ResultNode*> files = AddFiles(roots_[0], 2);
  Click(files[1]);
  EXPECT_EQ(tree_.CheckState(roots_[0]), csMixedNormal);
  EXPECT_EQ(InCheckState(csCheckedNormal), std::vector<ResultNode*>{files[1]});
  EXPECT_EQ(InCheckState(csMixedNormal), std::vector<ResultNode*>{roots_[0]});
  EXPECT_EQ(tree_.CountInCheckState(csCheckedNormal), 1u);
}

TEST_F(ResultTreeTest, TickingACategoryOfThreeFilesChecksFourNodes) {
  const std::vector<ResultNode*> files = AddFiles(roots_[3], 3);
  Click(roots_[3]);
  EXPECT_EQ(tree_.CountInCheckState(csCheckedNormal), 4u);
  EXPECT_EQ(InCheckState(csCheckedNormal), (std::vector<ResultNode*>{roots_[3], files[0], files[1], files[2]}));
  EXPECT_EQ(tree_.CountInCheckState(csUncheckedNormal), 5u);
}

TEST_F(ResultTreeTest, UntickingAFullRootUnticksEveryFile) {
  const std::vector<ResultNode*> files = AddFiles(roots_[0], 3);
  for (ResultNode* file : files) Click(file);
  ASSERT_EQ(tree_.CheckState(roots_[0]), csCheckedNormal);
  Click(roots_[0]);
  EXPECT_EQ(tree_.CheckState(roots_[0]), csUncheckedNormal);
  for (ResultNode* file : files) EXPECT_EQ(tree_.CheckState(file), csUncheckedNormal);
  EXPECT_EQ(tree_.CountInCheckState(csUncheckedNormal), tree_.TotalCount());
}

TEST_F(ResultTreeTest, ClickingAMixedRootChecksItWithAllItsFiles) {
  const std::vector<ResultNode*> files = AddFiles(roots_[4], 3);
  Click(files[0]);
  ASSERT_EQ(tree_.CheckState(roots_[4]), csMixedNormal);
  Click(roots_[4]);
  EXPECT_EQ(tree_.CheckState(roots_[4]), csCheckedNormal);
  for (ResultNode* file : files) EXPECT_EQ(tree_.CheckState(file), csCheckedNormal);
}

TEST_F(ResultTreeTest, TheRootFollowsItsFilesFromNoneToSomeToAll) {
  const std::vector<ResultNode*> files = AddFiles(roots_[0], 2);
  Click(files[0]);
  EXPECT_EQ(tree_.CheckState(roots_[0]), csMixedNormal);
  Click(files[1]);
  EXPECT_EQ(tree_.CheckState(roots_[0]), csCheckedNormal);
  Click(files[0]);
  EXPECT_EQ(tree_.CheckState(roots_[0]), csMixedNormal);
  EXPECT_EQ(tree_.CheckState(files[1]), csCheckedNormal);
  Click(files[1]);
  EXPECT_EQ(tree_.CheckState(roots_[0]), csUncheckedNormal);
}

TEST_F(ResultTreeTest, ARootWithoutFilesIsTickedAndUntickedByItself) {
  Click(roots_[2]);
  EXPECT_EQ(tree_.CheckState(roots_[2]), csCheckedNormal);
  Click(roots_[2]);
  EXPECT_EQ(tree_.CheckState(roots_[2]), csUncheckedNormal);
}

TEST_F(ResultTreeTest, ChildrenWithoutCheckBoxesAreNeitherChangedNorCounted) {
  ResultNode* file = Add(roots_[0]);
  ResultNode* plain = Add(roots_[0]);
  ResultNode* button = Add(roots_[0]);
  tree_.SetCheckType(plain, ctNone);
  tree_.SetCheckType(button, ctButton);
  Click(roots_[0]);
  EXPECT_EQ(tree_.CheckState(file), csCheckedNormal);
  EXPECT_EQ(tree_.CheckState(plain), csUncheckedNormal);
  EXPECT_EQ(tree_.CheckState(button), csUncheckedNormal);
  EXPECT_EQ(tree_.CheckState(roots_[0]), csCheckedNormal);
}

TEST_F(ResultTreeTest, AChildWithoutACheckBoxDoesNotCountForItsParent) {
  Add(roots_[0]);
  ResultNode* plain = Add(roots_[0]);
  tree_.SetCheckType(plain, ctNone);
  tree_.SetCheckState(plain, csCheckedNormal);
  EXPECT_EQ(tree_.CheckState(plain), csCheckedNormal);
  EXPECT_EQ(tree_.CheckState(roots_[0]), csUncheckedNormal);
}

TEST_F(ResultTreeTest, ATickClimbsThroughEveryTriStateLevelToTheTop) {
  ResultNode* folder = Add(roots_[0]);
  ResultNode* file = Add(folder);
  ResultNode* sibling = Add(roots_[0]);
  Click(file);
  EXPECT_EQ(tree_.CheckState(folder), csCheckedNormal);
  EXPECT_EQ(tree_.CheckState(roots_[0]), csMixedNormal);
  Click(sibling);
  EXPECT_EQ(tree_.CheckState(roots_[0]), csCheckedNormal);
  Click(roots_[0]);
  EXPECT_EQ(tree_.CheckState(file), csUncheckedNormal);
  EXPECT_EQ(tree_.CheckState(folder), csUncheckedNormal);
}

TEST_F(ResultTreeTest, APlainCheckBoxParentDoesNotFollowItsChildren) {
  tree_.SetCheckType(roots_[0], ctCheckBox);
  ResultNode* file = Add(roots_[0]);
  Click(file);
  EXPECT_EQ(tree_.CheckState(roots_[0]), csUncheckedNormal);
  Click(roots_[0]);
  EXPECT_EQ(tree_.CheckState(roots_[0]), csCheckedNormal);
  EXPECT_EQ(tree_.CheckState(file), csCheckedNormal);
}

// A plain check box does not follow its children, so one left unchecked can hold a ticked file;
// unticking the category must still reach that file.
TEST_F(ResultTreeTest, AStateGoesDownThroughChildrenAlreadyInIt) {
  ResultNode* plain = Add(roots_[0]);
  tree_.SetCheckType(plain, ctCheckBox);
  ResultNode* file = Add(plain);
  Click(file);
  ASSERT_EQ(tree_.CheckState(plain), csUncheckedNormal);
  ASSERT_EQ(tree_.CheckState(roots_[0]), csUncheckedNormal);
  tree_.SetCheckState(roots_[0], csUncheckedNormal);
  EXPECT_EQ(tree_.CheckState(file), csUncheckedNormal);
}

TEST_F(ResultTreeTest, TheSearchIsForTheExactState) {
  const std::vector<ResultNode*> files = AddFiles(roots_[0], 2);
  ResultNode* pressed = Add(roots_[1]);
  tree_.SetCheckState(files[0], csCheckedNormal);
  tree_.SetCheckState(pressed, csCheckedPressed);
  // A pressed tick still counts as ticked for the parent.
  EXPECT_EQ(tree_.CheckState(roots_[1]), csCheckedNormal);
  EXPECT_EQ(InCheckState(csCheckedNormal), (std::vector<ResultNode*>{files[0], roots_[1]}));
  EXPECT_EQ(InCheckState(csCheckedPressed), std::vector<ResultNode*>{pressed});
  EXPECT_EQ(InCheckState(csMixedNormal), std::vector<ResultNode*>{roots_[0]});
  EXPECT_TRUE(InCheckState(csMixedPressed).empty());
}

TEST_F(ResultTreeTest, FirstAndNextCheckedFollowChangesMadeBetweenSteps) {
  const std::vector<ResultNode*> files = AddFiles(roots_[0], 4);
  Click(files[1]);
  Click(files[2]);
  ResultNode* found = tree_.FirstNodeInCheckState(csCheckedNormal);
  ASSERT_EQ(found, files[1]);
  Click(files[2]);
  Click(files[3]);
  found = tree_.NextNodeInCheckState(found, csCheckedNormal);
  EXPECT_EQ(found, files[3]);
  Click(files[0]);
  EXPECT_EQ(tree_.NextNodeInCheckState(found, csCheckedNormal), nullptr);
  EXPECT_EQ(tree_.FirstNodeInCheckState(csCheckedNormal), files[0]);
}

TEST_F(ResultTreeTest, TheHandlerHearsOfEveryNodeWhoseStateChanges) {
  const std::vector<ResultNode*> files = AddFiles(roots_[0], 3);
  Click(files[0]);
  std::vector<ResultNode*> changed;
  tree_.SetCheckStateChangedHandler([&](ResultNode& node) { changed.push_back(&node); });
  Click(roots_[0]);
  EXPECT_EQ(changed, (std::vector<ResultNode*>{files[1], files[2], roots_[0]}));
}

// Random clicks on a three-level tree: every tri-state parent must end as the rule derives it
// from its children, and the counts kept per state must match a walk over the tree.
TEST_F(ResultTreeTest, RandomClicksKeepParentsAndCountsInStep) {
  std::mt19937 random(7);
  std::vector<ResultNode*> all(roots_);
  for (ResultNode* root : roots_) {
    for (int folderIndex = 0; folderIndex < 3; ++folderIndex) {
      ResultNode* folder = Add(root);
      all.push_back(folder);
      for (ResultNode* file : AddFiles(folder, random() % 4)) all.push_back(file);
    }
  }
  std::uniform_int_distribution<size_t> pick(0, all.size() - 1);
  for (int click = 0; click < 2000; ++click) {
    Click(all[pick(random)]);
    for (ResultNode* node : all) {
      const std::vector<ResultNode*> children = ChildrenOf(node);
      if (children.empty()) continue;
      const auto checked = std::count_if(children.begin(), children.end(),
                                         [&](ResultNode* child) { return IsChecked(tree_.CheckState(child)); });
      const auto mixed = std::count_if(children.begin(), children.end(),
                                       [&](ResultNode* child) { return IsMixed(tree_.CheckState(child)); });
      const TCheckState expected = checked == 0 && mixed == 0                     ? csUncheckedNormal
                                   : checked < static_cast<long>(children.size()) ? csMixedNormal
                                                                                  : csCheckedNormal;
      ASSERT_EQ(tree_.CheckState(node), expected) << "after click " << click;
    }
    for (TCheckState state : {csUncheckedNormal, csCheckedNormal, csMixedNormal}) {
      ASSERT_EQ(tree_.CountInCheckState(state), InCheckState(state).size()) << "after click " << click;
    }
  }
}

struct ClickCase {
  TCheckType Type;
  TCheckState Before;
  TCheckState After;
};

class NextCheckStateOfClickTest : public ::testing::TestWithParam<ClickCase> {};

TEST_P(NextCheckStateOfClickTest, ChecksAnythingButACheckedBoxWhichItUnchecks) {
  EXPECT_EQ(NextCheckStateOfClick(GetParam().Type, GetParam().Before), GetParam().After);
}

INSTANTIATE_TEST_SUITE_P(Clicks, NextCheckStateOfClickTest,
                         ::testing::Values(ClickCase{ctTriStateCheckBox, csUncheckedNormal, csCheckedNormal},
                                           ClickCase{ctTriStateCheckBox, csUncheckedPressed, csCheckedNormal},
                                           ClickCase{ctTriStateCheckBox, csMixedNormal, csCheckedNormal},
                                           ClickCase{ctTriStateCheckBox, csMixedPressed, csCheckedNormal},
                                           ClickCase{ctTriStateCheckBox, csCheckedNormal, csUncheckedNormal},
                                           ClickCase{ctTriStateCheckBox, csCheckedPressed, csCheckedNormal},
                                           ClickCase{ctCheckBox, csCheckedNormal, csUncheckedNormal},
                                           ClickCase{ctCheckBox, csUncheckedNormal, csCheckedNormal},
                                           ClickCase{ctRadioButton, csCheckedNormal, csCheckedNormal},
                                           ClickCase{ctRadioButton, csUncheckedNormal, csCheckedNormal},
                                           ClickCase{ctNone, csUncheckedNormal, csUncheckedNormal},
                                           ClickCase{ctButton, csUncheckedNormal, csUncheckedNormal}));

TEST_F(ResultTreeTest, SelectingANodeTwiceSelectsItOnce) {
  tree_.Select(roots_[3]);
  tree_.Select(roots_[1]);
  tree_.Select(roots_[3]);
  tree_.Select(nullptr);
  EXPECT_EQ(tree_.SelectedNodes(), (std::vector<ResultNode*>{roots_[3], roots_[1]}));
  EXPECT_TRUE(tree_.IsSelected(roots_[1]));
  tree_.ClearSelection();
  EXPECT_TRUE(tree_.SelectedNodes().empty());
  EXPECT_FALSE(tree_.IsSelected(roots_[1]));
  EXPECT_FALSE(tree_.IsSelected(roots_[3]));
}

TEST_F(ResultTreeTest, EachChangeOfFocusIsReportedOnce) {
  std::vector<ResultNode*> reported;
  tree_.SetFocusChangedHandler([&](ResultNode* focused) { reported.push_back(focused); });
  tree_.SetFocusedNode(roots_[0]);
  tree_.SetFocusedNode(roots_[0]);
  tree_.SetFocusedNode(roots_[2]);
  EXPECT_EQ(tree_.FocusedNode(), roots_[2]);
  EXPECT_EQ(reported, (std::vector<ResultNode*>{roots_[0], roots_[2]}));
}

TEST_F(ResultTreeTest, ClearRemovesEveryNodeAndEmptiesSelectionAndFocus) {
  ResultNode* file = AddFiles(roots_[0], 2)[1];
  Click(roots_[0]);
  tree_.Select(file);
  tree_.SetFocusedNode(file);
  std::vector<ResultNode*> reported;
  tree_.SetFocusChangedHandler([&](ResultNode* focused) { reported.push_back(focused); });
  tree_.Clear();
  EXPECT_EQ(tree_.TotalCount(), 0u);
  EXPECT_EQ(tree_.FirstNode(), nullptr);
  EXPECT_EQ(tree_.ChildCount(nullptr), 0u);
  EXPECT_TRUE(tree_.SelectedNodes().empty());
  EXPECT_EQ(tree_.FocusedNode(), nullptr);
  EXPECT_EQ(reported, std::vector<ResultNode*>{nullptr});
  EXPECT_EQ(tree_.CountInCheckState(csCheckedNormal), 0u);
  EXPECT_EQ(tree_.FirstNodeInCheckState(csCheckedNormal), nullptr);
  ResultNode* again = Add(nullptr);
  EXPECT_EQ(tree_.FirstNode(), again);
  EXPECT_EQ(tree_.CountInCheckState(csUncheckedNormal), 1u);
}

// Filters on size here; the program's filter looks at names, folders and states.
ResultTree::NodeFilter SizesBelow(int64_t limit) {
  return [limit](const ResultNode& node) { return node.Data().FileSize < limit; };
}

TEST_F(ResultTreeTest, HiddenFilesKeepTheirMarksButOnlyShownOnesAreTickedCountedAndFound) {
  const std::vector<ResultNode*> files = AddFiles(roots_[0], 4);  // sizes 0 to 3
  Click(files[3]);
  tree_.SetFilter(SizesBelow(2));
  EXPECT_TRUE(tree_.Filtering());
  EXPECT_FALSE(tree_.IsShown(files[3]));
  EXPECT_TRUE(tree_.IsShown(roots_[0]));
  EXPECT_EQ(tree_.ShownChildCount(roots_[0]), 2u);
  EXPECT_EQ(tree_.ChildCount(roots_[0]), 4u);
  // The hidden tick is neither found nor counted, and the root follows its shown files.
  EXPECT_EQ(tree_.CheckState(files[3]), csCheckedNormal);
  EXPECT_EQ(tree_.FirstNodeInCheckState(csCheckedNormal), nullptr);
  EXPECT_EQ(tree_.CountInCheckState(csCheckedNormal), 0u);
  EXPECT_EQ(tree_.CheckState(roots_[0]), csUncheckedNormal);
  EXPECT_FALSE(tree_.SetCheckState(files[3], csUncheckedNormal));

  // Ticking the root ticks what is shown and leaves the hidden files alone.
  Click(roots_[0]);
  EXPECT_EQ(tree_.CheckState(roots_[0]), csCheckedNormal);
  EXPECT_EQ(tree_.CountInCheckState(csCheckedNormal), 3u);
  EXPECT_EQ(tree_.CheckState(files[2]), csUncheckedNormal);

  // Shown again, every file has the mark it had; the root counts them all.
  tree_.SetFilter(nullptr);
  EXPECT_FALSE(tree_.Filtering());
  EXPECT_EQ(tree_.ShownChildCount(roots_[0]), 4u);
  EXPECT_EQ(tree_.CheckState(files[3]), csCheckedNormal);
  EXPECT_EQ(tree_.CheckState(roots_[0]), csMixedNormal);
  EXPECT_EQ(tree_.CountInCheckState(csCheckedNormal), 3u);
  std::vector<ResultNode*> checked;
  for (ResultNode* node = tree_.FirstNodeInCheckState(csCheckedNormal); node != nullptr;
       node = tree_.NextNodeInCheckState(node, csCheckedNormal)) {
    checked.push_back(node);
  }
  EXPECT_EQ(checked, (std::vector<ResultNode*>{files[0], files[1], files[3]}));

  // Hiding the one unticked file leaves the root checked; a file added later is asked on its own.
  tree_.SetFilter([&](const ResultNode& node) { return &node != files[2]; });
  EXPECT_EQ(tree_.CheckState(roots_[0]), csCheckedNormal);
  ResultNode* late = Add(roots_[0]);
  tree_.ApplyFilter(late);
  EXPECT_TRUE(tree_.IsShown(late));
}

TEST_F(ResultTreeTest, FilesOfOneFolderShareItAndClearForgetsFoldersAndFilter) {
  const std::vector<ResultNode*> files = AddFiles(roots_[1], 3);
  tree_.SetFolder(files[0], "/Music/2019");
  tree_.SetFolder(files[1], "/Music/2019");
  EXPECT_EQ(&files[0]->Folder(), &files[1]->Folder());
  EXPECT_EQ(files[0]->Folder().Text, "/Music/2019");
  EXPECT_EQ(files[2]->Folder().Text, "");
  EXPECT_EQ(roots_[1]->Folder().Id, 0u);
  EXPECT_EQ(tree_.Folders().size(), 2u);
  tree_.SetFilter(SizesBelow(1));
  tree_.Clear();
  EXPECT_FALSE(tree_.Filtering());
  EXPECT_EQ(tree_.Folders().size(), 1u);
}

TEST_F(ResultTreeTest, ExpandingAncestorsOpensEveryLevelAboveTheNodeOnly) {
  ResultNode* folder = Add(roots_[1]);
  ResultNode* file = Add(folder);
  tree_.ExpandAncestors(file);
  EXPECT_TRUE(tree_.IsExpanded(roots_[1]));
  EXPECT_TRUE(tree_.IsExpanded(folder));
  EXPECT_FALSE(tree_.IsExpanded(file));
  EXPECT_FALSE(tree_.IsExpanded(roots_[0]));
  tree_.SetExpanded(folder, false);
  EXPECT_FALSE(tree_.IsExpanded(folder));
}

TEST_F(ResultTreeTest, TheHeaderStartsUnsortedAndSortingLeavesItAlone) {
  EXPECT_EQ(tree_.SortColumn(), NoSortColumn);
  EXPECT_EQ(tree_.SortDirection(), sdAscending);
  tree_.Sort(SizeColumn, sdDescending, CompareSizes);
  EXPECT_EQ(tree_.SortColumn(), NoSortColumn);
  EXPECT_EQ(tree_.SortDirection(), sdAscending);
  tree_.SetSortColumn(SizeColumn);
  tree_.SetSortDirection(sdDescending);
  EXPECT_EQ(tree_.SortColumn(), SizeColumn);
  EXPECT_EQ(tree_.SortDirection(), sdDescending);
}

TEST_F(ResultTreeTest, NodesThatCompareEqualKeepTheirOrderInBothDirections) {
  for (TSortDirection direction : {sdAscending, sdDescending}) {
    tree_.Sort(SizeColumn, direction, CompareSizes);
    EXPECT_EQ(ChildrenOf(nullptr), roots_);
  }
}

// Equal nodes stay in order in a descending sort too, so it is not the ascending order reversed.
TEST_F(ResultTreeTest, SortsEachGroupOfEqualNodesStablyEitherWay) {
  const std::vector<ResultNode*> files = {Add(roots_[0], 2), Add(roots_[0], 1), Add(roots_[0], 2), Add(roots_[0], 1)};
  tree_.Sort(SizeColumn, sdAscending, CompareSizes);
  EXPECT_EQ(ChildrenOf(roots_[0]), (std::vector<ResultNode*>{files[1], files[3], files[0], files[2]}));
  tree_.Sort(SizeColumn, sdDescending, CompareSizes);
  EXPECT_EQ(ChildrenOf(roots_[0]), (std::vector<ResultNode*>{files[0], files[2], files[1], files[3]}));
}

TEST_F(ResultTreeTest, SortingReachesEveryLevelAndRenumbersRows) {
  for (size_t index = 0; index < roots_.size(); ++index)
    tree_.NodeData(roots_[index])->FileSize = -static_cast<int64_t>(index);
  ResultNode* folder = Add(roots_[0], 9);
  const std::vector<ResultNode*> deep = {Add(folder, 3), Add(folder, 1), Add(folder, 2)};
  ResultNode* file = Add(roots_[0], 5);
  tree_.Sort(SizeColumn, sdAscending, CompareSizes);
  EXPECT_EQ(ChildrenOf(nullptr), std::vector<ResultNode*>(roots_.rbegin(), roots_.rend()));
  EXPECT_EQ(ChildrenOf(roots_[0]), (std::vector<ResultNode*>{file, folder}));
  EXPECT_EQ(ChildrenOf(folder), (std::vector<ResultNode*>{deep[1], deep[2], deep[0]}));
  for (const ResultNode* parent : {static_cast<ResultNode*>(nullptr), roots_[0], folder}) {
    for (size_t row = 0; row < tree_.ChildCount(parent); ++row) {
      EXPECT_EQ(tree_.Row(tree_.Child(parent, row)), row);
      EXPECT_EQ(tree_.Parent(tree_.Child(parent, row)), parent);
    }
  }
  EXPECT_EQ(tree_.NextNode(roots_[0]), file);
}

TEST_F(ResultTreeTest, ChecksSelectionFocusAndExpansionStayWithTheirNodesWhenSorted) {
  const std::vector<ResultNode*> files = {Add(roots_[0], 3), Add(roots_[0], 1), Add(roots_[0], 2)};
  Click(files[0]);
  tree_.Select(files[2]);
  tree_.SetFocusedNode(files[1]);
  tree_.ExpandAncestors(files[0]);
  tree_.Sort(SizeColumn, sdAscending, CompareSizes);
  EXPECT_EQ(InCheckState(csCheckedNormal), std::vector<ResultNode*>{files[0]});
  EXPECT_EQ(tree_.CheckState(roots_[0]), csMixedNormal);
  EXPECT_EQ(tree_.SelectedNodes(), std::vector<ResultNode*>{files[2]});
  EXPECT_EQ(tree_.FocusedNode(), files[1]);
  EXPECT_TRUE(tree_.IsExpanded(roots_[0]));
  // The counts behind the root's state still hold: ticking the rest checks it.
  Click(files[1]);
  Click(files[2]);
  EXPECT_EQ(tree_.CheckState(roots_[0]), csCheckedNormal);
}

// Sort keys of random bytes (zeros, shared prefixes longer than eight bytes, prefixes of each
// other), as the whole order or as its first bytes only; either way the sort must come out as a
// stable sort by the full bytes.
class SortKeyTest : public ResultTreeTest, public ::testing::WithParamInterface<bool> {
 protected:
  std::unordered_map<const ResultNode*, std::string> keys_;
};

TEST_P(SortKeyTest, SortsLikeAStableSortOfTheFullKeys) {
  const bool keysDecide = GetParam();
  constexpr size_t ShortenedKey = 3;
  std::mt19937 random(11);
  const std::array<std::string, 4> stems = {"", std::string("\0\0", 2), "long shared stem", "long shared"};
  std::vector<ResultNode*> files = AddFiles(roots_[0], 500);
  for (ResultNode* file : files) {
    std::string key = stems[random() % stems.size()];
    for (size_t extra = random() % 4; extra > 0; --extra) key.push_back(static_cast<char>(random() % 3 * 127));
    keys_[file] = key;
  }
  const auto compare = [&](const ResultNode& a, const ResultNode& b, int) { return keys_[&a].compare(keys_[&b]); };
  const auto sortKey = [&](const ResultNode& node, int, std::string& key) {
    key += keysDecide ? keys_[&node] : keys_[&node].substr(0, ShortenedKey);
    return keysDecide;
  };
  for (TSortDirection direction : {sdAscending, sdDescending}) {
    std::vector<ResultNode*> expected = files;
    std::stable_sort(expected.begin(), expected.end(), [&](ResultNode* a, ResultNode* b) {
      return direction == sdAscending ? keys_[a] < keys_[b] : keys_[a] > keys_[b];
    });
    tree_.Sort(0, direction, compare, sortKey);
    ASSERT_EQ(ChildrenOf(roots_[0]), expected);
    files = expected;
  }
}

INSTANTIATE_TEST_SUITE_P(KeysDecideOrNot, SortKeyTest, ::testing::Bool());

}  // namespace
}  // namespace salvoran
