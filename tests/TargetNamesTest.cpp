#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "recovery/RestoreFolder.h"
#include "recovery/TargetNames.h"
#include "tests/support/CraftedVolume.h"
#include "tests/support/TempDir.h"

namespace salvoran {
namespace {

namespace fs = std::filesystem;

constexpr size_t MaxNameBytes = 255;

// Well-formed UTF-8: no stray continuation byte, no cut sequence, no surrogate.
bool IsValidUtf8(const std::string& text) {
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || i + length > text.size()) return false;
    for (size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    }
    if (length == 3 && lead == 0xED && static_cast<unsigned char>(text[i + 1]) >= 0xA0) return false;
    i += length;
  }
  return true;
}

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// Everything a name must be to be created as one entry of the folder.
void ExpectSafe(const std::string& name) {
  EXPECT_FALSE(name.empty());
  EXPECT_NE(name, ".");
  EXPECT_NE(name, "..");
  EXPECT_LE(name.size(), MaxNameBytes) << name;
  EXPECT_TRUE(IsValidUtf8(name)) << name;
  for (char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    EXPECT_FALSE(c == '/' || c == '\\' || byte < 0x20 || byte == 0x7F) << "byte " << int{byte} << " in " << name;
  }
}

class HostileNameTest : public ::testing::TestWithParam<std::u16string> {};

TEST_P(HostileNameTest, SafeNameIsOneEntryOfTheFolder) {
  ExpectSafe(SafeFileName(GetParam()));
}

TEST_P(HostileNameTest, RestoredPathNeverLeavesTargetFolder) {
  test::TempDir folder;
  RestoreFolder output(folder.Path());
  for (int repeat = 0; repeat < 3; ++repeat) {
    const fs::path path = output.TargetFor(GetParam()).Path;
    EXPECT_EQ(path.parent_path(), folder.Path());
    EXPECT_EQ(path.lexically_normal().parent_path(), folder.Path());
    ExpectSafe(path.filename().string());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Names, HostileNameTest,
    ::testing::Values(std::u16string(u".."), std::u16string(u"."), std::u16string(), std::u16string(u"a/b"),
                      std::u16string(u"../../etc/passwd"), std::u16string(u"/"), std::u16string(u"a\\b"),
                      std::u16string(u"..\\..\\boot.ini"), std::u16string(u"nul\0byte.txt", 12),
                      std::u16string(u"bell\a\x1B[31mred\n.txt"), std::u16string(u"del\x7F.txt"),
                      std::u16string(u"\xD800lonely.txt"), std::u16string(300, u'.'),
                      std::u16string(255, u'\u00E9'), std::u16string(400, u'/')),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

struct NameMapping {
  std::u16string Name;
  std::string Safe;
};

class SafeNameTest : public ::testing::TestWithParam<NameMapping> {};

TEST_P(SafeNameTest, ReplacesOnlyWhatCannotBeInAName) {
  EXPECT_EQ(SafeFileName(GetParam().Name), GetParam().Safe);
}

INSTANTIATE_TEST_SUITE_P(
    Names, SafeNameTest,
    ::testing::Values(NameMapping{u"R\u00E9sum\u00E9.txt", "R\xC3\xA9sum\xC3\xA9.txt"},
                      NameMapping{u"\u4E2D\u6587 \U0001F600.doc", "\xE4\xB8\xAD\xE6\x96\x87 \xF0\x9F\x98\x80.doc"},
                      NameMapping{u"a/b", "a_b"}, NameMapping{u"a\\b.txt", "a_b.txt"},
                      NameMapping{std::u16string(u"a\0b.txt", 7), "a_b.txt"},
                      NameMapping{u"tab\there.txt", "tab_here.txt"},
                      NameMapping{u"...", "..."}, NameMapping{u".bashrc", ".bashrc"},
                      NameMapping{u"name with spaces.tar.gz", "name with spaces.tar.gz"}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

struct LongName {
  const char* Description;
  std::u16string Name;
  std::string Extension;  // kept whole
};

class LongNameTest : public ::testing::TestWithParam<LongName> {};

TEST_P(LongNameTest, CutsToTheFileSystemLimitOnACharacterBoundaryKeepingTheExtension) {
  const std::string safe = SafeFileName(GetParam().Name);
  EXPECT_LE(safe.size(), MaxNameBytes);
  EXPECT_GE(safe.size(), MaxNameBytes - 3) << "cut more than one character too many";
  EXPECT_TRUE(IsValidUtf8(safe));
  EXPECT_TRUE(EndsWith(safe, GetParam().Extension)) << safe;
}

INSTANTIATE_TEST_SUITE_P(
    Names, LongNameTest,
    ::testing::Values(LongName{"two-byte letters", std::u16string(251, u'\u00E9') + u".txt", ".txt"},
                      LongName{"three-byte letters", std::u16string(255, u'\u4E2D'), ""},
                      LongName{"three-byte letters with extension", std::u16string(250, u'\u6587') + u".pdf", ".pdf"},
                      LongName{"four-byte letters", [] {
                                 std::u16string name;
                                 for (int i = 0; i < 126; ++i) name += u"\U0001F600";
                                 return name + u".png";
                               }(),
                               ".png"},
                      LongName{"non-ASCII extension", std::u16string(240, u'a') + u"." + std::u16string(14, u'\u00E9'),
                               "." + [] {
                                 std::string extension;
                                 for (int i = 0; i < 14; ++i) extension += "\xC3\xA9";
                                 return extension;
                               }()}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

// Real volumes hold thousands of Thumbs.db and desktop.ini. Restored a second time into the
// same folder, each of them looks at the folder a few times, not at every number given before.
TEST(FolderNamesTest, NumberingGoesOnFromWhereTheNameStood) {
  constexpr unsigned Files = 1'000;
  std::set<std::string> onDisk;
  for (unsigned number = 1; number <= Files; ++number) onDisk.insert(NumberedName("Thumbs.db", number));
  FolderNames names;
  unsigned looks = 0;
  const auto exists = [&](const std::string& candidate) {
    ++looks;
    return onDisk.count(candidate) != 0;
  };
  std::string last;
  for (unsigned file = 0; file < Files; ++file) last = names.Unique("Thumbs.db", exists);
  EXPECT_EQ(last, "Thumbs (" + std::to_string(2 * Files) + ").db");
  EXPECT_LE(looks, 2 * Files);
  // A name given already is passed over like one on disk.
  EXPECT_EQ(names.Unique("Thumbs (1500).db", exists), "Thumbs (1500) (2).db");
}

class UniqueTargetNameTest : public ::testing::Test {
 protected:
  std::string Next(std::u16string_view name) { return output_.TargetFor(name).Name; }
  void CreateInFolder(const std::string& name) { test::WriteImage(folder_.Path() / name, test::ToBytes("x")); }

  test::TempDir folder_;
  RestoreFolder output_{folder_.Path()};
};

TEST_F(UniqueTargetNameTest, NumbersNamesTakenEarlierInTheSameRestore) {
  EXPECT_EQ(Next(u"report.txt"), "report.txt");
  EXPECT_EQ(Next(u"report.txt"), "report (2).txt");
  EXPECT_EQ(Next(u"report.txt"), "report (3).txt");
  EXPECT_EQ(Next(u"other.txt"), "other.txt");
}

TEST_F(UniqueTargetNameTest, NumbersNamesOfFilesAlreadyInTheFolder) {
  CreateInFolder("photo.jpg");
  CreateInFolder("photo (2).jpg");
  EXPECT_EQ(Next(u"photo.jpg"), "photo (3).jpg");
  EXPECT_EQ(Next(u"photo.jpg"), "photo (4).jpg");
}

TEST_F(UniqueTargetNameTest, ADanglingLinkInTheFolderCountsAsTaken) {
  fs::create_symlink(folder_.Path() / "nowhere", folder_.Path() / "link.txt");
  EXPECT_EQ(Next(u"link.txt"), "link (2).txt");
}

TEST_F(UniqueTargetNameTest, NumbersANameWithoutExtensionAtItsEnd) {
  EXPECT_EQ(Next(u"README"), "README");
  EXPECT_EQ(Next(u"README"), "README (2)");
  EXPECT_EQ(Next(u".bashrc"), ".bashrc");
  EXPECT_EQ(Next(u".bashrc"), ".bashrc (2)");
  EXPECT_EQ(Next(u"archive.tar.gz"), "archive.tar.gz");
  EXPECT_EQ(Next(u"archive.tar.gz"), "archive.tar (2).gz");
}

TEST_F(UniqueTargetNameTest, NumbersALongestNameWithinTheLimit) {
  const std::u16string original = std::u16string(251, u'\u00E9') + u".txt";
  const std::string longest = SafeFileName(original);
  EXPECT_EQ(Next(original), longest);
  const std::string second = Next(original);
  EXPECT_LE(second.size(), MaxNameBytes);
  EXPECT_TRUE(IsValidUtf8(second));
  EXPECT_TRUE(EndsWith(second, " (2).txt")) << second;
  EXPECT_NE(second, longest);
}

}  // namespace
}  // namespace salvoran
