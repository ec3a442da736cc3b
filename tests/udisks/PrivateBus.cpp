#include "tests/udisks/PrivateBus.h"

#include <sys/stat.h>

#include <QFile>

namespace salvoran::test {
namespace {

constexpr int StartMs = 20'000;
constexpr int LogSettleMs = 100;
constexpr mode_t AnyoneMayEnter = 0755;

// Anyone may connect: the tests run clients as another user than the daemon's.
constexpr char BusConfiguration[] = R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <listen>unix:path=%1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_destination="*"/>
    <allow receive_sender="*"/>
  </policy>
</busconfig>
)";

}  // namespace

PrivateBus::PrivateBus() {
  ::chmod(dir_.Path().c_str(), AnyoneMayEnter);
  const QString directory = QString::fromStdString(dir_.Path().string());
  QFile configuration(directory + "/bus.conf");
  if (!configuration.open(QIODevice::WriteOnly)) return;
  configuration.write(QString::fromLatin1(BusConfiguration).arg(directory + "/bus").toUtf8());
  configuration.close();
  daemon_.setProcessChannelMode(QProcess::SeparateChannels);
  daemon_.start("dbus-daemon", {"--config-file=" + configuration.fileName(), "--print-address=1", "--nofork",
                                "--nopidfile"});
  if (!daemon_.waitForStarted(StartMs)) return;
  while (!daemon_.canReadLine() && daemon_.waitForReadyRead(StartMs)) {
  }
  address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
}

PrivateBus::~PrivateBus() {
  daemon_.kill();
  daemon_.waitForFinished(StartMs);
}

FakeUdisks::FakeUdisks(const QString& busAddress, const QStringList& arguments) {
  service_.start(FAKE_UDISKS_SERVICE, QStringList{"--address", busAddress} + arguments);
  if (!service_.waitForStarted(StartMs)) return;
  while (!output_.contains("ready\n") && service_.waitForReadyRead(StartMs)) {
    output_ += QString::fromUtf8(service_.readAllStandardOutput());
  }
  ready_ = output_.contains("ready\n");
}

FakeUdisks::~FakeUdisks() {
  service_.kill();
  service_.waitForFinished(StartMs);
}

QStringList FakeUdisks::Calls() {
  // Each call is logged before it is answered; the line may still be on its way here.
  service_.waitForReadyRead(LogSettleMs);
  output_ += QString::fromUtf8(service_.readAllStandardOutput());
  QStringList lines = output_.split('\n', Qt::SkipEmptyParts);
  lines.removeAll("ready");
  return lines;
}

}  // namespace salvoran::test
