// Signals sent to a real `salvoran recover` in the middle of copying a file: the restore stops,
// says so, exits with 128 + the signal's number, and leaves no partial file. The copy is held at
// a known point by a preloaded library (support/PauseAtFirstPartWrite.cpp), not raced.
#include <gtest/gtest.h>
#include <signal.h>
#include <string.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "tests/fixtures/TestImages.h"
#include "tests/support/CommandRunner.h"
#include "tests/support/TempDir.h"

namespace salvoran::test {
namespace {

namespace fs = std::filesystem;

constexpr auto WaitLimit = std::chrono::seconds(60);
constexpr auto PollPause = std::chrono::milliseconds(5);
// Of the demo volume: a file of 25 runs, so its copy takes many writes, then a small one.
constexpr char ManyRunsRecord[] = "75";
constexpr char SmallFileRecord[] = "87";

void WaitFor(const std::function<bool()>& condition, const std::string& what) {
  const auto deadline = std::chrono::steady_clock::now() + WaitLimit;
  while (!condition()) {
    ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "still waiting for " << what;
    std::this_thread::sleep_for(PollPause);
  }
}

// True once no signal sent to the process waits for delivery.
bool NoSignalPending(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("ShdPnd:", 0) == 0) return line.find_first_not_of("0\t ", 7) == std::string::npos;
  }
  return true;
}

class InterruptedRestore : public testing::Test {
 protected:
  // Starts the restore of the two files and waits until the first write of the first one is done.
  std::unique_ptr<RunningCommand> StartAndPause(bool pauseForever) {
    std::vector<std::string> environment{"LD_PRELOAD=" SALVORAN_PAUSE_SHIM, "SALVORAN_PAUSE_MARKER=" + marker_.string(),
                                         // The sanitizer build's runtime would refuse a preloaded library.
                                         "ASAN_OPTIONS=verify_asan_link_order=0"};
    if (pauseForever) environment.push_back("SALVORAN_PAUSE_FOREVER=1");
    auto command = std::make_unique<RunningCommand>(
        std::vector<std::string>{SALVORAN_CLI, "recover", TestImagePath("demo").string(), "--record", ManyRunsRecord,
                                 "--record", SmallFileRecord, "--output", output_.string()},
        environment);
    WaitFor([&] { return fs::exists(marker_); }, "the first write");
    return command;
  }

  void ExpectOutputFolderEmpty() {
    for (const auto& entry : fs::directory_iterator(output_)) ADD_FAILURE() << "left behind: " << entry.path();
  }

  TempDir folder_;
  fs::path marker_ = folder_.Path() / "paused";
  fs::path output_ = folder_.Path() / "restored";
};

class StopSignal : public InterruptedRestore, public testing::WithParamInterface<int> {};

TEST_P(StopSignal, StopsTheCopyRemovesItAndSaysWhatWasDone) {
  const std::unique_ptr<RunningCommand> command = StartAndPause(false);
  ASSERT_EQ(::kill(command->Pid(), GetParam()), 0);
  const CommandResult result = command->Finish();
  EXPECT_EQ(result.ExitCode, 128 + GetParam()) << result.Err;
  EXPECT_NE(result.Err.find(std::string("Restore interrupted by SIG") + ::sigabbrev_np(GetParam()) +
                            " after 0 of 2 files (0 restored, 0 failed); the other 2 were not restored"),
            std::string::npos)
      << result.Err;
  EXPECT_NE(result.Out.find("0 of 0 files restored."), std::string::npos) << result.Out;
  ExpectOutputFolderEmpty();
}

INSTANTIATE_TEST_SUITE_P(Signals, StopSignal, testing::Values(SIGINT, SIGTERM, SIGHUP),
                         [](const auto& info) { return std::string("SIG") + ::sigabbrev_np(info.param); });

// A copy that does not come back from its write (a dead disk, a hung network target): the
// first signal cannot be acted on, the second removes the file and ends the process at once.
TEST_F(InterruptedRestore, ASecondSignalEndsAStuckCopyAtOnce) {
  const std::unique_ptr<RunningCommand> command = StartAndPause(true);
  ASSERT_EQ(::kill(command->Pid(), SIGINT), 0);
  WaitFor([&] { return NoSignalPending(command->Pid()); }, "the first signal to be taken");
  ASSERT_EQ(::kill(command->Pid(), SIGTERM), 0);
  const CommandResult result = command->Finish();
  EXPECT_EQ(result.ExitCode, 128 + SIGTERM) << result.Err;
  EXPECT_NE(result.Err.find("the file being written was removed"), std::string::npos) << result.Err;
  ExpectOutputFolderEmpty();
}

}  // namespace
}  // namespace salvoran::test
