// The progress line of scan and recover: its text, and that only a terminal gets it.
#include <gtest/gtest.h>

#include "cli/ProgressLine.h"
#include "tests/fixtures/TestImages.h"
#include "tests/support/CommandRunner.h"
#include "tests/support/TempDir.h"

namespace salvoran::cli {
namespace {

constexpr uint64_t MiB = 1 << 20;
constexpr uint64_t GiB = 1 << 30;
constexpr char EraseLine[] = "\r\033[K";

TEST(ProgressText, AddsRateAndTimeLeftOnceTheyMeanSomething) {
  EXPECT_EQ(ProgressText("Scanning", ProgressUnit::Records, 256, 1024, 0.01), "Scanning: 256 of 1024 records (25%)");
  EXPECT_EQ(ProgressText("Scanning", ProgressUnit::Records, 2048, 8192, 1.0),
            "Scanning: 2048 of 8192 records (25%), 2048 records/s, 0:03 left");
  EXPECT_EQ(ProgressText("Restoring", ProgressUnit::Bytes, 1 * MiB, 4 * MiB, 2.0),
            "Restoring: 1.0 MB of 4.0 MB (25%), 512.0 KB/s, 0:06 left");
  EXPECT_EQ(ProgressText("Restoring", ProgressUnit::Bytes, 1 * GiB, 101 * GiB, 60.0),
            "Restoring: 1.0 GB of 101.0 GB (1%), 17.1 MB/s, 1:40:00 left");
  EXPECT_EQ(ProgressText("Restoring", ProgressUnit::Bytes, 4 * MiB, 4 * MiB, 2.0),
            "Restoring: 4.0 MB of 4.0 MB (100%), 2.0 MB/s");
  EXPECT_EQ(ProgressText("Restoring", ProgressUnit::Bytes, 0, 0, 2.0), "Restoring: 0 Bytes of 0 Bytes");
}

// On a terminal the line shows while the work runs and is gone at the end; stdout is the same as
// without one, and a pipe gets no progress at all.
TEST(ProgressLine, ShowsOnATerminalOnly) {
  using test::ErrorOutput;
  using test::RunSalvoran;
  // More than 256 records: the scan reports every 256.
  const std::string image = test::TestImagePath("fragmented-mft").string();
  const test::CommandResult piped = RunSalvoran({"scan", image});
  ASSERT_EQ(piped.ExitCode, 0);
  EXPECT_EQ(piped.Err, "");
  const test::CommandResult onTerminal = RunSalvoran({"scan", image}, 120, ErrorOutput::Terminal);
  ASSERT_EQ(onTerminal.ExitCode, 0);
  EXPECT_EQ(onTerminal.Out, piped.Out);
  EXPECT_NE(onTerminal.Err.find("Scanning: 256 of "), std::string::npos) << onTerminal.Err;
  EXPECT_TRUE(onTerminal.Err.ends_with(EraseLine)) << onTerminal.Err;

  const test::TempDir output;
  const test::CommandResult recover = RunSalvoran({"recover", image, "--all", "--output", output.Path().string()}, 120,
                                                  ErrorOutput::Terminal);
  ASSERT_EQ(recover.ExitCode, 0) << recover.Err;
  const size_t restoring = recover.Err.find("Restoring: 0 Bytes of ");
  EXPECT_NE(restoring, std::string::npos) << recover.Err;
  EXPECT_GT(restoring, recover.Err.find("Scanning: "));
  EXPECT_TRUE(recover.Err.ends_with(EraseLine)) << recover.Err;
}

}  // namespace
}  // namespace salvoran::cli
