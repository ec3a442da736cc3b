// The command line run as a user who may not read the device (not root, not in "disk"), on a
// read-only loop device over a generated image: it opens the device through the stand-in
// udisks2, and scans and restores as root would.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "support/Messages.h"
#include "tests/fixtures/TestImages.h"
#include "tests/support/CommandRunner.h"
#include "tests/support/CraftedVolume.h"
#include "tests/support/TempDir.h"
#include "tests/support/UnchangedSource.h"
#include "tests/udisks/PrivateBus.h"

namespace salvoran::test {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

constexpr char NobodyId[] = "65534";  // "nobody" and "nogroup" on Debian
constexpr mode_t AnyoneMayWrite = 0777;

class CommandLineAsUserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root, to make a loop device and to run as another user";
    const CommandResult loop = RunCommand({"losetup", "--find", "--show", "--read-only", image_.Image.string()});
    if (loop.ExitCode != 0) GTEST_SKIP() << "this machine does not let the test make a loop device: " << loop.Err;
    device_ = loop.Out.substr(0, loop.Out.find('\n'));
    ASSERT_FALSE(bus_.Address().isEmpty()) << "dbus-daemon did not start";
  }
  void TearDown() override {
    if (!device_.empty()) RunCommand({"losetup", "--detach", device_});
  }

  // salvoran as nobody, with the private bus as its system bus.
  CommandResult AsUser(const std::vector<std::string>& arguments) const {
    std::vector<std::string> command{"setpriv", std::string("--reuid=") + NobodyId,
                                     std::string("--regid=") + NobodyId, "--clear-groups", "env",
                                     "DBUS_SYSTEM_BUS_ADDRESS=" + bus_.Address().toStdString(), SALVORAN_CLI};
    command.insert(command.end(), arguments.begin(), arguments.end());
    return RunCommand(command);
  }

  QStringList ServiceArguments(const QStringList& extra = {}) const {
    const QString device = QString::fromStdString(device_);
    return QStringList{"--device", device + "=" + device} + extra;
  }

  const TestImage image_ = LoadTestImage("demo");
  const UnchangedSource source_{image_.Image.string()};
  PrivateBus bus_;
  std::string device_;
};

TEST_F(CommandLineAsUserTest, ScansAndRestoresThroughUdisksWhatRootWould) {
  FakeUdisks service(bus_.Address(), ServiceArguments());
  ASSERT_TRUE(service.Ready());
  const CommandResult scan = AsUser({"scan", device_, "--json"});
  ASSERT_EQ(scan.ExitCode, 0) << scan.Err;
  const CommandResult asRoot = RunSalvoran({"scan", image_.Image.string(), "--json"});
  ASSERT_EQ(asRoot.ExitCode, 0) << asRoot.Err;
  EXPECT_EQ(Json::parse(scan.Out)["files"], Json::parse(asRoot.Out)["files"]);

  TempDir output;
  ::chmod(output.Path().c_str(), AnyoneMayWrite);
  const CommandResult recover = AsUser({"recover", device_, "--all", "--output", output.Path().string(), "--json"});
  ASSERT_EQ(recover.ExitCode, 0) << recover.Err;
  const Json results = Json::parse(recover.Out)["results"];
  ASSERT_FALSE(results.empty());
  for (const Json& result : results) {
    const ManifestFile* file = image_.FindRecord(result["record"].get<int64_t>());
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(ReadWholeFile(fs::u8path(result["path"].get<std::string>())), ReadWholeFile(file->Expected))
        << file->Path;
  }
  // One grant per run: every restored file reopens the volume, but udisks2 is asked only once.
  EXPECT_EQ(service.Calls().filter("OpenDevice").size(), 2) << service.Calls().join('\n').toStdString();
}

TEST_F(CommandLineAsUserTest, WithoutUdisksSaysWhatToDo) {
  const CommandResult scan = AsUser({"scan", device_});
  EXPECT_EQ(scan.ExitCode, 2);
  EXPECT_NE(scan.Err.find(std::string(messages::OpenToScanFailed) + "Permission denied. " +
                          std::string(messages::UdisksUnavailable) + " " + std::string(messages::DiskGroupAdvice)),
            std::string::npos)
      << scan.Err;
}

TEST_F(CommandLineAsUserTest, RefusesADescriptorThatCouldWrite) {
  FakeUdisks service(bus_.Address(), ServiceArguments({"--writable"}));
  ASSERT_TRUE(service.Ready());
  const CommandResult scan = AsUser({"scan", device_});
  EXPECT_EQ(scan.ExitCode, 2);
  EXPECT_EQ(scan.Out, "");
  EXPECT_FALSE(service.Calls().filter("OpenDevice").isEmpty());
}

}  // namespace
}  // namespace salvoran::test
