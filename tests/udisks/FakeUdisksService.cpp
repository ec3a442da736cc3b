// A stand-in for udisks2 on a private bus: the part of its D-Bus interface the program uses,
// handing out real descriptors of the files it is told stand for the devices.
//
//   fake_udisks_service --address BUS --device /dev/loop7=/path/to/image [--refuse] [--writable]
//
// Prints "ready" once it owns the name, then one line per call it answers.
#include <fcntl.h>
#include <unistd.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QFile>
#include <QMap>
#include <QVariantMap>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

const QString ServiceName = QStringLiteral("org.freedesktop.UDisks2");
const QString BlockPathPrefix = QStringLiteral("/org/freedesktop/UDisks2/block_devices/");
const QString NotAuthorized = QStringLiteral("org.freedesktop.UDisks2.Error.NotAuthorizedCanObtain");
const QString Failed = QStringLiteral("org.freedesktop.UDisks2.Error.Failed");

void Log(const QString& line) {
  std::printf("%s\n", qPrintable(line));
  std::fflush(stdout);
}

struct Behaviour {
  bool Refuse = false;
  bool Writable = false;
};

class FakeBlock : public QObject, protected QDBusContext {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.UDisks2.Block")

 public:
  FakeBlock(QString device, QString file, Behaviour behaviour)
      : device_(std::move(device)), file_(std::move(file)), behaviour_(behaviour) {}

 public slots:
  QDBusUnixFileDescriptor OpenDevice(const QString& mode, const QVariantMap& /*options*/) {
    Log(QStringLiteral("OpenDevice %1 %2").arg(device_, mode));
    if (behaviour_.Refuse) {
      sendErrorReply(NotAuthorized, QStringLiteral("Not authorized to perform operation"));
      return {};
    }
    const int fd = ::open(QFile::encodeName(file_).constData(), (behaviour_.Writable ? O_RDWR : O_RDONLY) | O_CLOEXEC);
    if (fd < 0) {
      sendErrorReply(Failed, QStringLiteral("Error opening device %1").arg(device_));
      return {};
    }
    QDBusUnixFileDescriptor descriptor(fd);  // keeps a copy of its own
    ::close(fd);
    return descriptor;
  }

 private:
  QString device_;
  QString file_;
  Behaviour behaviour_;
};

class FakeManager : public QObject, protected QDBusContext {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.UDisks2.Manager")

 public:
  explicit FakeManager(QMap<QString, QString> objects) : objects_(std::move(objects)) {}

 public slots:
  QList<QDBusObjectPath> ResolveDevice(const QVariantMap& devspec, const QVariantMap& /*options*/) {
    const QString path = devspec.value(QStringLiteral("path")).toString();
    Log(QStringLiteral("ResolveDevice %1").arg(path));
    if (!objects_.contains(path)) return {};
    return {QDBusObjectPath(objects_.value(path))};
  }

 private:
  QMap<QString, QString> objects_;
};

}  // namespace

int main(int argc, char* argv[]) {
  QCoreApplication application(argc, argv);
  QCommandLineParser parser;
  const QCommandLineOption address("address", "The bus to serve on.", "address");
  const QCommandLineOption device("device", "DEVICE=FILE: what OpenDevice opens for DEVICE.", "mapping");
  const QCommandLineOption refuse("refuse", "Refuse every OpenDevice as polkit would.");
  const QCommandLineOption writable("writable", "Hand out descriptors open for writing too.");
  parser.addOptions({address, device, refuse, writable});
  parser.process(application);

  QDBusConnection bus = QDBusConnection::connectToBus(parser.value(address), QStringLiteral("fake-udisks"));
  if (!bus.isConnected()) {
    std::fprintf(stderr, "cannot connect: %s\n", qPrintable(bus.lastError().message()));
    return 1;
  }
  const Behaviour behaviour{parser.isSet(refuse), parser.isSet(writable)};
  QMap<QString, QString> objects;
  std::vector<std::unique_ptr<FakeBlock>> blocks;
  int index = 0;
  for (const QString& mapping : parser.values(device)) {
    const QString devicePath = mapping.section('=', 0, 0);
    const QString objectPath = BlockPathPrefix + QStringLiteral("fake%1").arg(index++);
    blocks.push_back(std::make_unique<FakeBlock>(devicePath, mapping.section('=', 1), behaviour));
    bus.registerObject(objectPath, blocks.back().get(), QDBusConnection::ExportAllSlots);
    objects.insert(devicePath, objectPath);
  }
  FakeManager manager(objects);
  bus.registerObject(QStringLiteral("/org/freedesktop/UDisks2/Manager"), &manager, QDBusConnection::ExportAllSlots);
  if (!bus.registerService(ServiceName)) {
    std::fprintf(stderr, "cannot own %s\n", qPrintable(ServiceName));
    return 1;
  }
  Log(QStringLiteral("ready"));
  return application.exec();
}

#include "FakeUdisksService.moc"
