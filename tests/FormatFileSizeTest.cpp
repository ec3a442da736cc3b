#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>

#include "support/FormatFileSize.h"
#include "tests/support/CommandRunner.h"
#include "tests/support/TempDir.h"

// With LOCPATH set, glibc's newlocale never frees the search list it builds from it; only the
// locale tests below set LOCPATH. Read by LeakSanitizer when the tests are built with it.
extern "C" const char* __lsan_default_suppressions() { return "leak:argz_add_sep\n"; }

namespace salvoran {
namespace {

const NumberSeparators CommaThousandsPointDecimal{",", "."};
const NumberSeparators PointThousandsCommaDecimal{".", ","};
const NumberSeparators NarrowSpaceThousandsCommaDecimal{"\u202F", ","};

struct SizeText {
  int64_t Size;
  const char* Text;
};

class FormatFileSizeTest : public ::testing::TestWithParam<SizeText> {};

TEST_P(FormatFileSizeTest, WritesTheSizeInTheLargestUnitUpToGigabytes) {
  EXPECT_EQ(FormatFileSize(GetParam().Size, CommaThousandsPointDecimal), GetParam().Text)
      << "size " << GetParam().Size;
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, FormatFileSizeTest,
    ::testing::Values(SizeText{0, "0 Bytes"}, SizeText{1, "1 Bytes"}, SizeText{999, "999 Bytes"},
                      SizeText{1023, "1,023 Bytes"}, SizeText{1024, "1.0 KB"}, SizeText{1280, "1.3 KB"},
                      SizeText{1536, "1.5 KB"}, SizeText{1048524, "1,023.9 KB"},
                      SizeText{1048525, "1,024.0 KB"}, SizeText{1048575, "1,024.0 KB"},
                      SizeText{1048576, "1.0 MB"}, SizeText{1073741823, "1,024.0 MB"},
                      SizeText{1073741824, "1.0 GB"}, SizeText{1099511627776, "1,024.0 GB"},
                      SizeText{1125899906842624, "1,048,576.0 GB"},
                      SizeText{std::numeric_limits<int64_t>::max(), "8,589,934,592.0 GB"},
                      SizeText{-1, ""}, SizeText{std::numeric_limits<int64_t>::min(), ""}));

TEST(FormatFileSizeSeparatorsTest, UsesTheSeparatorsItIsGiven) {
  EXPECT_EQ(FormatFileSize(1536, PointThousandsCommaDecimal), "1,5 KB");
  EXPECT_EQ(FormatFileSize(1023, PointThousandsCommaDecimal), "1.023 Bytes");
  EXPECT_EQ(FormatFileSize(1099511627776, PointThousandsCommaDecimal), "1.024,0 GB");
}

TEST(FormatFileSizeSeparatorsTest, WritesAMultiByteSeparatorWhole) {
  EXPECT_EQ(FormatFileSize(std::numeric_limits<int64_t>::max(), NarrowSpaceThousandsCommaDecimal),
            "8\u202F589\u202F934\u202F592,0 GB");
}

// Locales are read from a locale built for the test (only C locales may be installed), found
// through LOCPATH while a test needs it.
class LocaleSeparatorsTest : public ::testing::Test {
 protected:
  static constexpr const char* TestLocale = "xx_XX.UTF-8";

  static void SetUpTestSuite() {
    localeDir_ = new test::TempDir();
    const std::filesystem::path source = localeDir_->Path() / "numeric.src";
    std::ofstream(source) << "LC_NUMERIC\n"
                             "decimal_point \"<U002C>\"\n"
                             "thousands_sep \"<U202F>\"\n"
                             "grouping 3\n"
                             "END LC_NUMERIC\n";
    try {
      // -c: the missing categories only draw warnings, and a non-zero exit.
      test::RunCommand({"localedef", "-c", "-i", source.string(), "-f", "UTF-8",
                        (localeDir_->Path() / TestLocale).string()});
    } catch (const std::runtime_error&) {
      // localedef is missing; the tests that need the locale skip.
    }
  }

  static void TearDownTestSuite() {
    delete localeDir_;
    localeDir_ = nullptr;
  }

  void SetUp() override {
    if (!std::filesystem::exists(localeDir_->Path() / TestLocale / "LC_NUMERIC")) {
      GTEST_SKIP() << "localedef could not build a test locale";
    }
    const char* previous = std::getenv("LOCPATH");
    previousLocPath_ = previous ? std::optional<std::string>(previous) : std::nullopt;
    ::setenv("LOCPATH", localeDir_->Path().c_str(), 1);
  }

  void TearDown() override {
    if (IsSkipped()) return;
    if (previousLocPath_) {
      ::setenv("LOCPATH", previousLocPath_->c_str(), 1);
    } else {
      ::unsetenv("LOCPATH");
    }
  }

 private:
  static inline test::TempDir* localeDir_ = nullptr;
  std::optional<std::string> previousLocPath_;
};

TEST_F(LocaleSeparatorsTest, ReadsTheLocalesSeparatorsWhole) {
  const NumberSeparators separators = NumberSeparatorsOfLocale(TestLocale);
  EXPECT_EQ(separators.Thousands, "\u202F");
  EXPECT_EQ(separators.Decimal, ",");
}

TEST_F(LocaleSeparatorsTest, UserSeparatorsAreReadOnce) {
  const NumberSeparators first = UserNumberSeparators();
  const char* previous = std::getenv("LC_ALL");
  const std::optional<std::string> previousLcAll = previous ? std::optional<std::string>(previous) : std::nullopt;
  ::setenv("LC_ALL", TestLocale, 1);
  const NumberSeparators second = UserNumberSeparators();
  if (previousLcAll) {
    ::setenv("LC_ALL", previousLcAll->c_str(), 1);
  } else {
    ::unsetenv("LC_ALL");
  }
  EXPECT_EQ(second.Thousands, first.Thousands);
  EXPECT_EQ(second.Decimal, first.Decimal);
}

class UngroupedLocaleTest : public ::testing::TestWithParam<const char*> {};

TEST_P(UngroupedLocaleTest, FallsBackToCommaThousandsAndPointDecimal) {
  const NumberSeparators separators = NumberSeparatorsOfLocale(GetParam());
  EXPECT_EQ(separators.Thousands, ",");
  EXPECT_EQ(separators.Decimal, ".");
}

INSTANTIATE_TEST_SUITE_P(Locales, UngroupedLocaleTest, ::testing::Values("C", "POSIX", "no_SUCH.locale"));

}  // namespace
}  // namespace salvoran
