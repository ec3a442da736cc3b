#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/AutorunSwitch.h"

namespace salvoran {
namespace {

struct SwitchCase {
  const char* Argument;
  bool IsSwitch;
};

class AutorunSwitchTest : public ::testing::TestWithParam<SwitchCase> {};

TEST_P(AutorunSwitchTest, OneArgumentIsTheSwitchOnlyWithAMarkAndTheWholeWord) {
  const char* argv[] = {"corvath-salvoran", GetParam().Argument};
  EXPECT_EQ(IsAutorunSwitch(GetParam().Argument), GetParam().IsSwitch);
  EXPECT_EQ(HasAutorunSwitch(2, argv), GetParam().IsSwitch);
}

INSTANTIATE_TEST_SUITE_P(Arguments, AutorunSwitchTest,
                         ::testing::Values(SwitchCase{"-autorun", true}, SwitchCase{"/AUTORUN", true},
                                           SwitchCase{"\\AutoRun", true}, SwitchCase{"-aUtOrUn", true},
                                           SwitchCase{"autorun", false}, SwitchCase{"--autorun", false},
                                           SwitchCase{"-autorun=1", false}, SwitchCase{"-auto run", false},
                                           SwitchCase{"-autoru", false}, SwitchCase{"-autorunn", false},
                                           SwitchCase{" -autorun", false}, SwitchCase{"-", false},
                                           SwitchCase{"", false}, SwitchCase{"+autorun", false},
                                           // An accented letter is another word.
                                           SwitchCase{"-\xC3\xA1utorun", false}));

TEST(AutorunSwitchArgumentsTest, TheProgramsOwnNameIsNeverTheSwitch) {
  const char* argv[] = {"-autorun"};
  EXPECT_FALSE(HasAutorunSwitch(1, argv));
}

TEST(AutorunSwitchArgumentsTest, TheSwitchCountsInAnyPositionAfterTheName) {
  const char* argv[] = {"corvath-salvoran", "--verbose", "file", "/autorun", "-other"};
  EXPECT_TRUE(HasAutorunSwitch(5, argv));
}

TEST(AutorunSwitchArgumentsTest, TheWordSplitAcrossArgumentsIsNotTheSwitch) {
  const char* argv[] = {"corvath-salvoran", "-auto", "run"};
  EXPECT_FALSE(HasAutorunSwitch(3, argv));
}

}  // namespace
}  // namespace salvoran
