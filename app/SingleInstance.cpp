#include "app/SingleInstance.h"

#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <memory>
#include <utility>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>

#include "support/Diagnostics.h"

namespace salvoran {
namespace {

constexpr int NotifyTimeoutMs = 2000;
// An image line holds a path of at most PATH_MAX bytes, each percent-encoded as three; anything
// longer, or more images than anyone names on a command line, is not from this program.
constexpr qint64 MaxLineBytes = 16 * 1024;
constexpr qsizetype MaxImagesPerNotice = 256;

QString RuntimeFolder() {
  const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  return runtime.isEmpty() ? QDir::tempPath() : runtime;
}

// A key is kept short, so that the socket's path fits its address (108 bytes).
constexpr qsizetype LongestSessionKey = 32;

// The logon session, as it tells itself apart from the others of the same user: the session's
// id, else the display it shows on. Empty for none (a script started outside any session).
QString SessionKey() {
  static constexpr std::array<std::pair<const char*, char>, 3> Sources = {
      {{"XDG_SESSION_ID", 's'}, {"WAYLAND_DISPLAY", 'w'}, {"DISPLAY", 'd'}}};
  for (const auto& [variable, kind] : Sources) {
    const QByteArray value = qgetenv(variable);
    if (value.isEmpty()) continue;
    QString key = QLatin1Char(kind) + QString::fromLatin1(value.toPercentEncoding("", "", '_'));
    if (key.size() > LongestSessionKey) {
      const QByteArray digest = QCryptographicHash::hash(value, QCryptographicHash::Sha256).toHex();
      key = QLatin1Char(kind) + QString::fromLatin1(digest.left(LongestSessionKey - 1));
    }
    return key;
  }
  return {};
}

// The user id is in the name as well: the temporary folder is shared by every user.
QString PerSessionPath(const QString& instanceName, const char* suffix) {
  QString name = instanceName + QLatin1Char('-') + QString::number(::getuid());
  if (const QString session = SessionKey(); !session.isEmpty()) name += QLatin1Char('-') + session;
  return QDir(RuntimeFolder()).filePath(name + QLatin1String(suffix));
}

// Only a process of this user may talk to the instance, and only to an instance of this user:
// without a runtime folder the socket lies in the temporary folder, which every user shares.
bool PeerIsThisUser(const QLocalSocket& socket) {
  ucred peer{};
  socklen_t length = sizeof peer;
  return ::getsockopt(static_cast<int>(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &peer, &length) == 0 &&
         peer.uid == ::getuid();
}

QByteArray ImageLine(const QString& path) {
  return ImageLinePrefix + QFile::encodeName(QFileInfo(path).absoluteFilePath()).toPercentEncoding() + '\n';
}

}  // namespace

SingleInstance::SingleInstance(QString instanceName, QObject* parent)
    : QObject(parent), instanceName_(std::move(instanceName)) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::LockFilePath(const QString& instanceName) { return PerSessionPath(instanceName, ".lock"); }

QString SingleInstance::ServerPath(const QString& instanceName) { return PerSessionPath(instanceName, ".socket"); }

StartDecision SingleInstance::Decide(bool autorunSwitch, const QStringList& imageFiles) {
  lock_ = std::make_unique<QLockFile>(LockFilePath(instanceName_));
  // A lock left by a process that died is recognised as stale and taken over.
  if (lock_->tryLock(0)) {
    Listen();
    return StartDecision::RunThisInstance;
  }
  if (lock_->error() != QLockFile::LockFailedError) {
    // No lock can be had at all (a folder without write access): better two instances than none.
    DebugTrace("single-instance lock unavailable: " + LockFilePath(instanceName_).toStdString());
    lock_.reset();
    return StartDecision::RunThisInstance;
  }
  lock_.reset();
  if (!autorunSwitch) NotifyRunningInstance(imageFiles);
  return StartDecision::EndQuietly;
}

void SingleInstance::Listen() {
  const QString path = ServerPath(instanceName_);
  // Holding the lock, a socket file that is there can only be left over from a process that died.
  QLocalServer::removeServer(path);
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  connect(server_, &QLocalServer::newConnection, this, &SingleInstance::AcceptConnections);
  if (!server_->listen(path)) DebugTrace("cannot listen at " + path.toStdString() + ": " + server_->errorString().toStdString());
}

void SingleInstance::AcceptConnections() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    if (!PeerIsThisUser(*socket)) {
      socket->abort();
      continue;
    }
    auto pending = std::make_shared<QStringList>();
    connect(socket, &QLocalSocket::readyRead, this, [this, socket, pending] { ReadMessages(*socket, *pending); });
    // Data may have arrived with the connection.
    ReadMessages(*socket, *pending);
  }
}

void SingleInstance::ReadMessages(QLocalSocket& socket, QStringList& pending) {
  while (socket.canReadLine()) {
    const QByteArray line = socket.readLine(MaxLineBytes);
    if (!line.endsWith('\n')) {
      socket.abort();
      return;
    }
    if (line == NotifyMessage) {
      emit LaterStart(std::exchange(pending, {}));
    } else if (line.startsWith(ImageLinePrefix) && pending.size() < MaxImagesPerNotice) {
      const QByteArray encoded = line.mid(qsizetype(sizeof ImageLinePrefix - 1)).chopped(1);
      pending.append(QFile::decodeName(QByteArray::fromPercentEncoding(encoded)));
    } else {
      socket.abort();
      return;
    }
  }
  if (socket.bytesAvailable() > MaxLineBytes) socket.abort();
}

void SingleInstance::NotifyRunningInstance(const QStringList& imageFiles) const {
  QLocalSocket socket;
  socket.connectToServer(ServerPath(instanceName_));
  // Nobody listening: the first instance is still starting, and there is nothing to tell it.
  if (!socket.waitForConnected(NotifyTimeoutMs)) return;
  if (!PeerIsThisUser(socket)) return;
  QByteArray message;
  qsizetype images = 0;
  for (const QString& path : imageFiles) {
    const QByteArray line = ImageLine(path);
    // What the instance would refuse would cost the whole notice; no real file is named so.
    if (line.size() >= MaxLineBytes || images == MaxImagesPerNotice) continue;
    message += line;
    ++images;
  }
  message += NotifyMessage;
  socket.write(message);
  socket.waitForBytesWritten(NotifyTimeoutMs);
  socket.disconnectFromServer();
  if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(NotifyTimeoutMs);
}

}  // namespace salvoran
