// Where a restore that keeps folders puts files whose folder names no driver would write; the
// real trees, and links planted in the output folder, are in CliRecoverTest.
#include <gtest/gtest.h>

#include <fstream>

#include "recovery/RestoreFolder.h"
#include "tests/support/TempDir.h"

namespace salvoran::test {
namespace {

namespace fs = std::filesystem;

TEST(RestoreFolderTest, EveryPartStaysInsideTheOutputFolder) {
  const TempDir output;
  std::ofstream(output.Path() / "a") << "a file where a folder is wanted";
  RestoreFolder folder(output.Path());
  const struct {
    std::string_view Original;
    const char* Relative;
  } cases[] = {
      {"/", "f"},
      {"/../../etc", "unnamed/unnamed/etc/f"},
      {"/./x//y", "unnamed/x/y/f"},
      {"/a/b", "a (2)/b/f"},
      {"b\x01/c", "(path unknown)/b_/c/f"},
      {"", "(path unknown)/f"},
  };
  for (const auto& [original, relative] : cases) {
    const RestoreTarget target = folder.TargetFor(u"f", original);
    EXPECT_EQ(target.Path, output.Path() / relative) << original;
    EXPECT_TRUE(fs::is_directory(fs::symlink_status(target.Path.parent_path()))) << original;
  }
  // A second file of the same name in the same folder gets its own name.
  EXPECT_EQ(folder.TargetFor(u"f", "/").Path, output.Path() / "f (2)");
  EXPECT_EQ(folder.TargetFor(u"f", std::nullopt).Path, output.Path() / "f (3)");
}

}  // namespace
}  // namespace salvoran::test
