#include "udisks/UdisksClient.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDBusArgument>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QFile>
#include <QVariantMap>
#include <cerrno>

#include "support/Messages.h"

namespace salvoran {
namespace {

const QString ServiceName = QStringLiteral("org.freedesktop.UDisks2");
const QString ManagerPath = QStringLiteral("/org/freedesktop/UDisks2/Manager");
const QString ManagerInterface = QStringLiteral("org.freedesktop.UDisks2.Manager");
const QString BlockInterface = QStringLiteral("org.freedesktop.UDisks2.Block");
const QString ReadOnlyMode = QStringLiteral("r");
const QString DevicePathKey = QStringLiteral("path");
constexpr int ResolveTimeoutMs = 25'000;
// Long enough for the user to read polkit's question and type a password.
constexpr int AuthorizationTimeoutMs = 300'000;

std::string WithAdvice(const std::string& reason) { return reason + " " + std::string(messages::DiskGroupAdvice); }

GrantedDescriptor Unavailable() { return {-1, EACCES, WithAdvice(std::string(messages::UdisksUnavailable))}; }

GrantedDescriptor Refused(const QDBusMessage& reply) {
  return {-1, EACCES, WithAdvice(std::string(messages::UdisksRefused) + reply.errorMessage().toStdString() + ".")};
}

// No one on the bus answers for udisks2, or there is no bus at all.
bool MeansNoService(const QDBusMessage& reply) {
  const QDBusError::ErrorType type = QDBusError(reply).type();
  return type == QDBusError::ServiceUnknown || type == QDBusError::NoServer || type == QDBusError::Disconnected ||
         type == QDBusError::NoNetwork || type == QDBusError::Timeout;
}

}  // namespace

UdisksClient::UdisksClient(QDBusConnection bus) : bus_(std::move(bus)) {}

UdisksClient::~UdisksClient() {
  for (const auto& [path, grant] : granted_) ::close(grant.Descriptor);
}

std::optional<UdisksClient::NodeIdentity> UdisksClient::IdentityOf(const std::string& devicePath) {
  struct stat node {};
  if (::stat(devicePath.c_str(), &node) != 0) return std::nullopt;
  return NodeIdentity{node.st_dev, node.st_ino, node.st_rdev};
}

GrantedDescriptor UdisksClient::OpenForReading(const std::string& devicePath) {
  const std::optional<NodeIdentity> node = IdentityOf(devicePath);
  if (const auto held = granted_.find(devicePath); held != granted_.end()) {
    if (node == held->second.Node) {
      const int copy = ::fcntl(held->second.Descriptor, F_DUPFD_CLOEXEC, 0);
      return copy >= 0 ? GrantedDescriptor{copy, 0, {}} : GrantedDescriptor{-1, errno, {}};
    }
    ::close(held->second.Descriptor);
    granted_.erase(held);
  }
  GrantedDescriptor granted = AskUdisks(devicePath);
  if (granted.Descriptor < 0 || !node) return granted;
  const int kept = ::fcntl(granted.Descriptor, F_DUPFD_CLOEXEC, 0);
  if (kept >= 0) granted_[devicePath] = {kept, *node};
  return granted;
}

GrantedDescriptor UdisksClient::AskUdisks(const std::string& devicePath) {
  if (!bus_.isConnected()) return Unavailable();
  QDBusMessage resolve = QDBusMessage::createMethodCall(ServiceName, ManagerPath, ManagerInterface,
                                                        QStringLiteral("ResolveDevice"));
  resolve << QVariantMap{{DevicePathKey, QFile::decodeName(devicePath.c_str())}} << QVariantMap{};
  const QDBusMessage resolved = bus_.call(resolve, QDBus::Block, ResolveTimeoutMs);
  if (resolved.type() == QDBusMessage::ErrorMessage) return MeansNoService(resolved) ? Unavailable() : Refused(resolved);
  const QList<QDBusObjectPath> objects =
      resolved.arguments().isEmpty() ? QList<QDBusObjectPath>()
                                     : qdbus_cast<QList<QDBusObjectPath>>(resolved.arguments().constFirst());
  if (objects.isEmpty()) return {-1, EACCES, WithAdvice(std::string(messages::UdisksUnknownDevice))};

  // OpenDevice with mode "r" opens for reading and nothing else; OpenForBackup, which older
  // udisks2 versions have instead, also opens exclusively and so fails on a mounted volume.
  QDBusMessage open =
      QDBusMessage::createMethodCall(ServiceName, objects.constFirst().path(), BlockInterface, QStringLiteral("OpenDevice"));
  open << ReadOnlyMode << QVariantMap{};
  open.setInteractiveAuthorizationAllowed(true);
  QDBusMessage opened = bus_.call(open, QDBus::Block, AuthorizationTimeoutMs);
  if (opened.type() == QDBusMessage::ErrorMessage && QDBusError(opened).type() == QDBusError::UnknownMethod) {
    QDBusMessage backup = QDBusMessage::createMethodCall(ServiceName, objects.constFirst().path(), BlockInterface,
                                                         QStringLiteral("OpenForBackup"));
    backup << QVariantMap{};
    backup.setInteractiveAuthorizationAllowed(true);
    opened = bus_.call(backup, QDBus::Block, AuthorizationTimeoutMs);
  }
  if (opened.type() == QDBusMessage::ErrorMessage) return MeansNoService(opened) ? Unavailable() : Refused(opened);
  const QDBusUnixFileDescriptor descriptor =
      opened.arguments().isEmpty() ? QDBusUnixFileDescriptor()
                                   : qdbus_cast<QDBusUnixFileDescriptor>(opened.arguments().constFirst());
  if (!descriptor.isValid()) return Unavailable();
  // The message's descriptor closes with it: the caller gets a copy of its own.
  const int fd = ::fcntl(descriptor.fileDescriptor(), F_DUPFD_CLOEXEC, 0);
  if (fd < 0) return {-1, errno, {}};
  return {fd, 0, {}};
}

}  // namespace salvoran
