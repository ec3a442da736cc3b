#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "engine/FileNameText.h"
#include "ui/model/NodeComparison.h"
#include "ui/model/ResultTree.h"

namespace salvoran {
namespace {

constexpr int64_t Gigabyte = int64_t{1} << 30;
constexpr double Hour = 1.0 / 24;
constexpr double SomeDay = 45000;  // 15 March 2023
constexpr int UnknownColumn = 7;

// The comparison as written out: convert to UTF-8, fold, compare byte by byte.
int CompareThroughUtf8(std::u16string_view a, std::u16string_view b) {
  const std::string bytesA = ToUtf8(UpperAscii(a));
  const std::string bytesB = ToUtf8(UpperAscii(b));
  for (size_t index = 0; index < std::min(bytesA.size(), bytesB.size()); ++index) {
    const int difference = static_cast<unsigned char>(bytesA[index]) - static_cast<unsigned char>(bytesB[index]);
    if (difference != 0) return difference;
  }
  return static_cast<int>(bytesA.size()) - static_cast<int>(bytesB.size());
}

struct NamePair {
  std::u16string_view A;
  std::u16string_view B;
  int Expected;
};

class CompareFileNamesTest : public ::testing::TestWithParam<NamePair> {};

TEST_P(CompareFileNamesTest, GivesTheDifferenceOfTheFirstDifferingFoldedUtf8Bytes) {
  EXPECT_EQ(CompareFileNames(GetParam().A, GetParam().B), GetParam().Expected);
  EXPECT_EQ(CompareFileNames(GetParam().B, GetParam().A), -GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Names, CompareFileNamesTest,
    ::testing::Values(NamePair{u"photo.JPG", u"PHOTO.jpg", 0},              // ASCII case is folded
                      NamePair{u"apple.txt", u"Banana.txt", 'A' - 'B'},     // "a" counts as "A"
                      NamePair{u"_x", u"ax", '_' - 'A'},                    // so "a" comes before "_"
                      NamePair{u"report", u"report (2)", -4},               // a prefix: the length difference
                      NamePair{u"", u"a", -1},                              // the empty name first
                      NamePair{u"\u00e9t\u00e9", u"ete", 0xC3 - 'E'},       // the first UTF-8 byte of "é"
                      NamePair{u"\u00e4", u"\u00c4", 0xA4 - 0x84},          // non-ASCII letters are not folded
                      NamePair{u"\u00e9", u"\u00e9e", -1},                  // a prefix after non-ASCII
                      NamePair{u"\u20ac", u"\u00e9", 0xE2 - 0xC3},          // three bytes against two
                      NamePair{u"\U0001F600", u"\uFFFD", 0xF0 - 0xEF},      // a surrogate pair is one character
                      NamePair{u"\U0001F600", u"\U0001F601", 0x80 - 0x81},  // differing in the last byte
                      NamePair{u"\u00e9", u"\U0001F600", 0xC3 - 0xF0},      // two bytes against four
                      NamePair{u"a\xD800", u"a\uFFFD", 0},                  // an unpaired surrogate is U+FFFD
                      NamePair{u"\xDC00\xD800", u"\uFFFD\uFFFD", 0},        // low before high: both unpaired
                      NamePair{u"x\u00e9", u"x", 2}));                      // the length in UTF-8 bytes

// Random names mixing ASCII of both cases, Latin-1, BMP letters, pairs and lone surrogates.
TEST(CompareFileNamesPropertyTest, MatchesComparingTheUtf8ConversionsByteByByte) {
  std::mt19937 random(3);
  const std::array<char16_t, 12> units = {u'a', u'A', u'z',   u'_',   u'.',   0x7F,
                                          0xE9, 0xC9, 0x20AC, 0xD83D, 0xDE00, 0xFFFD};
  const auto randomName = [&] {
    std::u16string name;
    for (size_t length = random() % 6; length > 0; --length) name.push_back(units[random() % units.size()]);
    return name;
  };
  for (int pair = 0; pair < 20000; ++pair) {
    const std::u16string a = randomName();
    const std::u16string b = randomName();
    ASSERT_EQ(CompareFileNames(a, b), CompareThroughUtf8(a, b)) << "pair " << pair;
  }
}

struct DayCase {
  double A;
  double B;
  int Expected;
};

class CompareDaysTest : public ::testing::TestWithParam<DayCase> {};

TEST_P(CompareDaysTest, RoundsTheDifferenceInDaysHalvesToEven) {
  EXPECT_EQ(CompareDays(GetParam().A, GetParam().B), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(Days, CompareDaysTest,
                         ::testing::Values(DayCase{SomeDay + 0.5, SomeDay, 0}, DayCase{SomeDay, SomeDay + 0.5, 0},
                                           DayCase{SomeDay + 1.5, SomeDay, 2}, DayCase{SomeDay + 2.5, SomeDay, 2},
                                           DayCase{SomeDay, SomeDay + 1.5, -2}, DayCase{SomeDay, SomeDay + 2.5, -2},
                                           DayCase{SomeDay + 13 * Hour, SomeDay, 1},
                                           DayCase{SomeDay + 11 * Hour, SomeDay, 0},
                                           DayCase{SomeDay + 400.25, SomeDay, 400}, DayCase{0, SomeDay, -45000}));

ResultNode* AddNode(ResultTree& tree, ResultNode* parent, std::u16string_view name, double time = 0, int64_t size = 0) {
  ResultNode* node = tree.AddChild(parent);
  tree.SetCheckType(node, ctTriStateCheckBox);
  TDeletedFileData& data = *tree.NodeData(node);
  data.FileName = name;
  data.CreateTime = time;
  data.ModifyTime = time;
  data.FileSize = size;
  data.IsFileEntry = parent != nullptr;
  return node;
}

std::vector<ResultNode*> ChildrenOf(const ResultTree& tree, const ResultNode* parent) {
  std::vector<ResultNode*> children;
  for (size_t row = 0; row < tree.ChildCount(parent); ++row) children.push_back(tree.Child(parent, row));
  return children;
}

class ResultSortTest : public ::testing::Test {
 protected:
  ResultNode* Add(ResultNode* parent, std::u16string_view name, double time = 0, int64_t size = 0) {
    return AddNode(tree_, parent, name, time, size);
  }

  std::vector<ResultNode*> ChildrenOf(const ResultNode* parent) const { return salvoran::ChildrenOf(tree_, parent); }

  // As the program sorts: with the sort keys.
  void Sort(int column, TSortDirection direction) {
    tree_.Sort(column, direction, RestoreTreeCompareNodes, RestoreTreeSortKey);
  }

  ResultTree tree_;
};

TEST_F(ResultSortTest, ComparesTheColumnTheHeaderNames) {
  ResultNode* a = Add(nullptr, u"b", SomeDay, 5 * Gigabyte);
  ResultNode* b = Add(nullptr, u"a", SomeDay + 2, 3 * Gigabyte);
  tree_.NodeData(b)->ModifyTime = SomeDay - 3;
  EXPECT_EQ(RestoreTreeCompareNodes(*a, *b, rcFileName), 'B' - 'A');
  EXPECT_EQ(RestoreTreeCompareNodes(*a, *b, rcCreateTime), -2);
  EXPECT_EQ(RestoreTreeCompareNodes(*a, *b, rcModifyTime), 3);
  // Sizes apart by more than an int holds still give the sign only.
  EXPECT_EQ(RestoreTreeCompareNodes(*a, *b, rcFileSize), 1);
  EXPECT_EQ(RestoreTreeCompareNodes(*b, *a, rcFileSize), -1);
  EXPECT_EQ(RestoreTreeCompareNodes(*a, *a, rcFileSize), 0);
  EXPECT_EQ(RestoreTreeCompareNodes(*a, *b, UnknownColumn), 0);
  EXPECT_EQ(RestoreTreeCompareNodes(*a, *b, NoSortColumn), 0);
  // Folders by the names' rule: ASCII case folded, a folder before those below it.
  tree_.SetFolder(a, "/Users/ann/Documents");
  tree_.SetFolder(b, "/users/ANN");
  EXPECT_EQ(RestoreTreeCompareNodes(*a, *b, rcFolder), 10);
  tree_.SetFolder(b, "/users/ANN/documents");
  EXPECT_EQ(RestoreTreeCompareNodes(*a, *b, rcFolder), 0);
}

TEST_F(ResultSortTest, StatesSortGoodThenPartlyThenWhollyOverwritten) {
  ResultNode* root = Add(nullptr, u"Other Files");
  ResultNode* overwritten = Add(root, u"a");
  ResultNode* resident = Add(root, u"b");
  ResultNode* partly = Add(root, u"c");
  ResultNode* good = Add(root, u"d");
  tree_.SetClusterUse(overwritten, {4, 4});
  tree_.SetClusterUse(partly, {4, 3});
  tree_.SetClusterUse(good, {4, 0});
  Sort(rcState, sdAscending);
  EXPECT_EQ(ChildrenOf(root), (std::vector<ResultNode*>{resident, good, partly, overwritten}));
  Sort(rcState, sdDescending);
  EXPECT_EQ(ChildrenOf(root), (std::vector<ResultNode*>{overwritten, partly, resident, good}));
}

TEST_F(ResultSortTest, CategoryRootsSortByCaptionAndKeepTheirOrderByOtherColumns) {
  const std::vector<ResultNode*> roots = {Add(nullptr, u"Graphics Files"), Add(nullptr, u"Music Files"),
                                          Add(nullptr, u"Video Files"),    Add(nullptr, u"Document Files"),
                                          Add(nullptr, u"HTML Files"),     Add(nullptr, u"Other Files")};
  for (int column : {rcCreateTime, rcModifyTime, rcFileSize}) {
    Sort(column, sdDescending);
    EXPECT_EQ(ChildrenOf(nullptr), roots) << "column " << column;
  }
  Sort(rcFileName, sdAscending);
  EXPECT_EQ(ChildrenOf(nullptr),
            (std::vector<ResultNode*>{roots[3], roots[0], roots[4], roots[1], roots[5], roots[2]}));
  Sort(rcFileName, sdDescending);
  EXPECT_EQ(ChildrenOf(nullptr),
            (std::vector<ResultNode*>{roots[2], roots[5], roots[1], roots[4], roots[0], roots[3]}));
}

TEST_F(ResultSortTest, NamesSortWithLowerCaseFoldedAndCaseVariantsInPlace) {
  ResultNode* root = Add(nullptr, u"Document Files");
  ResultNode* banana = Add(root, u"Banana.doc");
  ResultNode* upper = Add(root, u"APPLE.doc");
  ResultNode* lower = Add(root, u"apple.doc");
  Sort(rcFileName, sdAscending);
  EXPECT_EQ(ChildrenOf(root), (std::vector<ResultNode*>{upper, lower, banana}));
  Sort(rcFileName, sdDescending);
  EXPECT_EQ(ChildrenOf(root), (std::vector<ResultNode*>{banana, upper, lower}));
}

struct TimePair {
  double Earlier;
  double Later;
  bool Ordered;
};

class TimeSortTest : public ResultSortTest, public ::testing::WithParamInterface<TimePair> {};

// The later file comes first, and moves behind the earlier one only when they are more than half
// a day apart.
TEST_P(TimeSortTest, TimesWithinHalfADayKeepTheirOrder) {
  ResultNode* root = Add(nullptr, u"Graphics Files");
  ResultNode* later = Add(root, u"a", GetParam().Later);
  ResultNode* earlier = Add(root, u"b", GetParam().Earlier);
  const std::vector<ResultNode*> unchanged = {later, earlier};
  const std::vector<ResultNode*> ordered = {earlier, later};
  for (int column : {rcCreateTime, rcModifyTime}) {
    Sort(column, sdAscending);
    EXPECT_EQ(ChildrenOf(root), GetParam().Ordered ? ordered : unchanged);
    Sort(column, sdDescending);
    EXPECT_EQ(ChildrenOf(root), unchanged);
  }
}

constexpr double LateEvening = SomeDay + 23 * Hour;

INSTANTIATE_TEST_SUITE_P(Times, TimeSortTest,
                         ::testing::Values(TimePair{SomeDay, SomeDay + 11 * Hour, false},
                                           TimePair{LateEvening, LateEvening + 11 * Hour, false},  // across midnight
                                           TimePair{SomeDay, SomeDay + 12 * Hour, false},
                                           TimePair{SomeDay, SomeDay + 13 * Hour, true},
                                           TimePair{LateEvening, LateEvening + 13 * Hour, true},
                                           TimePair{SomeDay, SomeDay + 36 * Hour, true}));

TEST_F(ResultSortTest, SizesOfSeveralGigabytesSortBothWays) {
  ResultNode* root = Add(nullptr, u"Video Files");
  ResultNode* three = Add(root, u"a", 0, 3 * Gigabyte);
  ResultNode* one = Add(root, u"b", 0, 1 * Gigabyte);
  ResultNode* five = Add(root, u"c", 0, 5 * Gigabyte);
  Sort(rcFileSize, sdAscending);
  EXPECT_EQ(ChildrenOf(root), (std::vector<ResultNode*>{one, three, five}));
  Sort(rcFileSize, sdDescending);
  EXPECT_EQ(ChildrenOf(root), (std::vector<ResultNode*>{five, three, one}));
}

// Names that share long beginnings, differ only in case, repeat, or run into non-ASCII letters;
// sizes that repeat or are negative; times that are near each other.
void AddRandomFiles(ResultTree& tree) {
  std::mt19937 random(5);
  const std::array<std::u16string_view, 6> stems = {u"IMG_2019",      u"img_2019", u"Screenshot 2023-05-",
                                                    u"\u00e9t\u00e9", u"",         u"\U0001F600"};
  const std::array<int64_t, 5> sizes = {0, -1, 4096, 5 * Gigabyte, INT64_MIN};
  const std::array<std::string_view, 7> folders = {"/Users/Ann", "/users/ann",   "/Users/Ann/Docs", "",
                                                   "2019/trip",  "/\xc3\xa9t\xc3\xa9", "/"};
  const std::array<ClusterUse, 4> uses = {ClusterUse{0, 0}, ClusterUse{8, 0}, ClusterUse{8, 3}, ClusterUse{8, 8}};
  ResultNode* root = AddNode(tree, nullptr, u"Other Files");
  for (int file = 0; file < 3000; ++file) {
    std::u16string name(stems[random() % stems.size()]);
    for (size_t extra = random() % 3; extra > 0; --extra) name.push_back(u"aZ0_\u00e9"[random() % 5]);
    ResultNode* node = AddNode(tree, root, name, SomeDay + (random() % 100) * Hour,
                               sizes[random() % sizes.size()] + static_cast<int64_t>(random() % 2));
    tree.NodeData(node)->RecordOffset = file;
    tree.SetFolder(node, folders[random() % folders.size()]);
    tree.SetClusterUse(node, uses[random() % uses.size()]);
  }
}

std::vector<int64_t> RecordOffsetsInOrder(const ResultTree& tree) {
  std::vector<int64_t> offsets;
  for (const ResultNode* file : ChildrenOf(tree, tree.FirstNode())) offsets.push_back(file->Data().RecordOffset);
  return offsets;
}

// Two equal trees go through the same sorts, one with the keys and one with the comparison alone.
TEST(SortKeyAgreementTest, SortKeysGiveTheSameOrderAsTheComparisonAlone) {
  ResultTree keyed;
  ResultTree compared;
  AddRandomFiles(keyed);
  AddRandomFiles(compared);
  for (int column : {int{rcFileName}, int{rcCreateTime}, int{rcFileSize}, int{rcModifyTime}, int{rcFolder},
                     int{rcState}, UnknownColumn}) {
    for (TSortDirection direction : {sdAscending, sdDescending}) {
      // The keys of single nodes, and those of one sort of the whole tree (folders by rank).
      for (const ResultTree::NodeSortKeys& keys : {ResultTree::NodeSortKeys(RestoreTreeSortKey),
                                                    RestoreTreeSortKeyFor(keyed, column)}) {
        keyed.Sort(column, direction, RestoreTreeCompareNodes, keys);
        compared.Sort(column, direction, RestoreTreeCompareNodes);
        ASSERT_EQ(RecordOffsetsInOrder(keyed), RecordOffsetsInOrder(compared))
            << "column " << column << " direction " << direction;
      }
    }
  }
}

// By name, size, folder and state the comparison is a strict weak order, where every stable sort
// agrees.
TEST(SortKeyAgreementTest, NamesSizesFoldersAndStatesSortAsAStandardStableSortDoes) {
  ResultTree tree;
  AddRandomFiles(tree);
  for (int column : {int{rcFileName}, int{rcFileSize}, int{rcFolder}, int{rcState}}) {
    for (TSortDirection direction : {sdAscending, sdDescending}) {
      std::vector<ResultNode*> expected = ChildrenOf(tree, tree.FirstNode());
      std::stable_sort(expected.begin(), expected.end(), [&](const ResultNode* a, const ResultNode* b) {
        const int order = RestoreTreeCompareNodes(*a, *b, column);
        return direction == sdAscending ? order < 0 : order > 0;
      });
      tree.Sort(column, direction, RestoreTreeCompareNodes, RestoreTreeSortKeyFor(tree, column));
      ASSERT_EQ(ChildrenOf(tree, tree.FirstNode()), expected) << "column " << column << " direction " << direction;
    }
  }
}

}  // namespace
}  // namespace salvoran
