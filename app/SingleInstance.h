#pragma once

#include <memory>

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

class QLocalServer;
class QLocalSocket;
class QLockFile;

namespace salvoran {

inline constexpr char InstanceName[] = "Corvath Salvorin";
// What a later start without the autorun switch tells the running instance: a line for each image
// file it was given, the prefix followed by the path's bytes percent-encoded, then the notice.
inline constexpr char ImageLinePrefix[] = "image ";
inline constexpr char NotifyMessage[] = "1579\n";

enum class StartDecision {
  RunThisInstance,  // no other instance: carry on
  EndQuietly        // another instance runs or is starting: end with exit code 0
};

// One instance per logon session of a user: another session, or another display, runs its own.
// A lock file in the user's runtime folder decides which start runs; the running instance
// listens on a local socket beside it for later starts.
class SingleInstance : public QObject {
  Q_OBJECT

 public:
  explicit SingleInstance(QString instanceName = QString::fromUtf8(InstanceName), QObject* parent = nullptr);
  ~SingleInstance() override;

  // Needs a QCoreApplication. After RunThisInstance the lock and the socket are held until this
  // object goes, so main keeps it for the life of the program. EndQuietly follows a notice to the
  // running instance with the image files of this start, unless autorunSwitch; a start that finds
  // the lock held but nobody listening yet ends without a notice.
  StartDecision Decide(bool autorunSwitch, const QStringList& imageFiles = {});

  // Named after the instance, the user and the session (XDG_SESSION_ID, else WAYLAND_DISPLAY,
  // else DISPLAY), in the user's runtime folder (the temporary folder when there is none).
  static QString LockFilePath(const QString& instanceName);
  static QString ServerPath(const QString& instanceName);

 signals:
  // A later start without the autorun switch, with its image files as absolute paths.
  void LaterStart(const QStringList& imageFiles);

 private:
  void Listen();
  void AcceptConnections();
  // Reads what has arrived; pending keeps the image files of a notice not yet complete.
  void ReadMessages(QLocalSocket& socket, QStringList& pending);
  void NotifyRunningInstance(const QStringList& imageFiles) const;

  QString instanceName_;
  std::unique_ptr<QLockFile> lock_;
  QLocalServer* server_ = nullptr;
};

}  // namespace salvoran
