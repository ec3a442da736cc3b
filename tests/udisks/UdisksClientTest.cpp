// The udisks2 client against a stand-in service on a private bus: the D-Bus protocol is real, the
// service hands out real descriptors.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/Messages.h"
#include "tests/support/TempDir.h"
#include "tests/udisks/PrivateBus.h"
#include "udisks/UdisksClient.h"

namespace salvoran {
namespace {

namespace fs = std::filesystem;

constexpr char VolumeBytes[] = "the bytes of a volume";

class UdisksClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(bus_.Address().isEmpty()) << "dbus-daemon did not start";
    std::ofstream(image_) << VolumeBytes;
    std::ofstream(node_) << "";
  }

  QStringList ServiceArguments(const QStringList& extra = {}) const {
    return QStringList{"--device", QString::fromStdString(node_.string() + "=" + image_.string())} + extra;
  }

  void TearDown() override { QDBusConnection::disconnectFromBus(ConnectionName); }

  UdisksClient Client() const { return UdisksClient(QDBusConnection::connectToBus(bus_.Address(), ConnectionName)); }

  // Each test has a bus of its own, and so a connection of its own.
  const QString ConnectionName = QStringLiteral("client");

  test::PrivateBus bus_;
  test::TempDir folder_;
  // Stands for the device node: the client looks at it to tell one device from the next.
  fs::path node_ = folder_.Path() / "loop7";
  fs::path image_ = folder_.Path() / "volume.img";
};

std::string ReadAll(int fd) {
  char buffer[sizeof VolumeBytes] = {};
  const ssize_t got = ::pread(fd, buffer, sizeof buffer - 1, 0);
  return got > 0 ? std::string(buffer, static_cast<size_t>(got)) : std::string();
}

TEST_F(UdisksClientTest, HandsOverADescriptorOfTheDeviceOpenForReadingOnly) {
  test::FakeUdisks service(bus_.Address(), ServiceArguments());
  ASSERT_TRUE(service.Ready());
  UdisksClient client = Client();
  const GrantedDescriptor granted = client.OpenForReading(node_.string());
  ASSERT_GE(granted.Descriptor, 0) << granted.Explanation;
  EXPECT_EQ(ReadAll(granted.Descriptor), VolumeBytes);
  EXPECT_EQ(::fcntl(granted.Descriptor, F_GETFL) & O_ACCMODE, O_RDONLY);
  ::close(granted.Descriptor);
  const QString node = QString::fromStdString(node_.string());
  EXPECT_EQ(service.Calls(), (QStringList{"ResolveDevice " + node, "OpenDevice " + node + " r"}));
}

TEST_F(UdisksClientTest, AsksOnceForTheSameDeviceNodeAndAgainForANewOne) {
  test::FakeUdisks service(bus_.Address(), ServiceArguments());
  ASSERT_TRUE(service.Ready());
  UdisksClient client = Client();
  for (int open = 0; open < 3; ++open) {
    const GrantedDescriptor granted = client.OpenForReading(node_.string());
    ASSERT_GE(granted.Descriptor, 0) << granted.Explanation;
    EXPECT_EQ(ReadAll(granted.Descriptor), VolumeBytes);
    ::close(granted.Descriptor);
  }
  EXPECT_EQ(service.Calls().filter("OpenDevice").size(), 1);

  // A disk plugged in where another was gets a node of its own.
  const fs::path replacement = folder_.Path() / "new-node";
  std::ofstream(replacement) << "";
  fs::rename(replacement, node_);
  const GrantedDescriptor granted = client.OpenForReading(node_.string());
  ASSERT_GE(granted.Descriptor, 0) << granted.Explanation;
  ::close(granted.Descriptor);
  EXPECT_EQ(service.Calls().filter("OpenDevice").size(), 2);
}

TEST_F(UdisksClientTest, ARefusalSaysSoAndWhatToDo) {
  test::FakeUdisks service(bus_.Address(), ServiceArguments({"--refuse"}));
  ASSERT_TRUE(service.Ready());
  const GrantedDescriptor granted = Client().OpenForReading(node_.string());
  EXPECT_LT(granted.Descriptor, 0);
  EXPECT_EQ(granted.ErrorCode, EACCES);
  EXPECT_EQ(granted.Explanation, std::string(messages::UdisksRefused) + "Not authorized to perform operation. " +
                                     std::string(messages::DiskGroupAdvice));
}

TEST_F(UdisksClientTest, WithoutUdisksOnTheBusSaysSoAndWhatToDo) {
  const GrantedDescriptor granted = Client().OpenForReading(node_.string());
  EXPECT_LT(granted.Descriptor, 0);
  EXPECT_EQ(granted.ErrorCode, EACCES);
  EXPECT_EQ(granted.Explanation,
            std::string(messages::UdisksUnavailable) + " " + std::string(messages::DiskGroupAdvice));
}

}  // namespace
}  // namespace salvoran

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
