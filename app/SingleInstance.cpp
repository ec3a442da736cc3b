#include "app/SingleInstance.h"

#include <unistd.h>

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>

#include "support/Diagnostics.h"

namespace salvoran {
namespace {

constexpr int NotifyTimeoutMs = 2000;
// A notice is one short line; anything longer is not from this program.
constexpr qint64 MaxMessageBytes = 64;

QString RuntimeFolder() {
  const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  return runtime.isEmpty() ? QDir::tempPath() : runtime;
}

// The user id is in the name as well: the temporary folder is shared by every user.
QString PerUserPath(const QString& instanceName, const char* suffix) {
  return QDir(RuntimeFolder()).filePath(instanceName + QLatin1Char('-') + QString::number(::getuid()) +
                                        QLatin1String(suffix));
}

}  // namespace

SingleInstance::SingleInstance(QString instanceName, QObject* parent)
    : QObject(parent), instanceName_(std::move(instanceName)) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::LockFilePath(const QString& instanceName) { return PerUserPath(instanceName, ".lock"); }

QString SingleInstance::ServerPath(const QString& instanceName) { return PerUserPath(instanceName, ".socket"); }

StartDecision SingleInstance::Decide(bool autorunSwitch) {
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
  if (!autorunSwitch) NotifyRunningInstance();
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
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] { ReadMessages(*socket); });
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    // Data may have arrived with the connection.
    ReadMessages(*socket);
  }
}

void SingleInstance::ReadMessages(QLocalSocket& socket) {
  while (socket.canReadLine()) {
    const QByteArray line = socket.readLine(MaxMessageBytes);
    if (!line.endsWith('\n')) {
      socket.abort();
      return;
    }
    emit MessageReceived(line.chopped(1));
  }
  if (socket.bytesAvailable() > MaxMessageBytes) socket.abort();
}

void SingleInstance::NotifyRunningInstance() const {
  QLocalSocket socket;
  socket.connectToServer(ServerPath(instanceName_));
  // Nobody listening: the first instance is still starting, and there is nothing to tell it.
  if (!socket.waitForConnected(NotifyTimeoutMs)) return;
  socket.write(NotifyMessage);
  socket.waitForBytesWritten(NotifyTimeoutMs);
  socket.disconnectFromServer();
  if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(NotifyTimeoutMs);
}

}  // namespace salvoran
