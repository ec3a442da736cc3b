#include <gtest/gtest.h>

#include <QByteArray>
#include <QDeadlineTimer>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocalSocket>
#include <QLockFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <utility>
#include <vector>

#include "app/SingleInstance.h"

namespace salvoran {
namespace {

constexpr int WaitMs = 10000;

// Real processes starting as the program does (tests/gui/SingleInstanceProbe.cpp), each test in
// a runtime folder of its own so that no real instance is ever disturbed.
class SingleInstanceTest : public ::testing::Test {
 protected:
  SingleInstanceTest() : previousRuntime_(qgetenv("XDG_RUNTIME_DIR")), hadRuntime_(qEnvironmentVariableIsSet("XDG_RUNTIME_DIR")) {
    qputenv("XDG_RUNTIME_DIR", runtime_.path().toLocal8Bit());
  }
  ~SingleInstanceTest() override {
    for (const auto& probe : probes_) {
      probe->kill();
      probe->waitForFinished(WaitMs);
    }
    if (hadRuntime_) {
      qputenv("XDG_RUNTIME_DIR", previousRuntime_);
    } else {
      qunsetenv("XDG_RUNTIME_DIR");
    }
  }

  QProcess& Start(const QStringList& arguments = {},
                  const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
    auto& probe = *probes_.emplace_back(std::make_unique<QProcess>());
    probe.setProcessEnvironment(environment);
    probe.start(SINGLE_INSTANCE_PROBE, arguments);
    EXPECT_TRUE(probe.waitForStarted(WaitMs));
    return probe;
  }

  // A later start, run to its end: its output, and its exit code through exitCode.
  QByteArray RunToEnd(const QStringList& arguments, int& exitCode,
                      const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
    QProcess& probe = Start(arguments, environment);
    EXPECT_TRUE(probe.waitForFinished(WaitMs));
    EXPECT_EQ(probe.exitStatus(), QProcess::NormalExit);
    exitCode = probe.exitCode();
    return probe.readAllStandardOutput();
  }

  // A first instance, once it holds the lock and listens.
  QProcess& StartRunning(const QStringList& arguments = {},
                         const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
    QProcess& probe = Start(arguments, environment);
    EXPECT_EQ(WaitForOutput(probe, "run\n"), "run\n");
    return probe;
  }

  // All the output until it is at least as long as expected, or the wait ends.
  static QByteArray WaitForOutput(QProcess& probe, const QByteArray& expected) {
    QByteArray output;
    const QDeadlineTimer deadline(WaitMs);
    while (output.size() < expected.size() && !deadline.hasExpired()) {
      probe.waitForReadyRead(static_cast<int>(deadline.remainingTime()));
      output += probe.readAllStandardOutput();
    }
    return output;
  }

  QTemporaryDir runtime_;
  QByteArray previousRuntime_;
  bool hadRuntime_;
  std::vector<std::unique_ptr<QProcess>> probes_;
};

TEST_F(SingleInstanceTest, ALaterStartTellsTheRunningInstanceAndEndsWithZero) {
  QProcess& first = StartRunning();

  int exitCode = -1;
  EXPECT_EQ(RunToEnd({}, exitCode), "end\n");
  EXPECT_EQ(exitCode, 0);

  EXPECT_EQ(WaitForOutput(first, "notified []\n"), "notified []\n");
  // Nothing else follows the notice: the instance runs on as before.
  EXPECT_FALSE(first.waitForReadyRead(200));
  EXPECT_EQ(first.state(), QProcess::Running);
}

// The environment of a start in a logon session, variable=value for each given; the session's
// other marks removed.
QProcessEnvironment InSession(const std::vector<std::pair<const char*, const char*>>& marks) {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  for (const char* variable : {"XDG_SESSION_ID", "WAYLAND_DISPLAY", "DISPLAY"}) environment.remove(variable);
  for (const auto& [variable, value] : marks) environment.insert(variable, value);
  return environment;
}

// One instance per logon session: another session, or another display where the session has no
// id, runs one of its own; a later start in the first session still reaches the first.
TEST_F(SingleInstanceTest, EachLogonSessionRunsItsOwnInstance) {
  const std::vector<std::pair<QProcessEnvironment, QProcessEnvironment>> sessions = {
      {InSession({{"XDG_SESSION_ID", "3"}, {"DISPLAY", ":0"}}),
       InSession({{"XDG_SESSION_ID", "c7"}, {"DISPLAY", ":0"}})},
      {InSession({{"WAYLAND_DISPLAY", "wayland-0"}}), InSession({{"WAYLAND_DISPLAY", "/run/user/1000/wayland-1"}})},
      {InSession({{"DISPLAY", ":0"}}), InSession({{"DISPLAY", "localhost:10.0"}})},
  };
  for (const auto& [one, other] : sessions) {
    QProcess& first = StartRunning({}, one);
    QProcess& second = StartRunning({}, other);
    int exitCode = -1;
    EXPECT_EQ(RunToEnd({}, exitCode, one), "end\n");
    EXPECT_EQ(WaitForOutput(first, "notified []\n"), "notified []\n");
    EXPECT_FALSE(second.waitForReadyRead(200));
    first.kill();
    second.kill();
    first.waitForFinished(WaitMs);
    second.waitForFinished(WaitMs);
  }
  // A session's id rules over its display.
  StartRunning({}, InSession({{"XDG_SESSION_ID", "3"}, {"DISPLAY", ":0"}}));
  int exitCode = -1;
  EXPECT_EQ(RunToEnd({}, exitCode, InSession({{"XDG_SESSION_ID", "3"}, {"DISPLAY", ":1"}})), "end\n");
}

TEST_F(SingleInstanceTest, ALaterStartHandsOnItsImageFilesAsAbsolutePaths) {
  QProcess& first = StartRunning();
  const QString odd = QString::fromUtf8("r\u00e9sum\u00e9 d%41y\n2.img");
  QProcess& later = Start({"--image", "disk one.img", "--image", odd, "--image", "/images/three.img"});
  ASSERT_TRUE(later.waitForFinished(WaitMs));
  EXPECT_EQ(later.readAllStandardOutput(), "end\n");

  const QByteArray expected = "notified " +
                              QJsonDocument(QJsonArray{QDir::current().filePath("disk one.img"),
                                                       QDir::current().filePath(odd), "/images/three.img"})
                                  .toJson(QJsonDocument::Compact) +
                              "\n";
  EXPECT_EQ(WaitForOutput(first, expected), expected);
}

TEST_F(SingleInstanceTest, ALaterStartWithTheSwitchEndsWithZeroAndTellsNothing) {
  QProcess& first = StartRunning();

  int exitCode = -1;
  EXPECT_EQ(RunToEnd({"/AutoRun", "--image", "/images/one.img"}, exitCode), "end\n");
  EXPECT_EQ(exitCode, 0);

  // A notice of a start after it is the first the running instance hears.
  EXPECT_EQ(RunToEnd({}, exitCode), "end\n");
  EXPECT_EQ(WaitForOutput(first, "notified []\n"), "notified []\n");
  EXPECT_FALSE(first.waitForReadyRead(200));
  EXPECT_EQ(first.state(), QProcess::Running);
}

TEST_F(SingleInstanceTest, TheSwitchAloneDoesNotKeepAFirstStartFromRunning) {
  QProcess& first = StartRunning({"-autorun"});
  int exitCode = -1;
  EXPECT_EQ(RunToEnd({}, exitCode), "end\n");
  EXPECT_EQ(WaitForOutput(first, "notified []\n"), "notified []\n");
}

TEST_F(SingleInstanceTest, AStartThatFindsTheLockHeldAndNobodyListeningEndsWithZero) {
  // The first instance as it is between taking the lock and listening.
  QLockFile lock(SingleInstance::LockFilePath(QString::fromUtf8(InstanceName)));
  ASSERT_TRUE(lock.tryLock(0));

  int exitCode = -1;
  EXPECT_EQ(RunToEnd({}, exitCode), "end\n");
  EXPECT_EQ(exitCode, 0);
}

TEST_F(SingleInstanceTest, TheLockAndSocketOfAnInstanceThatDiedAreTakenOver) {
  QProcess& dead = StartRunning();
  dead.kill();
  ASSERT_TRUE(dead.waitForFinished(WaitMs));

  QProcess& second = StartRunning();
  int exitCode = -1;
  EXPECT_EQ(RunToEnd({}, exitCode), "end\n");
  EXPECT_EQ(WaitForOutput(second, "notified []\n"), "notified []\n");
}

// What no later start sends: a line too long to be an image line, a line the instance does not
// know, and an image line without its end.
TEST_F(SingleInstanceTest, AStrangeMessageIsDroppedAndTheInstanceRunsOn) {
  QProcess& first = StartRunning();
  for (const QByteArray& message : {QByteArray("image ") + QByteArray(20000, 'x') + "\n" + NotifyMessage,
                                    QByteArray("hello\n") + NotifyMessage, QByteArray(20000, 'x')}) {
    QLocalSocket stranger;
    stranger.connectToServer(SingleInstance::ServerPath(QString::fromUtf8(InstanceName)));
    ASSERT_TRUE(stranger.waitForConnected(WaitMs));
    stranger.write(message);
    stranger.waitForBytesWritten(WaitMs);
    // The instance closes the connection instead of reading on.
    EXPECT_TRUE(stranger.state() == QLocalSocket::UnconnectedState || stranger.waitForDisconnected(WaitMs));
  }

  int exitCode = -1;
  EXPECT_EQ(RunToEnd({}, exitCode), "end\n");
  // The notice of the real start is the first the instance acts on.
  EXPECT_EQ(WaitForOutput(first, "notified []\n"), "notified []\n");
  EXPECT_EQ(first.state(), QProcess::Running);
}

}  // namespace
}  // namespace salvoran
