// The desktop program's drive list and scan as a user who may not read the device (not root, not
// in "disk"), under Xvfb. umockdev stands in for the machine's udev database and sysfs (a disk
// sdx whose partition sdx1 udev knows as NTFS); its device node is not readable, so the scan
// goes through a stand-in udisks2 on a private bus, which hands out a descriptor of a generated
// volume.
#include <sys/stat.h>
#include <unistd.h>

#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <fstream>

#include "support/StringTable.h"
#include "tests/fixtures/TestImages.h"
#include "tests/gui/WindowDriver.h"
#include "tests/support/TempDir.h"
#include "tests/udisks/PrivateBus.h"
#include "udisks/UdisksFallback.h"

namespace salvoran {
namespace {

constexpr char ChildVariable[] = "SALVORAN_NORMAL_USER_CHILD";
constexpr char NobodyId[] = "65534";  // "nobody" and "nogroup" on Debian
constexpr int ChildTimeoutMs = 120'000;
constexpr char Device[] = "/dev/sdx1";
constexpr mode_t AnyoneMayEnter = 0755;

// What udev and sysfs would say of a fixed disk with one NTFS partition (umockdev-record's
// format). The label has a blank, which udev escapes.
constexpr char MachineDescription[] = R"(P: /devices/virtual/block/sdx
N: sdx
E: DEVNAME=/dev/sdx
E: DEVTYPE=disk
E: MAJOR=8
E: MINOR=240
E: SUBSYSTEM=block
E: ID_PART_TABLE_TYPE=dos
A: dev=8:240\n
A: removable=0\n
A: size=65536\n

P: /devices/virtual/block/sdx/sdx1
N: sdx1
E: DEVNAME=/dev/sdx1
E: DEVTYPE=partition
E: MAJOR=8
E: MINOR=241
E: SUBSYSTEM=block
E: ID_FS_TYPE=ntfs
E: ID_FS_LABEL=Holiday_2023
E: ID_FS_LABEL_ENC=Holiday\x202023
A: dev=8:241\n
A: partition=1\n
A: size=32768\n
)";

// umockdev makes device nodes as files and shows them as block devices while their sticky bit is
// set: this node is one that only root may read.
constexpr char LockNodeThenRun[] = R"(chmod 1000 "$UMOCKDEV_DIR/dev/sdx1" && exec "$@")";

}  // namespace

class NormalUserDrivesTest : public QObject {
  Q_OBJECT

 private slots:
  void aUserWhoMayNotReadTheDeviceSeesItAndScansItThroughUdisks() {
    if (qEnvironmentVariableIsSet(ChildVariable)) QSKIP("the child's part runs on its own");
    for (const char* tool : {"umockdev-run", "xvfb-run", "dbus-daemon", "setpriv"}) {
      if (QStandardPaths::findExecutable(tool).isEmpty()) QSKIP(qPrintable(QStringLiteral("%1 is missing").arg(tool)));
    }
    test::PrivateBus bus;
    QVERIFY(!bus.Address().isEmpty());
    const QString volume = QString::fromStdString(test::TestImagePath("demo").string());
    test::FakeUdisks service(bus.Address(), {"--device", QString(Device) + "=" + volume});
    QVERIFY(service.Ready());
    ::chmod(folder_.Path().c_str(), AnyoneMayEnter);
    const std::string description = (folder_.Path() / "machine.umockdev").string();
    std::ofstream(description) << MachineDescription;

    QStringList command;
    // Root may read any device: the child runs as nobody then.
    if (::geteuid() == 0) command << "setpriv" << QStringLiteral("--reuid=%1").arg(NobodyId)
                                  << QStringLiteral("--regid=%1").arg(NobodyId) << "--clear-groups";
    command << "env" << "-u" << "QT_QPA_PLATFORM" << QStringLiteral("%1=1").arg(ChildVariable)
            << "DBUS_SYSTEM_BUS_ADDRESS=" + bus.Address() << "HOME=" + QString::fromStdString(folder_.Path().string())
            << "xvfb-run" << "--auto-servernum" << "umockdev-run" << "--device" << QString::fromStdString(description)
            << "--" << "sh" << "-c" << LockNodeThenRun << "sh" << QCoreApplication::applicationFilePath()
            << "theChildsPart";
    QProcess child;
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(command.takeFirst(), command);
    QVERIFY(child.waitForFinished(ChildTimeoutMs));
    const QString output = QString::fromUtf8(child.readAll());
    QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0, qPrintable(output));
    QVERIFY2(output.contains("PASS   : salvoran::NormalUserDrivesTest::theChildsPart()"), qPrintable(output));
    QVERIFY2(service.Calls().contains(QString("OpenDevice ") + Device + " r"), qPrintable(service.Calls().join('\n')));
  }

  void theChildsPart() {
    if (!qEnvironmentVariableIsSet(ChildVariable)) QSKIP("runs as the other user, started by the test above");
    QVERIFY(::access(Device, R_OK) != 0);
    const UdisksFallback udisks;  // as the program installs it
    const test::WarningRecorder warnings;
    TfrmSalvoran window;
    window.show();
    auto* drives = window.findChild<QComboBox*>("DriveComboBox");
    QCOMPARE(drives->count(), 1);
    QCOMPARE(drives->itemText(0), QString(Device) + QString::fromUtf8(" \u2014 Holiday 2023 (16.0 MB)"));
    QTest::mouseClick(window.findChild<QPushButton*>("btnScanNow"), Qt::LeftButton);
    QCOMPARE(warnings.Warnings, std::vector<std::string>{});
    QCOMPARE(window.Geometry().DrivePath.Path, std::string(Device));
    const test::TestImage volume = test::LoadTestImage("demo");
    QCOMPARE(window.findChild<RestoreTree*>("RestoreTree")->Tree().TotalCount(),
             static_cast<int>(volume.ListedDeletedFiles().size() + AllCategories.size()));
  }

 private:
  test::TempDir folder_;
};

}  // namespace salvoran

QTEST_MAIN(salvoran::NormalUserDrivesTest)
#include "NormalUserDrivesTest.moc"
