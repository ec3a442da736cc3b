#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QStandardItemModel>
#include <QTest>
#include <QTreeView>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "support/FormatFileSize.h"
#include "engine/DateTime.h"
#include "engine/FileCategory.h"
#include "engine/FileNameText.h"
#include "ui/FindDialog.h"
#include "ui/FindInTree.h"

namespace salvoran {
namespace {

constexpr int ColumnCount = 4;
const NumberSeparators Separators{",", "."};

struct SampleFile {
  FileCategory Category;
  std::u16string Name;
  CivilDateTime Created;
  CivilDateTime Modified;
  int64_t Size;
};

// Six categories; years, sizes and names chosen so that each search below has known matches.
const std::vector<SampleFile> SampleFiles = {
    {FileCategory::Graphics, u"Holiday.JPG", {2019, 7, 1, 10, 0, 0}, {2020, 1, 2, 11, 30, 0}, 2 << 20},
    {FileCategory::Graphics, u"logo.png", {2021, 3, 4, 8, 0, 0}, {2021, 5, 6, 9, 0, 0}, 512},
    {FileCategory::Music, u"song.mp3", {2018, 2, 3, 4, 5, 6}, {2018, 2, 3, 4, 5, 6}, 3 << 20},
    {FileCategory::Video, u"clip.mp4", {2017, 1, 1, 0, 0, 0}, {2017, 1, 1, 0, 0, 0}, int64_t{3} << 29},
    {FileCategory::Document, u"notes.txt", {2016, 6, 6, 6, 6, 6}, {2016, 6, 6, 6, 6, 6}, 1536},
    {FileCategory::Document, u"\u00C4rger.doc", {2016, 7, 7, 7, 7, 7}, {2016, 7, 7, 7, 7, 7}, 700},
    {FileCategory::Html, u"index.html", {2015, 1, 1, 0, 0, 0}, {2015, 1, 1, 0, 0, 0}, 100},
    {FileCategory::Other, u"data.bin", {2014, 1, 1, 0, 0, 0}, {2014, 1, 1, 0, 0, 0}, 0},
};

std::string DateText(double value) {
  const CivilDateTime civil = DecodeDateTime(value);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", civil.Year, civil.Month, civil.Day, civil.Hour,
                civil.Minute, civil.Second);
  return text;
}

// The texts the window's columns show: a root's caption with its file count, then nothing; a
// file's name, two dates and its size.
std::string CellText(const ResultTree& tree, const ResultNode& node, int column) {
  const TDeletedFileData& data = node.Data();
  if (data.IsFileEntry == 0) {
    return column == 0 ? ToUtf8(data.FileName) + "(" + std::to_string(tree.ChildCount(&node)) + ")" : "";
  }
  switch (column) {
    case 0: return ToUtf8(data.FileName);
    case 1: return DateText(data.CreateTime);
    case 2: return DateText(data.ModifyTime);
    default: return FormatFileSize(data.FileSize, Separators);
  }
}

class RecordingFindView : public FindView {
 public:
  void ShowFound(ResultNode& node) override { Shown.push_back(&node); }
  void Beep() override { ++Beeps; }

  std::vector<ResultNode*> Shown;
  int Beeps = 0;
};

class FindTest : public ::testing::Test {
 protected:
  FindTest() { Fill(); }

  void Fill() {
    for (FileCategory category : AllCategories) {
      ResultNode* root = tree_.AddChild(nullptr);
      const std::string_view caption = CategoryCaption(category);
      tree_.NodeData(root)->FileName.assign(caption.begin(), caption.end());
      roots_[category] = root;
    }
    for (const SampleFile& file : SampleFiles) {
      ResultNode* node = tree_.AddChild(roots_[file.Category]);
      TDeletedFileData& data = *tree_.NodeData(node);
      data.FileName = file.Name;
      data.CreateTime = EncodeDateTime(file.Created);
      data.ModifyTime = EncodeDateTime(file.Modified);
      data.FileSize = file.Size;
      data.IsFileEntry = 1;
      files_[file.Name] = node;
    }
  }

  // What the user sees after a find: the one selected node, the focused node, the last match.
  void ExpectShowing(ResultNode* node) const { ExpectShowingIn(search_, node); }
  void ExpectShowingIn(const TreeSearch& search, ResultNode* node) const {
    EXPECT_EQ(tree_.SelectedNodes(), std::vector<ResultNode*>{node});
    EXPECT_EQ(tree_.FocusedNode(), node);
    EXPECT_EQ(search.LastFoundNode(), node);
    ASSERT_FALSE(view_.Shown.empty());
    EXPECT_EQ(view_.Shown.back(), node);
  }

  ResultTree tree_;
  std::map<FileCategory, ResultNode*> roots_;
  std::map<std::u16string, ResultNode*> files_;
  RecordingFindView view_;
  TreeSearch search_{tree_, ColumnCount,
                     [this](const ResultNode& node, int column) { return CellText(tree_, node, column); }, view_};
};

TEST_F(FindTest, ACategoryWordFindsEveryRootInTurnAndThenBeeps) {
  ASSERT_EQ(CellText(tree_, *roots_[FileCategory::Graphics], 0), "Graphics Files(2)");
  for (FileCategory category : AllCategories) {
    search_.FindNext("fILES");
    ExpectShowing(roots_[category]);
  }
  EXPECT_EQ(view_.Beeps, 0);

  search_.FindNext("fILES");
  EXPECT_EQ(view_.Beeps, 1);
  EXPECT_EQ(view_.Shown.size(), AllCategories.size());
  ExpectShowing(roots_[FileCategory::Other]);
}

TEST_F(FindTest, AYearIsFoundThroughTheDateColumns) {
  search_.FindNext("2019");
  ExpectShowing(files_[u"Holiday.JPG"]);
  // Only the modify date holds this year.
  search_.FindNext("2020");
  EXPECT_EQ(view_.Beeps, 1);
  search_.Reset();
  search_.FindNext("2020");
  ExpectShowing(files_[u"Holiday.JPG"]);
}

TEST_F(FindTest, AUnitIsFoundThroughTheSizeColumn) {
  search_.FindNext("KB");
  ExpectShowing(files_[u"notes.txt"]);
  search_.FindNext("kb");
  EXPECT_EQ(view_.Beeps, 1);
  ExpectShowing(files_[u"notes.txt"]);
}

TEST_F(FindTest, AFileTheFilterHidesIsNotFound) {
  tree_.SetFilter([this](const ResultNode& node) { return &node != files_[u"Holiday.JPG"]; });
  search_.FindNext("2019");
  EXPECT_EQ(view_.Beeps, 1);
  EXPECT_TRUE(view_.Shown.empty());
  tree_.SetFilter(nullptr);
  search_.FindNext("2019");
  ExpectShowing(files_[u"Holiday.JPG"]);
}

TEST_F(FindTest, AMatchInACollapsedCategoryExpandsItAndOnlyIt) {
  search_.FindNext("SONG");
  ExpectShowing(files_[u"song.mp3"]);
  EXPECT_TRUE(tree_.IsExpanded(roots_[FileCategory::Music]));
  EXPECT_FALSE(tree_.IsExpanded(roots_[FileCategory::Graphics]));
  EXPECT_FALSE(tree_.IsExpanded(files_[u"song.mp3"]));
}

TEST_F(FindTest, AFindReplacesTheEarlierSelection) {
  tree_.Select(files_[u"logo.png"]);
  tree_.Select(roots_[FileCategory::Video]);
  search_.FindNext("clip");
  ExpectShowing(files_[u"clip.mp4"]);
  EXPECT_FALSE(tree_.IsSelected(files_[u"logo.png"]));
}

TEST_F(FindTest, NoFurtherMatchBeepsAndChangesNothing) {
  search_.FindNext("notes");
  tree_.SetExpanded(roots_[FileCategory::Document], false);
  search_.FindNext("notes");
  EXPECT_EQ(view_.Beeps, 1);
  EXPECT_EQ(view_.Shown.size(), 1u);
  EXPECT_FALSE(tree_.IsExpanded(roots_[FileCategory::Document]));
  ExpectShowing(files_[u"notes.txt"]);
}

TEST_F(FindTest, ANodeMatchingInTwoColumnsIsFoundOncePerFindNext) {
  search_.FindNext("2021");
  ExpectShowing(files_[u"logo.png"]);
  search_.FindNext("2021");
  EXPECT_EQ(view_.Beeps, 1);
  EXPECT_EQ(view_.Shown.size(), 1u);
}

TEST_F(FindTest, AResetStartsTheNextFindAtTheTop) {
  search_.FindNext("files");
  search_.FindNext("files");
  ExpectShowing(roots_[FileCategory::Music]);
  search_.Reset();
  search_.FindNext("files");
  ExpectShowing(roots_[FileCategory::Graphics]);
}

TEST_F(FindTest, AnEmptyTextNeverMatches) {
  search_.FindNext("");
  EXPECT_EQ(view_.Beeps, 1);
  EXPECT_TRUE(view_.Shown.empty());
  EXPECT_TRUE(tree_.SelectedNodes().empty());
  EXPECT_EQ(search_.LastFoundNode(), nullptr);
}

TEST_F(FindTest, LettersOutsideAsciiMatchOnlyInTheSameCase) {
  search_.FindNext("\xC3\xA4rger");  // lower-case a with diaeresis
  EXPECT_EQ(view_.Beeps, 1);
  EXPECT_TRUE(view_.Shown.empty());
  search_.FindNext("\xC3\x84RGER.DOC");  // upper-case, ASCII letters in any case
  ExpectShowing(files_[u"\u00C4rger.doc"]);
}

TEST_F(FindTest, EmptyingTheTreeAndResettingLeavesNoStaleMatch) {
  search_.FindNext("song");
  search_.Reset();
  tree_.Clear();
  EXPECT_EQ(search_.LastFoundNode(), nullptr);
  search_.FindNext("song");
  EXPECT_EQ(view_.Beeps, 1);

  Fill();
  search_.FindNext("files");
  ExpectShowing(roots_[FileCategory::Graphics]);
}

// A walk over many files pauses for the window's events. A find asked for during a pause is not
// started, and a Reset during a pause (the dialog reopened, the tree emptied) ends the walk
// without a beep and without showing anything.
TEST_F(FindTest, ALongWalkPausesForEventsAndEndsQuietlyOnAReset) {
  constexpr int ExtraFiles = 2000;
  for (int number = 0; number < ExtraFiles; ++number) {
    tree_.NodeData(tree_.AddChild(roots_[FileCategory::Other]))->IsFileEntry = 1;
  }
  TreeSearch* search = nullptr;
  std::function<void()> duringPause;
  int pauses = 0;
  TreeSearch slow(
      tree_, ColumnCount,
      [this](const ResultNode& node, int column) {
        std::this_thread::sleep_for(std::chrono::microseconds(20));  // as date texts cost
        return CellText(tree_, node, column);
      },
      view_,
      [&] {
        ++pauses;
        EXPECT_TRUE(search->Searching());
        if (duringPause) duringPause();
      });
  search = &slow;

  duringPause = [&] { slow.FindNext("data.bin"); };
  slow.FindNext("no such name");
  EXPECT_GT(pauses, 0);
  EXPECT_EQ(view_.Beeps, 1);
  EXPECT_TRUE(view_.Shown.empty());
  EXPECT_FALSE(slow.Searching());

  pauses = 0;
  duringPause = [&] { slow.Reset(); };
  slow.FindNext("no such name");
  EXPECT_EQ(pauses, 1);
  EXPECT_EQ(view_.Beeps, 1);
  EXPECT_TRUE(view_.Shown.empty());
  EXPECT_TRUE(tree_.SelectedNodes().empty());

  duringPause = nullptr;
  slow.FindNext("data.bin");
  ExpectShowingIn(slow, files_[u"data.bin"]);
}

// The dialog drives the same search the tests above check.
class FindDialogTest : public FindTest {
 protected:
  QLineEdit& Text() { return *dialog_.findChild<QLineEdit*>("findText"); }

  FindDialog dialog_{search_, nullptr};
};

TEST_F(FindDialogTest, EnterInTheTextFindsTheNextMatch) {
  dialog_.Show();
  QTest::keyClicks(&Text(), "files");
  QTest::keyClick(&Text(), Qt::Key_Return);
  ExpectShowing(roots_[FileCategory::Graphics]);
  QTest::keyClick(&Text(), Qt::Key_Enter);
  ExpectShowing(roots_[FileCategory::Music]);
  EXPECT_FALSE(dialog_.isModal());
}

TEST_F(FindDialogTest, ReopeningKeepsTheTextAndStartsAtTheTop) {
  dialog_.Show();
  QTest::keyClicks(&Text(), "files");
  QTest::keyClick(&Text(), Qt::Key_Return);
  QTest::keyClick(&Text(), Qt::Key_Return);
  dialog_.hide();

  dialog_.Show();
  EXPECT_TRUE(dialog_.isVisible());
  EXPECT_EQ(Text().text(), "files");
  EXPECT_EQ(search_.LastFoundNode(), nullptr);
  QTest::keyClick(&Text(), Qt::Key_Return);
  ExpectShowing(roots_[FileCategory::Graphics]);
}

TEST_F(FindDialogTest, ShowingAnOpenDialogAgainBringsItForward) {
  dialog_.Show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog_));
  QWidget other;
  other.show();
  other.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&other));

  dialog_.Show();
  EXPECT_TRUE(QTest::qWaitForWindowActive(&dialog_));
}

// The tree view side, over a model that mirrors the result tree.
class TreeViewFindViewTest : public FindTest {
 protected:
  TreeViewFindViewTest() {
    for (FileCategory category : AllCategories) {
      auto* rootItem = new QStandardItem(QString::fromUtf8(CategoryCaption(category)));
      model_.appendRow(rootItem);
      items_[roots_[category]] = rootItem;
      for (size_t row = 0; row < tree_.ChildCount(roots_[category]); ++row) {
        ResultNode* file = tree_.Child(roots_[category], row);
        auto* fileItem = new QStandardItem(QString::fromStdU16String(file->Data().FileName));
        rootItem->appendRow(fileItem);
        items_[file] = fileItem;
      }
    }
    treeView_.setModel(&model_);
    treeView_.resize(300, 60);
  }

  QModelIndex IndexOf(const ResultNode& node) { return items_.at(&node)->index(); }

  QStandardItemModel model_;
  std::map<const ResultNode*, QStandardItem*> items_;
  QTreeView treeView_;
  TreeViewFindView treeFindView_{treeView_, [this](const ResultNode& node) { return IndexOf(node); }};
};

TEST_F(TreeViewFindViewTest, TheFoundNodeIsExpandedToCentredAndSelectedAloneWhileTheDialogKeepsTheKeyboard) {
  // Every category open but the found file's, in a view a few rows high.
  for (FileCategory category : AllCategories) {
    if (category != FileCategory::Document) treeView_.expand(IndexOf(*roots_[category]));
  }
  treeView_.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&treeView_));
  const int rowHeight = treeView_.visualRect(IndexOf(*roots_[FileCategory::Graphics])).height();
  ASSERT_GT(rowHeight, 0);
  treeView_.resize(300, treeView_.height() - treeView_.viewport()->height() + 5 * rowHeight);
  // The find dialog is the active window while the user searches.
  QWidget dialog;
  dialog.show();
  dialog.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  treeView_.selectionModel()->select(IndexOf(*roots_[FileCategory::Graphics]),
                                     QItemSelectionModel::Select | QItemSelectionModel::Rows);

  ResultNode* notes = files_[u"notes.txt"];
  treeFindView_.ShowFound(*notes);

  EXPECT_TRUE(treeView_.isExpanded(IndexOf(*roots_[FileCategory::Document])));
  EXPECT_FALSE(treeView_.isExpanded(IndexOf(*notes)));
  EXPECT_EQ(treeView_.selectionModel()->selectedRows(), QModelIndexList{IndexOf(*notes)});
  EXPECT_EQ(treeView_.currentIndex(), IndexOf(*notes));
  EXPECT_LE(std::abs(treeView_.visualRect(IndexOf(*notes)).center().y() - treeView_.viewport()->height() / 2),
            rowHeight / 2);
  // Enter in the find dialog finds the next match.
  QApplication::processEvents();
  EXPECT_EQ(QApplication::activeWindow(), &dialog);
}

}  // namespace
}  // namespace salvoran
