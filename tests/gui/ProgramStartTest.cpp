#include <signal.h>

#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <vector>

#include "app/SingleInstance.h"
#include "support/StringTable.h"
#include "ui/QtText.h"
#include "tests/fixtures/TestImages.h"

namespace salvoran {
namespace {

constexpr int WaitMs = 20000;
// Qt's log of widget painting, which starts only once a window is shown.
constexpr char PaintingLog[] = "qt.widgets.painting=true";
constexpr char MainWindowPainted[] = "name=\"plTip\"";

}  // namespace

// The real desktop program, started as separate processes in a runtime folder of their own so
// that no instance of the user's is disturbed.
class ProgramStartTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    // A fresh folder for every test: a killed instance leaves its lock and socket behind.
    runtime_ = std::make_unique<QTemporaryDir>();
    QVERIFY(runtime_->isValid());
    environment_ = QProcessEnvironment::systemEnvironment();
    environment_.insert("XDG_RUNTIME_DIR", runtime_->path());
    environment_.insert("QT_QPA_PLATFORM", qEnvironmentVariable("QT_QPA_PLATFORM", "offscreen"));
    environment_.insert("QT_LOGGING_RULES", PaintingLog);
    // SingleInstance names its socket after the runtime folder of this process.
    qputenv("XDG_RUNTIME_DIR", runtime_->path().toLocal8Bit());
    image_ = QString::fromStdString(test::TestImagePath("demo").string());
  }
  void cleanup() {
    for (const auto& program : programs_) {
      program->kill();
      program->waitForFinished(WaitMs);
    }
    programs_.clear();
    runtime_.reset();
  }

  void aSecondStartEndsWithZeroWhileTheFirstKeepsRunning_data() {
    QTest::addColumn<QStringList>("secondArguments");
    QTest::newRow("plain") << QStringList{};
    QTest::newRow("with the autorun switch") << QStringList{"-autorun"};
  }

  void aSecondStartEndsWithZeroWhileTheFirstKeepsRunning() {
    QFETCH(QStringList, secondArguments);
    Program first = Start({"--image", image_});
    QTRY_VERIFY_WITH_TIMEOUT(first.Output->contains(MainWindowPainted), WaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(Listening(), WaitMs);

    Program second = Start(secondArguments);
    QVERIFY(second.Process->waitForFinished(WaitMs));
    QCOMPARE(second.Process->exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.Process->exitCode(), 0);
    QVERIFY(!second.Output->contains(MainWindowPainted));
    QCOMPARE(first.Process->state(), QProcess::Running);
  }

  void anAutorunStartWithNoInstanceRunningStaysOutOfSight() {
    Program hidden = Start({"-autorun", "--image", image_});
    QTRY_VERIFY_WITH_TIMEOUT(Listening(), WaitMs);
    // A later start with the switch changes nothing.
    Program later = Start({"-autorun", "--image", image_});
    QVERIFY(later.Process->waitForFinished(WaitMs));
    QCOMPARE(later.Process->exitCode(), 0);
    // What the instance does not understand, it drops in its event loop, by which time a shown
    // window would have been painted.
    QLocalSocket stranger;
    stranger.connectToServer(SingleInstance::ServerPath(QString::fromUtf8(InstanceName)));
    QVERIFY(stranger.waitForConnected(WaitMs));
    stranger.write("?\n");
    QVERIFY(stranger.waitForDisconnected(WaitMs));

    QCOMPARE(hidden.Process->state(), QProcess::Running);
    QCoreApplication::processEvents();  // takes in what it has written meanwhile
    QVERIFY(!hidden.Output->contains(MainWindowPainted));
  }

  // Started again, the program that waits out of sight shows its window, in front and active,
  // with the image of the later start selected. Under Xvfb (QT_QPA_PLATFORM=xcb) the X server
  // is asked too.
  void aLaterStartShowsTheHiddenWindowWithItsImage() {
    environment_.insert("SALVORAN_DEBUG", "1");
    Program hidden = Start({"-autorun"});
    QTRY_VERIFY_WITH_TIMEOUT(Listening(), WaitMs);
    const QFileInfo image(image_);
    // A path of the later start's own folder reaches the instance whole.
    Program later = Start({"--image", image.fileName()}, image.absolutePath());
    QVERIFY(later.Process->waitForFinished(WaitMs));
    QCOMPARE(later.Process->exitCode(), 0);

    QTRY_VERIFY_WITH_TIMEOUT(hidden.Output->contains(MainWindowPainted), WaitMs);
    QVERIFY2(hidden.Output->contains("Corvath:shown for a later start; drive " + QFile::encodeName(image.absoluteFilePath()) + "\n"),
             hidden.Output->constData());
    if (environment_.value("QT_QPA_PLATFORM") == "xcb") {
      const QString title = ToQString(strings::ProductTitle);
      QTRY_COMPARE_WITH_TIMEOUT(XdoTool({"search", "--onlyvisible", "--name", "^" + title + "$", "getwindowname"}),
                                title, WaitMs);
      QTRY_COMPARE_WITH_TIMEOUT(XdoTool({"getwindowfocus", "getwindowname"}), title, WaitMs);
    }
    QCOMPARE(hidden.Process->state(), QProcess::Running);
  }

  // Under Xvfb the X server shows each window's own title, without the program's name after it:
  // the find dialog (Ctrl+F in the list) and the warning of a failed scan (Tab five times and Space from
  // the list, past the filter row, the drive box and Open Image: Scan Now on an image that is not NTFS).
  void theWindowsCarryTheirOwnTitlesOnly() {
    if (environment_.value("QT_QPA_PLATFORM") != "xcb") QSKIP("needs an X server: see program_start_test_xvfb");
    Program program = Start({"--image", QString::fromStdString(test::TestImagePath("fat32").string())});
    QTRY_VERIFY_WITH_TIMEOUT(program.Output->contains(MainWindowPainted), WaitMs);
    const QString mainWindow = "^" + ToQString(strings::ProductTitle) + "$";
    // A spot in the list that the find dialog, centred over the window, leaves free. With no window
    // manager the click alone may hand the keyboard over after the keys have gone to the dialog.
    const auto pressInList = [&](const QStringList& keys) {
      XdoTool({"search", "--onlyvisible", "--name", mainWindow, "windowfocus", "--sync", "%1", "mousemove", "--window",
               "%1", "60", "420", "click", "1"});
      XdoTool(keys);
    };
    // The old name property of X keeps the bare title either way: windows are found by it, and
    // getwindowname reads the one that desktops show.
    const auto shownName = [](const QString& title) {
      return XdoTool({"search", "--onlyvisible", "--name", "^" + title + "$", "getwindowname"});
    };
    // Pressed until the window has taken it in.
    QTRY_VERIFY_WITH_TIMEOUT((pressInList({"keydown", "ctrl", "key", "f", "keyup", "ctrl"}), !shownName("Find").isEmpty()),
                             WaitMs);
    QCOMPARE(shownName("Find"), QStringLiteral("Find"));
    pressInList({"key", "Tab", "Tab", "Tab", "Tab", "Tab", "space"});
    QTRY_VERIFY_WITH_TIMEOUT(!shownName("Warning").isEmpty(), WaitMs);
    QCOMPARE(shownName("Warning"), QStringLiteral("Warning"));
  }

  // As at log-out: the program ends by itself, with 128 + the signal's number, not killed.
  void aStopSignalEndsTheProgramWithTheSignalsStatus() {
    Program program = Start({"--image", image_});
    QTRY_VERIFY_WITH_TIMEOUT(program.Output->contains(MainWindowPainted), WaitMs);
    QCOMPARE(::kill(static_cast<pid_t>(program.Process->processId()), SIGTERM), 0);
    QVERIFY(program.Process->waitForFinished(WaitMs));
    QCOMPARE(program.Process->exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.Process->exitCode(), 128 + SIGTERM);
  }

 private:
  struct Program {
    QProcess* Process;
    std::shared_ptr<QByteArray> Output;  // standard error so far
  };

  Program Start(const QStringList& arguments, const QString& folder = {}) {
    auto& process = *programs_.emplace_back(std::make_unique<QProcess>());
    auto output = std::make_shared<QByteArray>();
    process.setProcessEnvironment(environment_);
    process.setWorkingDirectory(folder);
    connect(&process, &QProcess::readyReadStandardError, &process,
            [&process, output] { *output += process.readAllStandardError(); });
    process.start(DESKTOP_PROGRAM, arguments);
    if (!process.waitForStarted(WaitMs)) qFatal("cannot start %s", DESKTOP_PROGRAM);
    return {&process, output};
  }

  // The first line that xdotool prints, or nothing when it finds no window.
  static QString XdoTool(const QStringList& arguments) {
    QProcess xdotool;
    xdotool.start("xdotool", arguments);
    if (!xdotool.waitForFinished(WaitMs)) return {};
    return QString::fromUtf8(xdotool.readAllStandardOutput()).section('\n', 0, 0);
  }

  // The running instance holds the lock and listens for later starts.
  static bool Listening() { return QFileInfo::exists(SingleInstance::ServerPath(QString::fromUtf8(InstanceName))); }

  std::unique_ptr<QTemporaryDir> runtime_;
  QProcessEnvironment environment_;
  QString image_;
  std::vector<std::unique_ptr<QProcess>> programs_;
};

}  // namespace salvoran

QTEST_MAIN(salvoran::ProgramStartTest)
#include "ProgramStartTest.moc"
